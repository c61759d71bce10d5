#ifndef CSTATENOTIFIER_H
#define CSTATENOTIFIER_H

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVector>

#include <functional>

class QTimer;

// Decides what the desktop is told about the service: lock lost (Locked, loop
// state 6, to any other state), lock regained (back to Locked after a lost
// lock was announced), service lost (link down), service back (link up after
// a lost service was announced) and "No GPS" (loop state 2).
//
// Quiet by design:
// - nothing in the first 30 s after the panel starts, and no state change
//   in the first 30 s after the link comes up (the service passes through
//   Starting and Searching); changes in that time are not announced later
//   either;
// - at most one notification of a kind in 60 s; a change held back by this
//   is announced when the 60 s are over, if it still holds then;
// - a loss seen more than once in the last 10 minutes is summed up ("Lock
//   lost 5 times in 10 minutes") instead of repeated.
//
// The clock is injected: a monotonic count of milliseconds for the intervals
// and the wall clock for the time the texts give. The owner feeds the link's
// events and every control-loop status record, and calls OnTick about once a
// second (the notifier's own one-second timer does when started).
class CStateNotifier : public QObject
{
    Q_OBJECT

public:
    enum Kind
    {
        KIND_LOCK_LOST,
        KIND_LOCK_REGAINED,
        KIND_SERVICE_LOST,
        KIND_SERVICE_BACK,
        KIND_NO_GPS,
        KIND_COUNT
    };

    static constexpr qint64 kQuietMs = 30000;
    static constexpr qint64 kPerKindMs = 60000;
    static constexpr qint64 kFlapWindowMs = 600000;

    using MonotonicClock = std::function<qint64()>;
    using WallClock = std::function<QDateTime()>;

    // The panel starts now (fnNow's reading): the first quiet period begins.
    CStateNotifier(MonotonicClock fnNow, WallClock fnWall, QObject* pParent = nullptr);

    // Turned off, nothing is announced; changes meanwhile are not announced
    // later either.
    void SetEnabled(bool bEnabled);
    bool IsEnabled() const { return m_bEnabled; }

    // Calls OnTick every second with the real clock (the panel does).
    void StartTicking();

    // True for the kinds that replace each other on the desktop.
    static bool IsLockPair(int nKind) { return nKind == KIND_LOCK_LOST || nKind == KIND_LOCK_REGAINED; }

public slots:
    void OnLinkUp();
    void OnLinkDown();
    void OnStatus(int nLoopState, double dEstTimeError);
    // Announces what the per-kind limit held back once it allows.
    void OnTick();

signals:
    // nKind is a Kind; summary and body are plain sentences.
    void SignalNotify(int nKind, const QString& strSummary, const QString& strBody);

private:
    struct KIND_STATE
    {
        bool bSent = false;
        qint64 tLastSent = 0;
        bool bPending = false;
        QVector<qint64> events; // times of its changes in the last 10 minutes
    };

    bool Quiet(qint64 tNow) const { return tNow < m_tQuietUntil; }
    bool StartingUp(qint64 tNow) const { return tNow < m_tStartedUntil; }
    void Event(int nKind, qint64 tNow);
    bool StillHolds(int nKind) const;
    QString Summary(int nKind, qint64 tNow) const;
    QString Body() const;

    MonotonicClock m_fnNow;
    WallClock m_fnWall;
    QTimer* m_pTimer = nullptr;
    bool m_bEnabled = true;
    qint64 m_tStartedUntil = 0; // end of the quiet after the panel's start
    qint64 m_tQuietUntil = 0;   // ... or after the last link-up, the later
    bool m_bConnected = false;
    int m_nLoopState = -1; // -1 before the first record of a link
    double m_dEstTimeError = 0.0;
    bool m_bLockLostShown = false;
    bool m_bServiceLostShown = false;
    KIND_STATE m_aKinds[KIND_COUNT];
};

#endif // CSTATENOTIFIER_H
