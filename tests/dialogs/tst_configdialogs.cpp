// The service configuration dialogs driven as a user drives them: keys and
// mouse clicks on the real widgets of the dialogs the real window opens, and
// the bytes the panel then sends to a stand-in service on the loopback port.
//
// A dialog's script is a line of steps: "tab", "space", "down", "home",
// "enter", "esc" press keys on the focused widget; "=text" replaces the
// focused field's text ("=" empties it); "@name" clicks the widget of that
// object name or button text; "snap" records what the dialog shows;
// "serve:estimate" plays the service's part for the time offset dialog.
// " / " separates the scripts of dialogs that open one after the other.

#include "cmainwindow.h"
#include "connectdlg.h"
#include "fakeservice.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace BRFN;

namespace {

// The real window with the real dialogs; only the update check stays home.
class DialogWindow : public CMainWindow
{
public:
    using CMainWindow::CMainWindow;

protected:
    void StartUpdateCheck() override {}
};

const QMap<QString, Qt::Key> kKeys = {{"tab", Qt::Key_Tab},      {"space", Qt::Key_Space},
                                      {"down", Qt::Key_Down},    {"home", Qt::Key_Home},
                                      {"enter", Qt::Key_Return}, {"esc", Qt::Key_Escape}};

// The fields as the user sees them, in form order: "[x]" for a checked box.
QString Shown(const QDialog* pDlg)
{
    QStringList shown;
    for (const QWidget* w : pDlg->findChildren<QWidget*>()) {
        const auto* pLabel = qobject_cast<const QLabel*>(w);
        if (const auto* pCheck = qobject_cast<const QCheckBox*>(w))
            shown << (pCheck->isChecked() ? "[x]" : "[ ]");
        else if (const auto* pCombo = qobject_cast<const QComboBox*>(w))
            shown << pCombo->currentText(); // its line edit is skipped below
        else if ((qobject_cast<const QLineEdit*>(w) && !qobject_cast<QComboBox*>(w->parent())) ||
                 (pLabel && pLabel->frameShape() == QFrame::Box))
            shown << w->property("text").toString();
    }
    return shown.join('|');
}

} // namespace

