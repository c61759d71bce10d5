#include "cstatenotifier.h"

#include "servicestate.h"

#include <QTimer>

#include <utility>

CStateNotifier::CStateNotifier(MonotonicClock fnNow, WallClock fnWall, QObject* pParent)
    : QObject(pParent), m_fnNow(std::move(fnNow)), m_fnWall(std::move(fnWall))
{
    m_tStartedUntil = m_fnNow() + kQuietMs;
    m_tQuietUntil = m_tStartedUntil;
}

void CStateNotifier::SetEnabled(bool bEnabled)
{
    m_bEnabled = bEnabled;
    for (KIND_STATE& kind : m_aKinds)
        kind.bPending = false;
}

void CStateNotifier::StartTicking()
{
    if (m_pTimer)
        return;
    m_pTimer = new QTimer(this);
    connect(m_pTimer, SIGNAL(timeout()), this, SLOT(OnTick()));
    m_pTimer->start(1000);
}

void CStateNotifier::OnLinkUp()
{
    const qint64 tNow = m_fnNow();
    m_bConnected = true;
    m_nLoopState = -1;
    m_bLockLostShown = false;
    m_tQuietUntil = qMax(m_tQuietUntil, tNow + kQuietMs);
    // The only change announced at once after a link-up: the service that was
    // announced lost is back.
    if (m_bServiceLostShown)
        Event(KIND_SERVICE_BACK, tNow);
    OnTick();
}

void CStateNotifier::OnLinkDown()
{
    const qint64 tNow = m_fnNow();
    const bool bWasConnected = m_bConnected;
    m_bConnected = false;
    m_nLoopState = -1;
    // A link that drops again soon after it came up is told: only the panel's
    // own start is quiet for the link.
    if (bWasConnected && !StartingUp(tNow))
        Event(KIND_SERVICE_LOST, tNow);
    OnTick();
}

void CStateNotifier::OnStatus(int nLoopState, double dEstTimeError)
{
    const qint64 tNow = m_fnNow();
    const int nBefore = m_nLoopState;
    m_nLoopState = nLoopState;
    m_dEstTimeError = dEstTimeError;
    if (!m_bConnected || nBefore < 0 || Quiet(tNow) || nBefore == nLoopState) {
        OnTick();
        return;
    }
    if (nBefore == ServiceState::kLoopStateLocked)
        Event(KIND_LOCK_LOST, tNow);
    if (nLoopState == ServiceState::kLoopStateLocked && m_bLockLostShown)
        Event(KIND_LOCK_REGAINED, tNow);
    if (nLoopState == ServiceState::kLoopStateNoGPS)
        Event(KIND_NO_GPS, tNow);
    OnTick();
}

void CStateNotifier::Event(int nKind, qint64 tNow)
{
    KIND_STATE& kind = m_aKinds[nKind];
    kind.events.append(tNow);
    while (!kind.events.isEmpty() && tNow - kind.events.first() >= kFlapWindowMs)
        kind.events.removeFirst();
    kind.bPending = m_bEnabled;
}

// A held-back change is announced only while it is still true: a lock lost
// and regained within the held time is not announced as lost.
bool CStateNotifier::StillHolds(int nKind) const
{
    switch (nKind) {
    case KIND_LOCK_LOST:
        return m_bConnected && m_nLoopState >= 0 && m_nLoopState != ServiceState::kLoopStateLocked;
    case KIND_LOCK_REGAINED:
        return m_bConnected && m_nLoopState == ServiceState::kLoopStateLocked && m_bLockLostShown;
    case KIND_SERVICE_LOST:
        return !m_bConnected;
    case KIND_SERVICE_BACK:
        return m_bConnected && m_bServiceLostShown;
    case KIND_NO_GPS:
        return m_bConnected && m_nLoopState == ServiceState::kLoopStateNoGPS;
    default:
        return false;
    }
}

void CStateNotifier::OnTick()
{
    const qint64 tNow = m_fnNow();
    for (int nKind = 0; nKind < KIND_COUNT; ++nKind) {
        KIND_STATE& kind = m_aKinds[nKind];
        if (!kind.bPending)
            continue;
        if (!m_bEnabled || !StillHolds(nKind)) {
            kind.bPending = false;
            continue;
        }
        if (kind.bSent && tNow - kind.tLastSent < kPerKindMs)
            continue;
        kind.bPending = false;
        kind.bSent = true;
        kind.tLastSent = tNow;
        if (nKind == KIND_LOCK_LOST)
            m_bLockLostShown = true;
        else if (nKind == KIND_LOCK_REGAINED)
            m_bLockLostShown = false;
        else if (nKind == KIND_SERVICE_LOST)
            m_bServiceLostShown = true;
        else if (nKind == KIND_SERVICE_BACK)
            m_bServiceLostShown = false;
        emit SignalNotify(nKind, Summary(nKind, tNow), Body());
    }
}

// "Lock lost", or for a loss seen more than once in the last 10 minutes "Lock
// lost 3 times in 2 minutes" (the minutes from the first of them to the nearest,
// at least one).
QString CStateNotifier::Summary(int nKind, qint64 tNow) const
{
    static const char* const kSummaries[KIND_COUNT] = {"Lock lost", "Lock regained", "Service lost",
                                                       "Service back", "No GPS"};
    const QString strSummary = QString::fromLatin1(kSummaries[nKind]);
    const QVector<qint64>& events = m_aKinds[nKind].events;
    const bool bLoss = nKind == KIND_LOCK_LOST || nKind == KIND_SERVICE_LOST || nKind == KIND_NO_GPS;
    if (!bLoss || events.size() < 2)
        return strSummary;
    const qint64 nMinutes = qMax<qint64>(1, (tNow - events.first() + 30000) / 60000);
    return QStringLiteral("%1 %2 times in %3 %4")
        .arg(strSummary)
        .arg(events.size())
        .arg(nMinutes)
        .arg(nMinutes == 1 ? QStringLiteral("minute") : QStringLiteral("minutes"));
}

// The state panel's words, the estimated time error where the service gives
// one, and the time ("Connected." before the first record of a link):
// "Locked. Estimated Time Error: 0.012 Milliseconds. Time:
// 14:03:07."
QString CStateNotifier::Body() const
{
    const int nState = m_bConnected ? m_nLoopState : 0;
    QString strBody = m_bConnected && nState < 0 ? QStringLiteral("Connected")
                                                 : ServiceState::Look(m_bConnected, nState).strText;
    if (!strBody.endsWith(QLatin1Char('.'))) // "Starting..." has its stop
        strBody += QLatin1Char('.');
    if (m_bConnected && nState == ServiceState::kLoopStateLocked)
        strBody += QLatin1Char(' ') + ServiceState::ErrorText(nState, m_dEstTimeError) + QLatin1Char('.');
    strBody += QStringLiteral(" Time: ") + m_fnWall().toString(QStringLiteral("HH:mm:ss")) + QLatin1Char('.');
    return strBody;
}
