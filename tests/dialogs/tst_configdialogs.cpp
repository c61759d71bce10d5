// The service configuration dialogs the real window opens, driven with keys and clicks; checked
// by what they show and the bytes the panel then sends to a stand-in service on the loopback port.
#include "connectdlg.h"
#include "servicepeer.h"
#include "testwindow.h"

#include <QApplication>
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
        ConnectDlg::SetPortLister(MadeUpPorts);
        m_dialogs.m_fnStep = [this](QDialog* pDlg, const QString& step) {
            QVERIFY2(step.startsWith("serve:"), qPrintable(step));
            Serve(pDlg, step.mid(6).toDouble());
        };
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
        const QString loopReply = "4248:00" + tc1e6 + rest, lockReply = "424f:00010000001e";
        // The offset dialog's requests on opening, and the value asked for once "calibration ready" comes.
        const QString asked = "4246:00 424e:03 424e:02 424e:00 ";
        const char* ntp = "serve:99999.9 @buttonNTPServer Esc / =time.example Return";
        // Port 1 ("COM1") at 4800: the first port containing it in any case, not the exact one.
        row("comm: any case, then the next port and rate", comm, "4245:0000000001000012c0",
            "Down Tab Down Return", "com10|4800", "4245:00 4245:010000000100002580");
        row("comm: port 3 and 480 unlisted: Off, no rate; an unlisted rate typed", comm,
            "4245:0000000003000001e0", "Tab =14400 Return", "Off|", "4245:00 4245:010000000000003840");
        row("comm: a device path is not sent", comm, "4245:0000000001000012c0", "Down Down Return",
            "com10|4800", "4245:00");
        row("comm: cancelled", comm, "4245:0000000001000012c0", "@Cancel", "com10|4800", "4245:00");
        // The reset box starts clear whatever the service's enable flag, and alone sets the reset byte.
        row("loop: %g, gain cleared, the loop enabled", loop, loopReply + "01", "Tab = Return",
            "1e+06|0.001|0.7|2|[ ]", "4248:00 4248:01" + tc1e6 + "0000000000000000" + rest.mid(16) + "00");
        row("loop: reset, the loop disabled", loop, loopReply + "00", "@cbResetLoop Return",
            "1e+06|0.001|0.7|2|[ ]", "4248:00 4248:01" + tc1e6 + rest + "01");
        row("loop: cancelled", loop, loopReply + "01", "=5 @cbResetLoop @Cancel", "1e+06|0.001|0.7|2|[ ]",
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
