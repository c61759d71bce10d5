#ifndef CDESKTOPNOTIFIER_H
#define CDESKTOPNOTIFIER_H

#include <QDBusConnection>
#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

// Shows notifications through the desktop's notification service
// (org.freedesktop.Notifications on the session bus) under the panel's name
// and icon, so the desktop groups them. Calls never block: the reply comes
// back through the event loop. The lock pair replaces itself: a notification
// of lock regained takes the place of the lock-lost one the service showed,
// by the id its reply gave. With no bus or no notification service the panel
// carries on: the first failure writes one debug line, later ones nothing.
class CDesktopNotifier : public QObject
{
    Q_OBJECT

public:
    static const char* const kAppName; // the desktop entry's Name
    static const char* const kAppIcon; // the installed icon's name

    // On the session bus.
    explicit CDesktopNotifier(QObject* pParent = nullptr);
    CDesktopNotifier(const QDBusConnection& bus, QObject* pParent);

public slots:
    // nKind is a CStateNotifier::Kind.
    void OnNotify(int nKind, const QString& strSummary, const QString& strBody);

signals:
    // The service showed a notification of this kind under this id.
    void SignalShown(int nKind, uint nId);

private slots:
    void OnReply(QDBusPendingCallWatcher* pWatcher);

private:
    void ReportOnce(const QString& strWhy);

    QDBusConnection m_Bus;
    uint m_nLockPairId = 0; // 0: nothing to replace
    bool m_bReported = false;
};

#endif // CDESKTOPNOTIFIER_H
