// The panel's tray icon on a real X11 tray (trayer on a private Xvfb): the
// settings kept over a restart, the menu's entries, hiding to the tray on
// close, Quit, and the explanation shown on the first hide.

#include "cstabilitywindow.h"
#include "servicepeer.h"
#include "testwindow.h"

#include <QApplication>
#include <QMenu>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
QSystemTrayIcon* Tray(const TestWindow& window)
{
    QSystemTrayIcon* pTray = window.findChild<QSystemTrayIcon*>();
    return pTray && pTray->isVisible() ? pTray : nullptr;
}

// Runs the event loop as the panel's main does, fnAction first: true when the
// loop ended because the last window closed (the panel ended), false when it
// still ran a second later.
bool Ends(const std::function<void()>& fnAction)
{
    QTimer still;
    still.setSingleShot(true);
    QObject::connect(&still, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    still.start(1000);
    QTimer::singleShot(0, fnAction);
    return QApplication::exec() == 0;
}
} // namespace

class tst_Tray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(StartWindowTests(m_service));
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000); // trayer has started
    }
    void init() { QSettings("Brightfen", "TellurixPanel").clear(); }

    void settingsSurviveRestart_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("after");
        QTest::newRow("defaults") << QStringList() << "notify on, tray off";
        QTest::newRow("notifications off, tray on")
            << QStringList{"actionNotify_on_State_Changes", "actionShow_in_System_Tray"}
            << "notify off, tray on, icon shown";
        QTest::newRow("tray on and off again")
            << QStringList{"actionShow_in_System_Tray", "actionShow_in_System_Tray"} << "notify on, tray off";
    }
    void settingsSurviveRestart()
    {
        QFETCH(QStringList, clicks);
        {
            TestWindow window;
            for (const QString& strAction : clicks)
                window.Action(strAction)->trigger();
        }
        TestWindow window;
        const auto onOff = [&](const char* pszAction) {
            return window.Action(pszAction)->isChecked() ? "on" : "off";
        };
        QTEST(QString("notify %1, tray %2%3")
                  .arg(onOff("actionNotify_on_State_Changes"), onOff("actionShow_in_System_Tray"),
                       Tray(window) ? ", icon shown" : ""),
              "after");
    }

    // The menu's entries; Show/Hide and a left click on the icon each hide the
    // shown window and show the hidden one.
    void showHide_data()
    {
        QTest::addColumn<bool>("click");
        QTest::newRow("menu") << false;
        QTest::newRow("left click") << true;
    }
    void showHide()
    {
        QFETCH(bool, click);
        QSettings("Brightfen", "TellurixPanel").setValue("ShowInSystemTray", "true");
        TestWindow window;
        window.show();
        QSystemTrayIcon* pTray = Tray(window);
        QVERIFY(pTray);
        const QList<QAction*> actions = pTray->contextMenu()->actions();
        QStringList texts;
        for (QAction* pAction : actions)
            texts << pAction->text();
        QCOMPARE(texts, QStringList({"&Show/Hide", "&Quit"}));
        QList<bool> visible;
        for (int i = 0; i < 2; ++i) {
            if (click)
                emit pTray->activated(QSystemTrayIcon::Trigger);
            else
                actions[0]->trigger();
            visible << window.isVisible();
        }
        QCOMPARE(visible, QList<bool>({false, true}));
    }

    // Closing ends the panel, unless the tray icon is shown: then the window
    // hides to the tray and only the menu's Quit ends it.
    void closing_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::addColumn<bool>("quit");
        QTest::addColumn<bool>("ends");
        QTest::newRow("no tray icon: closing ends the panel") << false << false << true;
        QTest::newRow("tray icon: closing hides to the tray") << true << false << false;
        QTest::newRow("tray icon: Quit ends the panel") << true << true << true;
    }
    void closing()
    {
        QFETCH(bool, tray);
        QFETCH(bool, quit);
        QSettings("Brightfen", "TellurixPanel").setValue("ShowInSystemTray", tray ? "true" : "false");
        TestWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(Tray(window) != nullptr, tray);
        QTEST(Ends([&] {
                  quit ? Tray(window)->contextMenu()->actions().at(1)->trigger() : (void)window.close();
              }),
              "ends");
        QVERIFY(!window.isVisible());
    }

    // In the tray the panel outlives its other windows: closing the Stability
    // Analysis window over the hidden main window does not end it.
    void trayedPanelOutlivesOtherWindows()
    {
        QSettings("Brightfen", "TellurixPanel").setValue("ShowInSystemTray", "true");
        TestWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.findChild<QAction*>("actionStability_Analysis")->trigger();
        auto* pStability = window.findChild<CStabilityWindow*>();
        QVERIFY(pStability && pStability->isWindow());
        QVERIFY(QTest::qWaitForWindowExposed(pStability));
        window.close();
        QVERIFY(!window.isVisible());
        QVERIFY(!Ends([&] { pStability->close(); }));
    }

    // The first hide to the tray says where the panel went, once: not again
    // after a restart.
    void firstHideExplained()
    {
        QSettings("Brightfen", "TellurixPanel").setValue("ShowInSystemTray", "true");
        QList<bool> shown;
        for (int i = 0; i < 2; ++i) {
            TestWindow window;
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.close();
            const QWidgetList tops = QApplication::topLevelWidgets();
            shown << std::any_of(tops.begin(), tops.end(),
                                 [](QWidget* p) { return p->inherits("QBalloonTip") && p->isVisible(); });
        }
        QCOMPARE(shown, QList<bool>({true, false}));
    }

private:
    ServicePeer m_service;
};

QTEST_MAIN(tst_Tray)
#include "tst_tray.moc"