class tst_ConfigDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(StartWindowTests(m_service));
        Poll();
    }
    void cleanup()
    {
        m_pWindow.reset();
        m_scripts.clear();
        m_opened.clear();
        m_strShown.clear();
    }

    void portAndBaudPreselection_data()
    {
        QTest::addColumn<QString>("ports"); // listed by name, handed back as "@name"
        QTest::addColumn<QString>("given"); // port and baud passed in
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("result"); // port and baud handed back, and the dialog result
        const char* com = "COM1 COM10";
        // clang-format off
    // The first entry that contains the port, in any case: not the exact COM1.
    QTest::newRow("any case") << "com10 COM1" << "COM1 4800" << "com10|4800" << "enter" << "@com10 4800 1";
    QTest::newRow("absent port: Off") << com << "COM3 115200" << "Off|115200" << "enter" << "off 115200 1";
    QTest::newRow("14400: empty, 0") << com << "COM1 14400" << "COM1|" << "enter" << "@COM1 0 1";
    QTest::newRow("letters: 0") << com << "COM1 4800" << "COM1|4800" << "tab =fast enter" << "@COM1 0 1";
    QTest::newRow("Down") << com << "COM1 4800" << "COM1|4800" << "down tab down enter" << "@COM10 9600 1";
    QTest::newRow("Off") << com << "COM10 4800" << "COM10|4800" << "home @OK" << "off 4800 1";
    QTest::newRow("Cancel") << com << "COM1 14400" << "COM1|" << "@Cancel" << "COM1 14400 0";
        // clang-format on
    }

    void portAndBaudPreselection()
    {
        QFETCH(QString, ports);
        QFETCH(QString, given);
        QFETCH(QString, script);
        QList<ConnectDlg::PortEntry> entries;
        for (const QString& name : ports.split(' '))
            entries.append({name, "@" + name});
        ConnectDlg dlg(entries);
        QString strPort = given.section(' ', 0, 0);
        unsigned int nBaud = given.section(' ', 1).toUInt();
        m_scripts = QStringList{"snap " + script};
        const int nResult = dlg.Execute(strPort, nBaud);
        QCOMPARE(m_opened, QStringList{"ConnectDlg"});
        QTEST(m_strShown, "shown");
        QTEST(QString("%1 %2 %3").arg(strPort).arg(nBaud).arg(nResult), "result");
    }

    void menuFlows_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("reply"); // "command:payload" in hex, sent twice at once
        QTest::addColumn<QString>("scripts");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("sent"); // every packet after the action's request(s)
        const char* comm = "action_SetupGPSCommunications";
        const char* loop = "actionSet_Control_Loop_Parameters";
        const char* lock = "action_Lock_Criteria";
        const char* offset = "action_SetTime_DifferenceOffset";
        // Time constant 100 or 1e6, gain 0.001, damping 0.7, detector gain 2.
        const QString tc100 = "4059000000000000", tc1e6 = "412e848000000000";
        const QString rest = "3f50624dd2f1a9fc3fe66666666666664000000000000000";
        const QString commReply = "4245:0000000003000012c0", lockReply = "424f:00010000001e";
        const QString value = "424e:00 "; // asked for once the service reports "calibration ready"
        const QString set15 = "4246:013f8eb851eb851eb8", set0 = "4246:010000000000000000";
        const QString ntp = "serve:99999.9 @buttonNTPServer ";
        // clang-format off
    // The service reports a port that this computer lacks: "Off" is shown.
    QTest::newRow("comm: typed baud") << comm << commReply << "tab =19200 enter" << "Off|4800"
        << "4245:010000000000004b00";
    QTest::newRow("loop: %g, no reset") << loop << "4248:00" + tc100 + rest + "01" << "enter"
        << "100|0.001|0.7|2|[ ]" << "4248:01" + tc100 + rest + "00";
    QTest::newRow("loop: 1e+06, gain cleared, reset") << loop << "4248:00" + tc1e6 + rest + "01"
        << "tab = @cbResetLoop enter" << "1e+06|0.001|0.7|2|[ ]"
        << "4248:01" + tc1e6 + "0000000000000000" + rest.mid(16) + "01";
    QTest::newRow("loop: cancelled") << loop << "4248:00" + tc100 + rest + "01" << "=5 @cbResetLoop @Cancel"
        << "100|0.001|0.7|2|[ ]" << "";
    QTest::newRow("lock: letters") << lock << lockReply << "tab =abc enter" << "[x]|30"
        << "424f:010100000000";
    QTest::newRow("lock: off, delay") << lock << lockReply << "space tab =600 @OK" << "[x]|30"
        << "424f:010000000258";
    QTest::newRow("lock: cancelled") << lock << lockReply << "space tab = esc" << "[x]|30" << "";
    QTest::newRow("offset: accepted") << offset << "" << "serve:99999.9 snap enter" << "99999.9|0.015"
        << value + set15;
    QTest::newRow("offset: apply") << offset << "" << "serve:1e-7 @buttonApplyCalibration snap enter"
        << "1E-07|1E-07" << value + "4246:013e7ad7f29abcaf48";
    QTest::newRow("offset: reply overwrites typing") << offset << "" << "=0.5 serve:99999.9 snap enter"
        << "99999.9|0.015" << value + set15;
    QTest::newRow("offset: letters") << offset << "" << "serve:99999.9 =abc enter" << "" << value + set0;
    QTest::newRow("offset: update") << offset << "" << "serve:99999.9 @buttonUpdate esc" << ""
        << value + "424e:03";
    QTest::newRow("server set, offset cancelled") << offset << "" << ntp + "esc / snap =time.example enter"
        << "pool.ntp.org" << value + "424e:0174696d652e6578616d706c6500";
    QTest::newRow("server unchanged") << offset << "" << ntp + "esc / enter" << ""
        << value + "424e:01706f6f6c2e6e74702e6f726700";
    QTest::newRow("server emptied") << offset << "" << ntp + "esc / = @OK" << "" << value + "424e:0100";
    QTest::newRow("server cancelled") << offset << "" << ntp + "@OK / =x esc" << "" << value + set15;
        // clang-format on
    }

    void menuFlows()
    {
        QFETCH(QString, action);
        QFETCH(QString, reply);
        QFETCH(QString, scripts);
        QFETCH(QString, sent);
        OpenWindow();
        m_scripts = scripts.split(" / ");
        if (!reply.isEmpty()) // what the reply shows
            m_scripts[0].prepend("snap ");
        m_pWindow->findChild<QAction*>(action)->trigger(); // the offset dialog runs at once
        QString strAsked = "4246:00 424e:03 424e:02";
        if (!reply.isEmpty()) { // the others ask, and open on the reply
            strAsked = reply.left(5) + "00";
            QTRY_COMPARE(Traffic(), strAsked);
            const QPair<quint16, QByteArray> packet(reply.left(4).toUShort(nullptr, 16),
                                                    QByteArray::fromHex(reply.mid(5).toLatin1()));
            m_service.Send({packet, packet});
            QTRY_VERIFY(m_scripts.isEmpty() && !QApplication::activeModalWidget());
        }
        QTest::qWait(100); // the second reply opens nothing, and nothing more is sent
        QCOMPARE(m_opened.size(), scripts.count(" / ") + 1);
        QTEST(m_strShown, "shown");
        QCOMPARE(Traffic(), (strAsked + ' ' + sent).trimmed());
    }

