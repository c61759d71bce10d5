// The service configuration dialogs the real window opens, driven with keys and clicks; checked
// by what they show and the bytes the panel then sends to a stand-in service on the loopback port.
#include "connectdlg.h"
#include "dialogfields.h"
#include "servicepeer.h"
#include "testwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTest>

#include <memory>

using namespace BRFN;

namespace {

// Two made-up ports, "com10" listed before "COM1", and a device path.
QList<ConnectDlg::PortEntry> MadeUpPorts()
{
    return {{"com10", "COM10"}, {"COM1", "COM1"}, {"ttyUSB0 - USB serial", "/dev/ttyUSB0"}};
}

} // namespace

class tst_ConfigDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(StartWindowTests(m_service));
        AllowOffscreenWindowWarnings(); // from the message box
        ConnectDlg::SetPortLister(MadeUpPorts);
        m_dialogs.m_fnStep = [this](QDialog* pDlg, const QString& step) {
            if (step.startsWith("locale:"))
                return QLocale::setDefault(QLocale(step.mid(7)));
            QVERIFY2(step.startsWith("serve:"), qPrintable(step));
            Serve(pDlg, step.mid(6).toDouble());
        };
    }
    void cleanup()
    {
        m_pWindow.reset();
        QLocale::setDefault(QLocale::c());
    }

    // A number field's text in the user's locale or the C locale, within its range, or refused ("-").
    void numberText_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("max"); // 0: any finite number; else whole numbers from 0 (from 1 up to 4e6)
        QTest::addColumn<QString>("readings"); // text=number, separated by '|'
        QTest::newRow("comma locale") << "de_DE" << 0.0 << "0,015=0.015|0.015=0.015|1.500=1.5";
        QTest::newRow("C locale") << "C" << 0.0 << "0,015=-| -2.5e-7 =-2.5e-07|abc=-|=-|nan=-|inf=-|1e999=-";
        QTest::newRow("lock delay") << "C" << 4294967295.0 << "4294967295=4294967295|4294967296=-|-1=-|1.5=-";
        QTest::newRow("baud") << "C" << 4e6 << "0=-|4000000=4000000|4000001=-";
    }
    void numberText()
    {
        QFETCH(QString, locale);
        QFETCH(double, max);
        QFETCH(QString, readings);
        QLocale::setDefault(QLocale(locale));
        const DialogFields::NumberRange range =
            max == 0 ? DialogFields::NumberRange()
                     : DialogFields::NumberRange{max > 4e6 ? 0.0 : 1.0, max, true};
        QStringList read;
        for (const QString& reading : readings.split('|')) {
            double d = 0;
            const QString text = reading.section('=', 0, 0);
            read << text + "=" +
                        (DialogFields::ParseNumber(text, range, &d) ? QString::number(d, 'g', 10) : "-");
        }
        QCOMPARE(read.join('|'), readings);
    }

    // The service addresses a port by the number after the first "M"; a port that yields no positive
    // number is marked in the list and never sent (the window tells the user: menuFlows).
    void portNumbers()
    {
        QStringList numbers;
        for (const char* psz : {"COM3", "/dev/ttyACM0", "/dev/ttyAMA0", "/dev/ttyUSB0", "/dev/ttyS1", "off"})
            numbers << QString::number(ConnectDlg::PortNumber(psz));
        QCOMPARE(numbers.join(' '), "3 -1 -1 -1 -1 0");
        ConnectDlg dlg;
        QStringList listed;
        for (int i = 0; i < dlg.findChild<QComboBox*>("cbPortList")->count(); ++i)
            listed << dlg.findChild<QComboBox*>("cbPortList")->itemText(i);
        QCOMPARE(listed.join('|'), "Off|com10|COM1|ttyUSB0 - USB serial (not addressable)");
    }

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
        const QString loopReply = "4248:00" + tc1e6 + rest, lockReply = "424f:00010000001e";
        // The offset dialog's requests on opening, and the value asked for once "calibration ready" comes.
        const QString asked = "4246:00 424e:03 424e:02 424e:00 ";
        const char* ntp = "serve:99999.9 @buttonNTPServer Esc / =time.example Return";
        // Port 1 ("COM1") at 4800: the first port containing it in any case, not the exact one.
        row("comm: any case, then the next port and rate", comm, "4245:0000000001000012c0",
            "Down Tab Down Return", "com10|4800", "4245:00 4245:010000000100002580");
        // Port 3 and 480 baud, neither listed: kept as they are unless changed.
        const QString port3 = "4245:0000000003000001e0";
        row("comm: unlisted port and rate kept", comm, port3, "Return", "COM3 (current)|480",
            "4245:00 4245:0100000003000001e0");
        row("comm: an unlisted rate typed", comm, port3, "Tab =14400 Return", "COM3 (current)|480",
            "4245:00 4245:010000000300003840");
        row("comm: letters in the rate refused", comm, port3, "Tab =48OO ? Return",
            "COM3 (current)|48OO|(\"48OO\" is not usable here: enter a whole number from 1 to 4000000.)|OK "
            "disabled",
            "4245:00");
        row("comm: a device path is not sent, the user is told", comm, "4245:0000000001000012c0",
            "Down Down Return / Return",
            "The service cannot read \"/dev/ttyUSB0\": it addresses serial ports by number (\"COM1\", "
            "\"COM2\", \u2026). Nothing was changed.",
            "4245:00");
        row("comm: cancelled", comm, "4245:0000000001000012c0", "@Cancel", "com10|4800", "4245:00");
        // The reset box starts clear whatever the service's enable flag, and alone sets the reset byte.
        row("loop: %g, the loop enabled", loop, loopReply + "01", "Return", "1e+06|0.001|0.7|2|[ ]",
            "4248:00 4248:01" + tc1e6 + rest + "00");
        row("loop: a cleared gain refused", loop, loopReply + "01", "Tab = ? Return",
            "1e+06|(Enter a number such as 0.015.)||0.7|2|[ ]|OK disabled", "4248:00");
        row("loop: reset, the loop disabled", loop, loopReply + "00", "@cbResetLoop Return",
            "1e+06|0.001|0.7|2|[ ]", "4248:00 4248:01" + tc1e6 + rest + "01");
        row("loop: cancelled", loop, loopReply + "01", "=5 @cbResetLoop @Cancel", "1e+06|0.001|0.7|2|[ ]",
            "4248:00");
        row("lock: off, delay", lock, lockReply, "Space Tab =600 @OK", "[x]|30", "424f:00 424f:010000000258");
        row("lock: cancelled", lock, lockReply, "Space Tab = Esc", "[x]|30", "424f:00");
        row("lock: a negative delay refused", lock, lockReply, "Tab =-1 ? Return",
            "[x]|(\"-1\" is not usable here: enter a whole number from 0 to 4294967295.)|-1|OK disabled",
            "424f:00");
        row("offset: update, apply", offset, "", "serve:1e-7 @buttonUpdate @buttonApplyCalibration Return",
            "1E-07|0.015", asked + "424e:03 4246:013e7ad7f29abcaf48");
        row("offset: a comma locale's decimal comma", offset, "", "locale:de_DE serve:1e-7 =0,02 Return",
            "1E-07|0.015", asked + "4246:013f947ae147ae147b");
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
        m_service.ClearIncoming();
        m_pWindow = std::make_unique<TestWindow>();
        QVERIFY(m_service.WaitForNewConnection());
        QTRY_COMPARE(m_service.Incoming().size(), 4); // the start-up requests
        m_service.ClearIncoming();
        m_dialogs.m_opened.clear();
        m_dialogs.m_scripts = scripts.split(" / ");
        m_pWindow->findChild<QAction*>(action)->trigger(); // the offset dialog runs at once
        if (!reply.isEmpty()) {                            // the others ask, and open on the reply
            QTRY_COMPARE(Traffic(), reply.left(5) + "00");
            const QPair<quint16, QByteArray> packet(reply.left(4).toUShort(nullptr, 16),
                                                    QByteArray::fromHex(reply.mid(5).toLatin1()));
            m_service.Send({packet, packet});
            QTRY_VERIFY(m_dialogs.m_scripts.isEmpty() && !QApplication::activeModalWidget());
        }
        QTest::qWait(100); // the second reply opens nothing, and nothing more is sent
        QCOMPARE(m_dialogs.m_opened.size(), scripts.count(" / ") + 1);
        QTEST(m_dialogs.m_strShown, "shown");
        QTEST(Traffic(), "sent");
    }

