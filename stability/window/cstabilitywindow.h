#ifndef CSTABILITYWINDOW_H
#define CSTABILITYWINDOW_H

#include "phaserecorder.h"
#include "stability.h"

#include <QDateTime>
#include <QFutureWatcher>
#include <QVector>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <memory>

class QTimer;
class Ui_CStabilityWindow;

// The Stability Analysis window: the deviation the user chooses, of the
// latest unbroken run of time differences the panel has received, as a plot
// and a table, with the run's size and when it was computed, and an export
// of the table or the plot.
//
// While the window is shown it looks at the recorder at once, when the kind
// changes and every kRefreshMs, and computes again only when the recorder
// has changed since. The work runs on a pool thread on a copy of the run;
// one computation at a time, and a result for a kind no longer chosen is
// dropped. Closing or destroying the window stops the computation and waits
// for it. The recorder must outlive the window.
class CStabilityWindow : public QWidget
{
    Q_OBJECT

public:
    explicit CStabilityWindow(const CPhaseRecorder& recorder, QWidget* pParent = nullptr);
    ~CStabilityWindow() override;

    static constexpr int kRefreshMs = 10000;

protected:
    void showEvent(QShowEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private slots:
    void on_comboKind_currentIndexChanged(int nIndex);
    void on_pushButtonExport_clicked();
    void OnRefreshTimer();
    void OnAnalysisFinished();

private:
    Stability::Kind ChosenKind() const;
    void Refresh();
    void StopAnalysis();
    void Show(const Stability::Analysis& analysis, Stability::Kind kind, std::size_t nPoints, double dTau0);
    void ShowStatus();
    void FitColumns();

    const CPhaseRecorder& m_Recorder;
    std::unique_ptr<Ui_CStabilityWindow> ui;
    QTimer* m_pRefreshTimer = nullptr;

    // The computation in flight: what it was started on.
    QFutureWatcher<Stability::Analysis> m_Watcher;
    std::atomic_bool m_bCancel{false};
    bool m_bRunning = false;
    bool m_bLookAgain = false; // asked to refresh while running
    Stability::Kind m_nRunningKind = Stability::Kind::Oadev;
    std::uint64_t m_nRunningGeneration = 0;
    std::size_t m_nRunningPoints = 0;
    double m_dRunningTau0 = 0.0;

    // What the plot and the table show.
    bool m_bShowing = false; // false until something is shown, and after a drop
    Stability::Kind m_nShownKind = Stability::Kind::Oadev;
    std::uint64_t m_nShownGeneration = 0;
    std::size_t m_nShownPoints = 0;
    double m_dShownTau0 = 0.0;
    QDateTime m_Computed;
    QVector<int> m_ColumnWidths; // of the widest text in each column
};

#endif // CSTABILITYWINDOW_H
