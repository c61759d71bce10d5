#include "cdesktopnotifier.h"

#include "cstatenotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QVariantMap>

const char* const CDesktopNotifier::kAppName = "Tellurix Panel";
const char* const CDesktopNotifier::kAppIcon = "com.brightfen.TellurixPanel";

namespace {
const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";
const int kExpireDefault = -1; // the service's own timeout
} // namespace

CDesktopNotifier::CDesktopNotifier(QObject* pParent)
    : CDesktopNotifier(QDBusConnection::sessionBus(), pParent)
{}

CDesktopNotifier::CDesktopNotifier(const QDBusConnection& bus, QObject* pParent)
    : QObject(pParent), m_Bus(bus)
{}

void CDesktopNotifier::OnNotify(int nKind, const QString& strSummary, const QString& strBody)
{
    if (!m_Bus.isConnected()) {
        ReportOnce(QStringLiteral("no session bus"));
        return;
    }
    const bool bLockPair = CStateNotifier::IsLockPair(nKind);
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                                       QLatin1String(kService), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QLatin1String(kAppIcon));
    hints.insert(QStringLiteral("category"), QStringLiteral("device"));
    call << QLatin1String(kAppName) << (bLockPair ? m_nLockPairId : 0u) << QLatin1String(kAppIcon)
         << strSummary << strBody << QStringList() << hints << kExpireDefault;
    auto* pWatcher = new QDBusPendingCallWatcher(m_Bus.asyncCall(call), this);
    pWatcher->setProperty("kind", nKind);
    connect(pWatcher, SIGNAL(finished(QDBusPendingCallWatcher*)), this,
            SLOT(OnReply(QDBusPendingCallWatcher*)));
}

void CDesktopNotifier::OnReply(QDBusPendingCallWatcher* pWatcher)
{
    pWatcher->deleteLater();
    const QDBusPendingReply<uint> reply = *pWatcher;
    if (reply.isError()) {
        ReportOnce(reply.error().name());
        return;
    }
    const int nKind = pWatcher->property("kind").toInt();
    if (CStateNotifier::IsLockPair(nKind))
        m_nLockPairId = reply.value();
    emit SignalShown(nKind, reply.value());
}

void CDesktopNotifier::ReportOnce(const QString& strWhy)
{
    if (m_bReported)
        return;
    m_bReported = true;
    qDebug().noquote() << "Desktop notifications are not shown:" << strWhy;
}
