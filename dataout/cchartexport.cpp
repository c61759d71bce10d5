#include "cchartexport.h"

#include "savefile.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>
#include <QtConcurrent>

namespace {
const int kProgressSteps = 1000;
} // namespace

CChartExport::CChartExport(QWidget* pParent, ChartCsv::Table table, const QString& strPath,
                           const QString& strTitle)
    : QObject(pParent), m_Table(std::move(table)), m_strPath(strPath), m_strTitle(strTitle),
      m_pTimer(new QTimer(this))
{
    m_nTotal = ChartCsv::PointCount(m_Table);
    m_pTimer->setInterval(100);
    connect(m_pTimer, &QTimer::timeout, this, &CChartExport::OnTick);
    connect(&m_Watcher, &QFutureWatcher<ChartCsv::Result>::finished, this, &CChartExport::OnWorkerDone);
}

CChartExport::~CChartExport()
{
    m_bCancel = true;
    m_Watcher.waitForFinished();
    delete m_pProgress;
}

void CChartExport::Start()
{
    auto* pParent = qobject_cast<QWidget*>(parent());
    m_pProgress = new QProgressDialog(
        tr("Writing %1 points to %2…")
            .arg(QLocale().toString(m_nTotal), QDir::toNativeSeparators(QFileInfo(m_strPath).fileName())),
        tr("Cancel"), 0, kProgressSteps, pParent);
    m_pProgress->setWindowTitle(m_strTitle);
    m_pProgress->setWindowModality(Qt::WindowModal);
    m_pProgress->setMinimumDuration(500);
    m_pProgress->setAutoClose(false);
    m_pProgress->setAutoReset(false);
    connect(m_pProgress, &QProgressDialog::canceled, this, [this] { m_bCancel = true; });
    m_pTimer->start();
    m_Watcher.setFuture(QtConcurrent::run(
        [this] { return ChartCsv::Save(m_Table, m_strPath, m_bCancel, m_nDone, &m_strError); }));
}

void CChartExport::OnTick()
{
    if (m_pProgress && m_nTotal > 0 && !m_bCancel)
        m_pProgress->setValue(int(m_nDone.load() * kProgressSteps / m_nTotal));
}

void CChartExport::OnWorkerDone()
{
    m_pTimer->stop();
    delete m_pProgress;
    const ChartCsv::Result result = m_Watcher.result();
    // The chart takes its held points back before a message box waits for the user.
    emit finished(result);
    deleteLater();
    if (result == ChartCsv::Result::Failed)
        DataOut::ReportFailure(qobject_cast<QWidget*>(parent()), m_strTitle, m_strPath, m_strError);
}
