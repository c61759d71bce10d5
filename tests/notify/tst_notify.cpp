// The state notifier's decisions through an injected clock, the desktop
// notifier against a notification service of the test's own on a private
// bus and with no bus at all, and the tray icon's badge read from its pixels.

#include "cdesktopnotifier.h"
#include "cstatenotifier.h"
#include "trayicon.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

namespace {
// A script of the link's events, "SECONDS EVENT" by commas: up, down, or sN
// (the service's loop state from then on, sent every second while the link
// is up). Returns each notification as "SECONDS SUMMARY".
QStringList Drive(const QString& strScript, bool bEnabled = true, QStringList* pBodies = nullptr)
{
    qint64 tNow = 0;
    CStateNotifier notifier([&tNow] { return tNow; },
                            [] { return QDateTime(QDate(2024, 5, 6), QTime(12, 34, 56)); });
    notifier.SetEnabled(bEnabled);
    QStringList got;
    QObject::connect(&notifier, &CStateNotifier::SignalNotify,
                     [&](int, const QString& strSummary, const QString& strBody) {
                         got << QString::number(tNow / 1000) + QLatin1Char(' ') + strSummary;
                         if (pBodies)
                             *pBodies << strBody;
                     });
    QMultiMap<int, QString> events;
    int nLast = 0;
    for (const QString& strItem : strScript.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList parts = strItem.simplified().split(QLatin1Char(' '));
        events.insert(parts[0].toInt(), parts[1]);
        nLast = qMax(nLast, parts[0].toInt());
    }
    bool bUp = false;
    int nState = -1;
    for (int nSecond = 0; nSecond <= nLast + 120; ++nSecond) {
        tNow = nSecond * 1000LL;
        const QStringList now = events.values(nSecond);
        for (auto it = now.crbegin(); it != now.crend(); ++it) { // QMultiMap lists the latest first
            if (*it == QLatin1String("up"))
                notifier.OnLinkUp();
            else if (*it == QLatin1String("down"))
                notifier.OnLinkDown();
            else
                nState = it->mid(1).toInt();
            bUp = *it == QLatin1String("up") || (bUp && *it != QLatin1String("down"));
        }
        if (bUp && nState >= 0)
            notifier.OnStatus(nState, 12e-6);
        notifier.OnTick();
    }
    return got;
}
} // namespace

// A notification service of the test's own on a private bus: the name and
// icon the panel gives, and lock regained replacing lock lost.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList calls;
public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString&, const QStringList&, const QVariantMap&, int)
    {
        calls << QStringLiteral("%1|%2|%3|%4").arg(app).arg(replaces).arg(icon, summary);
        return uint(100 + calls.size());
    }
};

