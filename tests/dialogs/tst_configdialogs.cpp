// The service configuration dialogs the real window opens, driven with keys and clicks; checked
// by what they show and the bytes the panel then sends to a stand-in service on the loopback port.
// A script's steps: a key name ("Tab", "Return") presses it on the focused widget; "=text" replaces
// the focused field's text ("=" empties it); "@name" clicks the widget of that object name or button
// text; "serve:estimate" plays the service's part for the time offset dialog. " / " separates the
// scripts of dialogs that open one after the other.

#include "cmainwindow.h"
#include "connectdlg.h"
#include "fakeservice.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace BRFN;

namespace {

// The real window and dialogs, without the update check; the port dialog lists two made-up ports.
class DialogWindow : public CMainWindow
{
public:
    using CMainWindow::CMainWindow;
    void StartUpdateCheck() override {}
    int ExecCommPortDialog(QString& strPort, unsigned int& nBaud) override
    {
        ConnectDlg dlg({{"com10", "COM10"}, {"COM1", "COM1"}}, this);
        dlg.setModal(true);
        return dlg.Execute(strPort, nBaud);
    }
};

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
    void cleanup() { m_pWindow.reset(); }

    void menuFlows_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("reply"); // "command:payload" in hex, sent twice at once
        QTest::addColumn<QString>("scripts");
        QTest::addColumn<QString>("shown"); // by the last dialog as its script starts, or after "serve"
        QTest::addColumn<QString>("sent");  // every packet after the start-up requests
        auto row = [](const char* tag, const char* action, const QString& reply, const char* scripts,
                      const char* shown, const QString& sent) {
            QTest::newRow(tag) << action << reply << scripts << shown << sent;
        };
        const char *comm = "action_SetupGPSCommunications", *loop = "actionSet_Control_Loop_Parameters";
        const char *lock = "action_Lock_Criteria", *offset = "action_SetTime_DifferenceOffset";
        // Time constant 1e6, gain 0.001, damping 0.7, detector gain 2.
        const QString tc1e6 = "412e848000000000", rest = "3f50624dd2f1a9fc3fe66666666666664000000000000000";
        const QString loopReply = "4248:00" + tc1e6 + rest + "01", lockReply = "424f:00010000001e";
        // The offset dialog's requests on opening, and the value asked for once "calibration ready" comes.
        const QString asked = "4246:00 424e:03 424e:02 424e:00 ";
        const char* ntp = "serve:99999.9 @buttonNTPServer Esc / =time.example Return";
        // Port 1 ("COM1") at 4800: the first port containing it in any case, not the exact one.
        row("comm: any case, then the next port and rate", comm, "4245:0000000001000012c0",
            "Down Tab Down Return", "com10|4800", "4245:00 4245:010000000100002580");
        row("comm: port 3 and 14400 unlisted: Off, no rate; typed rate", comm, "4245:000000000300003840",
            "Tab =19200 Return", "Off|", "4245:00 4245:010000000000004b00");
        row("comm: cancelled", comm, "4245:0000000001000012c0", "@Cancel", "com10|4800", "4245:00");
        // The reset box starts clear whatever the service's enable flag.
        row("loop: %g, gain cleared, reset", loop, loopReply, "Tab = @cbResetLoop Return",
            "1e+06|0.001|0.7|2|[ ]", "4248:00 4248:01" + tc1e6 + "0000000000000000" + rest.mid(16) + "01");
        row("loop: cancelled", loop, loopReply, "=5 @cbResetLoop @Cancel", "1e+06|0.001|0.7|2|[ ]",
            "4248:00");
        row("lock: off, delay", lock, lockReply, "Space Tab =600 @OK", "[x]|30", "424f:00 424f:010000000258");
        row("lock: cancelled", lock, lockReply, "Space Tab = Esc", "[x]|30", "424f:00");
        row("offset: update, apply", offset, "", "serve:1e-7 @buttonUpdate @buttonApplyCalibration Return",
            "1E-07|0.015", asked + "424e:03 4246:013e7ad7f29abcaf48");
        row("server set, offset cancelled", offset, "", ntp, "pool.ntp.org",
            asked + "424e:0174696d652e6578616d706c6500");
        row("server cancelled, the reply overwrote typing", offset, "",
            "=0.5 serve:99999.9 @buttonNTPServer @OK / =x Esc", "pool.ntp.org",
            asked + "4246:013f8eb851eb851eb8");
    }

    void menuFlows()
    {
        QFETCH(QString, action);
        QFETCH(QString, reply);
        QFETCH(QString, scripts);
        m_service.m_received.clear();
        m_pWindow = std::make_unique<DialogWindow>();
        QVERIFY(m_service.WaitForNewConnection());
        QTRY_COMPARE(m_service.m_received.size(), 4); // the start-up requests
        m_service.m_received.clear();
        m_opened.clear();
        m_scripts = scripts.split(" / ");
        m_pWindow->findChild<QAction*>(action)->trigger(); // the offset dialog runs at once
        if (!reply.isEmpty()) {                            // the others ask, and open on the reply
            QTRY_COMPARE(Traffic(), reply.left(5) + "00");
            const QPair<quint16, QByteArray> packet(reply.left(4).toUShort(nullptr, 16),
                                                    QByteArray::fromHex(reply.mid(5).toLatin1()));
            m_service.Send({packet, packet});
            QTRY_VERIFY(m_scripts.isEmpty() && !QApplication::activeModalWidget());
        }
        QTest::qWait(100); // the second reply opens nothing, and nothing more is sent
        QCOMPARE(m_opened.size(), scripts.count(" / ") + 1);
        QTEST(m_strShown, "shown");
        QTEST(Traffic(), "sent");
    }

private:
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
        m_strShown = Shown(pDlg);
        for (const QString& step : strScript.split(' ', Qt::SkipEmptyParts)) {
            // After a dialog it opened has closed, give it back the focus as a window manager does; at
            // once, as the offscreen platform may not deliver an activation request in time on a slow build.
            if (!pDlg->isActiveWindow())
                QApplication::setActiveWindow(pDlg);
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
            } else {
                const int nKey = QKeySequence(step)[0];
                QVERIFY2(nKey != 0 && nKey != Qt::Key_unknown, qPrintable(step));
                QTest::keyClick(pFocus, Qt::Key(nKey));
            }
        }
    }
    // Answers the offset dialog's opening requests (0.015, pool.ntp.org, ready), then the value request.
    void Serve(QDialog* pDlg, double dEstimate)
    {
        m_service.Send({{CMD_TIME_DIFF_OFFSET, EncodeTimeDiffOffset(0, 0.015)},
                        {CMD_NTP_CALIBRATION, EncodeSubCommand(3)},
                        {CMD_NTP_CALIBRATION, EncodeNTPAddressReply("pool.ntp.org")}});
        QTRY_VERIFY(!m_service.Received(CMD_NTP_CALIBRATION, 0).isEmpty());
        m_service.Send(CMD_NTP_CALIBRATION, EncodeNTPValues(0, dEstimate));
        QTRY_VERIFY(pDlg->findChild<QLabel*>("label_EstimatedCalibratedValue")->text() != "0");
        m_strShown = Shown(pDlg);
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