private:
    // Answers the offset dialog's opening requests (0.015, pool.ntp.org, ready), then the value request.
    void Serve(QDialog* pDlg, double dEstimate)
    {
        m_service.Send({{CMD_TIME_DIFF_OFFSET, EncodeTimeDiffOffset(0, 0.015)},
                        {CMD_NTP_CALIBRATION, EncodeSubCommand(3)},
                        {CMD_NTP_CALIBRATION, EncodeNTPAddressReply("pool.ntp.org")}});
        QTRY_VERIFY(!m_service.Incoming(CMD_NTP_CALIBRATION, 0).isEmpty());
        m_service.Send(CMD_NTP_CALIBRATION, EncodeNTPValues(0, dEstimate));
        QTRY_VERIFY(pDlg->findChild<QLabel*>("label_EstimatedCalibratedValue")->text() != "0");
        m_dialogs.m_strShown = DialogDriver::Shown(pDlg);
    }
    // "command:payload" in hex of each packet the panel sent
    QString Traffic() const
    {
        QStringList out;
        for (const PacketLog::Packet& p : m_service.m_packets)
            if (p.bIncoming)
                out << QString::number(p.nCommand, 16) + ':' + p.payload.toHex();
        return out.join(' ');
    }

    ServicePeer m_service;
    DialogDriver m_dialogs;
    std::unique_ptr<TestWindow> m_pWindow;
};

QTEST_MAIN(tst_ConfigDialogs)
#include "tst_configdialogs.moc"
