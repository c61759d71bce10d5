#ifndef CCHARTEXPORT_H
#define CCHARTEXPORT_H

#include "chartcsv.h"

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>

#include <atomic>

class QProgressDialog;
class QTimer;
class QWidget;

// One CSV export of a chart's points, written on a worker thread while a
// progress dialog (shown when the export takes more than half a second)
// offers to cancel it. The window stays responsive; a cancelled or failed
// export leaves no file, and a failure is said in a message box. Lives as a
// child of the widget whose points it writes: destroying that widget cancels
// the export and waits for the worker.
class CChartExport : public QObject
{
    Q_OBJECT

public:
    CChartExport(QWidget* pParent, ChartCsv::Table table, const QString& strPath, const QString& strTitle);
    ~CChartExport() override;

    // Starts the worker; the object deletes itself after finished().
    void Start();

signals:
    void finished(ChartCsv::Result result);

private slots:
    void OnTick();
    void OnWorkerDone();

private:
    ChartCsv::Table m_Table;
    QString m_strPath;
    QString m_strTitle;
    QString m_strError; // written by the worker, read after it is done
    std::atomic<bool> m_bCancel{false};
    std::atomic<qint64> m_nDone{0};
    qint64 m_nTotal = 0;
    QFutureWatcher<ChartCsv::Result> m_Watcher;
    QPointer<QProgressDialog> m_pProgress;
    QTimer* m_pTimer;
};

#endif // CCHARTEXPORT_H