private:
    void OpenWindow()
    {
        m_service.m_received.clear();
        m_pWindow = std::make_unique<DialogWindow>();
        QVERIFY(m_service.WaitForNewConnection());
        QTRY_COMPARE(m_service.m_received.size(), 4); // the start-up requests
        m_service.m_received.clear();
    }
    // Every modal dialog that shows gets the next script; one that shows when
    // none is left is cancelled, so an unexpected dialog fails instead of hanging.
    void Poll()
    {
        QTimer::singleShot(10, this, &tst_ConfigDialogs::Poll); // also while a script runs
        auto* pDlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!pDlg || !pDlg->isVisible() || pDlg->property("seen").toBool())
            return;
        pDlg->setProperty("seen", true);
        m_opened << pDlg->metaObject()->className();
        if (!m_scripts.isEmpty())
            RunScript(pDlg, m_scripts.takeFirst());
        if (pDlg->isVisible())
            pDlg->reject();
    }
    void RunScript(QDialog* pDlg, const QString& strScript)
    {
        for (const QString& step : strScript.split(' ', Qt::SkipEmptyParts)) {
            // After a dialog it opened has closed, give it back the focus as a
            // window manager does; set at once, since the offscreen platform
            // may not deliver an activation request in time on a slow build.
            if (!pDlg->isActiveWindow())
                QApplication::setActiveWindow(pDlg);
            QVERIFY(pDlg->isActiveWindow());
            QWidget* pFocus = QApplication::focusWidget();
            QWidget* pTarget = nullptr;
            for (QWidget* w : pDlg->findChildren<QWidget*>()) {
                const auto* pButton = qobject_cast<QAbstractButton*>(w);
                if (step == "@" + w->objectName() || (pButton && step == "@" + pButton->text()))
                    pTarget = w;
            }
            if (step.startsWith('=')) {
                QTest::keyClick(pFocus, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClick(pFocus, Qt::Key_Delete);
                QTest::keyClicks(pFocus, step.mid(1));
            } else if (pTarget) { // near the left end, where a check box has its text
                QTest::mouseClick(pTarget, Qt::LeftButton, {}, QPoint(8, pTarget->height() / 2));
            } else if (step.startsWith("serve:")) {
                Serve(pDlg, step.mid(6).toDouble());
            } else if (step == "snap") {
                m_strShown = Shown(pDlg);
            } else {
                QVERIFY2(kKeys.contains(step), qPrintable(step));
                QTest::keyClick(pFocus, kKeys.value(step));
            }
        }
    }
    // Answers the three requests the time offset dialog sends on opening (offset
    // 0.015, server pool.ntp.org, calibration ready), then the value request.
    void Serve(QDialog* pDlg, double dEstimate)
    {
        m_service.Send({{CMD_TIME_DIFF_OFFSET, EncodeTimeDiffOffset(0, 0.015)},
                        {CMD_NTP_CALIBRATION, EncodeSubCommand(3)},
                        {CMD_NTP_CALIBRATION, EncodeNTPAddressReply("pool.ntp.org")}});
        QTRY_VERIFY(!m_service.Received(CMD_NTP_CALIBRATION, 0).isEmpty());
        m_service.Send(CMD_NTP_CALIBRATION, EncodeNTPValues(0, dEstimate));
        QTRY_VERIFY(pDlg->findChild<QLabel*>("label_EstimatedCalibratedValue")->text() != "0");
    }
    // "command:payload" in hex of each packet the panel sent
    QString Traffic() const
    {
        QStringList out;
        for (const FakeService::Packet& p : m_service.m_received)
            out << QString::number(p.nCommand, 16) + ':' + p.payload.toHex();
        return out.join(' ');
    }

    FakeService m_service;
    std::unique_ptr<DialogWindow> m_pWindow;
    QStringList m_scripts;
    QStringList m_opened; // class names of the dialogs shown, in order
    QString m_strShown;
};

QTEST_MAIN(tst_ConfigDialogs)
#include "tst_configdialogs.moc"