class tst_Notify : public QObject
{
    Q_OBJECT

private slots:
    void announcements_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("start-up through Starting and Searching to a first lock: nothing")
            << "0 up, 0 s3, 10 s4, 25 s5, 40 s6" << QStringList();
        QTest::newRow("lock lost within the first 30 s: nothing, then or later")
            << "0 up, 0 s6, 20 s7" << QStringList();
        QTest::newRow("lost and regained")
            << "0 up, 0 s6, 40 s7, 45 s8, 50 s6" << QStringList{"40 Lock lost", "50 Lock regained"};
        QTest::newRow("flapping every 20 s: one of each kind a minute, summed up")
            << "0 up, 0 s6, 40 s7, 45 s6, 60 s7, 65 s6, 80 s7, 85 s6, 100 s7, 105 s6"
            << QStringList{"40 Lock lost", "45 Lock regained", "100 Lock lost 4 times in 1 minute",
                           "105 Lock regained"};
        QTest::newRow("a loss held back is told once the minute is over")
            << "0 up, 0 s6, 40 s7, 45 s6, 60 s7"
            << QStringList{"40 Lock lost", "45 Lock regained", "100 Lock lost 2 times in 1 minute"};
        QTest::newRow("a span just over a minute reads as one minute")
            << "0 up, 0 s6, 40 s7, 45 s6, 101 s7"
            << QStringList{"40 Lock lost", "45 Lock regained", "101 Lock lost 2 times in 1 minute"};
        QTest::newRow("a span of two and a half minutes reads as three")
            << "0 up, 0 s6, 40 s7, 45 s6, 190 s7"
            << QStringList{"40 Lock lost", "45 Lock regained", "190 Lock lost 2 times in 3 minutes"};
        QTest::newRow("losses over more than ten minutes are not summed up")
            << "0 up, 0 s6, 40 s7, 45 s6, 700 s7"
            << QStringList{"40 Lock lost", "45 Lock regained", "700 Lock lost"};
        QTest::newRow("No GPS after a lock")
            << "0 up, 0 s6, 40 s2" << QStringList{"40 Lock lost", "40 No GPS"};
        QTest::newRow("service lost and back; a new link is quiet for 30 s")
            << "0 up, 0 s6, 40 down, 50 up, 50 s3, 60 s6, 70 s7"
            << QStringList{"40 Service lost", "50 Service back"};
        QTest::newRow("state changes 30 s after a link-up are told")
            << "0 up, 0 s6, 40 down, 50 up, 50 s6, 81 s7"
            << QStringList{"40 Service lost", "50 Service back", "81 Lock lost"};
        QTest::newRow("link down within the first 30 s: nothing")
            << "0 up, 0 s6, 10 down, 20 up" << QStringList();
        QTest::newRow("link flapping")
            << "0 up, 0 s6, 40 down, 41 up, 50 down"
            << QStringList{"40 Service lost", "41 Service back", "100 Service lost 2 times in 1 minute"};
    }

    void announcements()
    {
        QFETCH(QString, script);
        QTEST(Drive(script), "sent");
    }

    void texts()
    {
        QStringList bodies;
        Drive("0 up, 0 s6, 40 s7, 45 s6, 50 down", true, &bodies);
        QCOMPARE(bodies, (QStringList{"Holdover. Time: 12:34:56.",
                                      "Locked. Estimated Time Error: 0.012 Milliseconds. Time: 12:34:56.",
                                      "No Service. Time: 12:34:56."}));
    }

    void turnedOff() { QCOMPARE(Drive("0 up, 0 s6, 40 s7, 45 s6, 60 down", false), QStringList()); }

    // Run with DBUS_SESSION_BUS_ADDRESS naming nothing: the notifier carries on
    // and says so in one debug line, however often it is asked.
    void noBus()
    {
        QVERIFY(qgetenv("DBUS_SESSION_BUS_ADDRESS").startsWith("unix:path=/nonexistent"));
        CDesktopNotifier notifier;
        static QStringList s_debugLines;
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& s) { s_debugLines << s; });
        for (int i = 0; i < 3; ++i)
            notifier.OnNotify(CStateNotifier::KIND_LOCK_LOST, "Lock lost", "Holdover.");
        QCoreApplication::processEvents();
        qInstallMessageHandler(previous);
        QCOMPARE(s_debugLines, QStringList{"Desktop notifications are not shown: no session bus"});
    }

    void desktopService()
    {
        struct Daemon : QProcess
        {
            ~Daemon() override { kill(), waitForFinished(); } // also when a check fails
        } daemon;
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        QVERIFY(daemon.waitForReadyRead(10000));
        const QString strAddress = QString::fromLatin1(daemon.readLine()).trimmed();
        {
            QDBusConnection server = QDBusConnection::connectToBus(strAddress, "server");
            FakeNotifications fake;
            QVERIFY(server.registerObject("/org/freedesktop/Notifications", &fake,
                                          QDBusConnection::ExportAllSlots));
            QVERIFY(server.registerService("org.freedesktop.Notifications"));
            CDesktopNotifier notifier(QDBusConnection::connectToBus(strAddress, "client"), nullptr);
            QSignalSpy shown(&notifier, &CDesktopNotifier::SignalShown);
            for (int nKind : {CStateNotifier::KIND_LOCK_LOST, CStateNotifier::KIND_LOCK_REGAINED,
                              CStateNotifier::KIND_NO_GPS, CStateNotifier::KIND_LOCK_LOST}) {
                const int nBefore = shown.count();
                notifier.OnNotify(nKind, QString::number(nKind), "body");
                QTRY_COMPARE(shown.count(), nBefore + 1);
            }
            QCOMPARE(fake.calls, (QStringList{"Tellurix Panel|0|com.brightfen.TellurixPanel|0",
                                              "Tellurix Panel|101|com.brightfen.TellurixPanel|1",
                                              "Tellurix Panel|0|com.brightfen.TellurixPanel|4",
                                              "Tellurix Panel|102|com.brightfen.TellurixPanel|0"}));
        }
        QDBusConnection::disconnectFromBus("server");
        QDBusConnection::disconnectFromBus("client");
    }

    // The badge's centre takes the fill it is given; the icon's upper left corner
    // keeps the panel's icon.
    void badgeColour()
    {
        QImage base(64, 64, QImage::Format_ARGB32);
        base.fill(QColor(10, 20, 30));
        for (const QColor& fill : {QColor(255, 242, 0), QColor(192, 0, 0)})
            for (int nSize : {16, 22, 64}) {
                const QImage img = TrayIcon::Render(base, fill, nSize);
                QCOMPARE(img.size(), QSize(nSize, nSize));
                QCOMPARE(img.pixelColor(TrayIcon::BadgeRect(nSize).center().toPoint()), fill);
                QCOMPARE(img.pixelColor(1, 1), QColor(10, 20, 30));
            }
        QVERIFY(TrayIcon::Render(base, Qt::red, 0).isNull());
        QVERIFY(TrayIcon::Render(QImage(), Qt::red, 16).isNull());
    }
};

QTEST_MAIN(tst_Notify)
#include "tst_notify.moc"
