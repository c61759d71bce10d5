// A hostile service and hostile UDP senders against the real main window, on
// the real ports. A test peer plays the service: it sends what the row says,
// then drops the link; CheckRecovered() then demands that the panel still works.
// Then the faults a panel left running for months meets: no display, a panel
// killed and started again over a broken settings file, stored values it does
// not know; the panel runs as the program built next to the tests. (A service
// killed and started again: tests/e2e and the recovery check here; a log name
// the service refuses: tests/sim.)

#include "../../bench/benchutil.h"
#include "../link/wire.h"
#include "brfncodec.h"
#include "servicepeer.h"
#include "testwindow.h"

#include <QDir>
#include <QFile>
#include <QLayout>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <csignal>
#include <functional>
#include <limits>
#include <unistd.h>

using Status = CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS;
using Writer = std::function<void()>;
Q_DECLARE_METATYPE(Writer)

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true; // the memory figures mean nothing here
#else
constexpr bool kSanitized = false;
#endif

// n random bytes, n a multiple of 4.
QByteArray Noise(int n, quint32 nSeed)
{
    QByteArray b(n, Qt::Uninitialized);
    QRandomGenerator(nSeed).fillRange(reinterpret_cast<quint32*>(b.data()), n / 4);
    return b;
}

QByteArray StatusPacket(double dTimeDiff)
{
    return frame(BRFN::CMD_CONTROL_LOOP_STATUS,
                 BRFN::EncodeControlLoopStatus(Status{dTimeDiff, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 6}));
}

// The panel program with its own configuration directory and no DISPLAY.
struct Panel : QProcess
{
    explicit Panel(const QString& strConfigHome, bool bOffscreen = true)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_FATAL_WARNINGS"); // its warnings are output here, not failures
        env.insert("XDG_CONFIG_HOME", strConfigHome);
        env.remove("DISPLAY");
        if (!bOffscreen)
            env.remove("QT_QPA_PLATFORM");
        setProcessEnvironment(env);
        start(qEnvironmentVariable("TELLURIX_BIN_DIR") + "/TellurixPanel", QStringList());
    }
    ~Panel() override
    {
        kill();
        waitForFinished();
    }
    // Still running after a while, then ends cleanly (in the sanitizer build,
    // without a leak) when the session asks it to.
    bool RunsAndQuits()
    {
        if (!waitForStarted() || waitForFinished(2500))
            return false;
        ::kill(pid_t(processId()), SIGTERM);
        return waitForFinished(10000) && exitStatus() == NormalExit && exitCode() == 0;
    }
};

} // namespace

class TestReliability : public QObject
{
    Q_OBJECT

    ServicePeer m_service;
    DialogDriver m_dialogs; // cancels the dialogs that replies open
    TestWindow* m_pWindow = nullptr;
    QTemporaryDir m_dir;      // the configuration directory of the programs started
    QList<double> m_received; // time differences of the statuses announced since the last clear
    int m_nEpochs = 0;

    bool EpochTurns(int nTimeoutMs)
    {
        const int nBefore = m_nEpochs;
        return QTest::qWaitFor([&] { return m_nEpochs > nBefore; }, nTimeoutMs);
    }

    // Writes while the panel reads (both live on this thread); false when the
    // panel stopped reading for 30 s.
    [[nodiscard]] bool Send(const QByteArray& bytes)
    {
        m_service.Peer()->write(bytes);
        return QTest::qWaitFor([this] { return !m_service.Peer() || m_service.Peer()->bytesToWrite() == 0; },
                               30000);
    }

    // After each phase: the link dropped, the one-second epoch still fires,
    // the panel connects again and statuses sent on the new link arrive whole,
    // with the values sent.
    void CheckRecovered()
    {
        if (m_service.Peer())
            m_service.Peer()->abort();
        QVERIFY2(EpochTurns(2500), "the one-second epoch stopped");
        QVERIFY2(m_service.WaitForNewConnection(), "the panel did not connect again");
        // The framing is not reset by a reconnect: a packet cut by the drop is
        // finished with the first bytes of the new link and dropped by its
        // checksum. Whatever arrives is whole, and the later packets arrive.
        const QList<double> sent = {0.0121, 0.0122, 0.0123};
        m_received.clear();
        QVERIFY(Send(StatusPacket(sent[0]) + StatusPacket(sent[1]) + StatusPacket(sent[2])));
        QTRY_VERIFY_WITH_TIMEOUT(m_received == sent || m_received == sent.mid(1), 3000);
    }

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules("default.debug=false"); // a line per packet otherwise
        QVERIFY(m_service.Listen());
        m_pWindow = new TestWindow;
        // The offscreen platform warns (fatally here) whenever a shown window's
        // size limits change, as texts of new lengths arrive.
        m_pWindow->layout()->setSizeConstraint(QLayout::SetNoConstraint);
        m_pWindow->ShowPage(TestWindow::LOOP_PAGE);
        connect(m_pWindow, &CMainWindow::SignalOneSecondEpoch, this, [this] { ++m_nEpochs; });
        connect(m_pWindow, &CMainWindow::SignalControlLoopStatus, this,
                [this](Status s) { m_received += s.dTimeDiff; });
        QVERIFY(m_service.WaitForNewConnection());
    }
    void cleanupTestCase() { delete m_pWindow; }

    void hostileService_data()
    {
        QTest::addColumn<Writer>("writer");
        // Every command id (the two unused ones among them) with every payload
        // length up to past its layout.
        QTest::newRow("every length") << Writer([this] {
            const QByteArray noise = Noise(BRFN::SIZE_GPS_STATUS + 4, 11);
            for (uint16_t nCommand = BRFN::CMD_MESSAGE; nCommand <= BRFN::CMD_GPS_LOCK_CONFIG; ++nCommand) {
                QByteArray stream;
                for (int n = 0; n <= BRFN::SIZE_GPS_STATUS + 2; ++n)
                    stream += frame(nCommand, noise.left(n));
                QVERIFY(Send(stream));
            }
        });
        // The records that reach a painted display, each value an extreme
        // double, and every page painted after each value.
        QTest::newRow("non-finite doubles") << Writer([this] {
            for (double d :
                 {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                  -std::numeric_limits<double>::infinity(), 1e308, -1e308, 4.9e-324, -0.0}) {
                CBRFNProtocolQt::CMD_DATA_GPS_STATUS g;
                g.dLatitude = g.dLongitude = g.dAltitude = d;
                const int nBefore = m_received.size();
                QVERIFY(Send(
                    frame(BRFN::CMD_GPS_STATUS, BRFN::EncodeGPSStatus(g)) +
                    frame(BRFN::CMD_CONTROL_LOOP_STATUS,
                          BRFN::EncodeControlLoopStatus(Status{d, d, d, d, d, d, 8, 1, d, d, d, 16, 6}))));
                QTRY_COMPARE(m_received.size(), nBefore + 1); // the status comes last: both have been handled
                for (int nPage : {TestWindow::GPS_PAGE, TestWindow::LOOP_PAGE, TestWindow::STATUS_PAGE}) {
                    m_pWindow->ShowPage(nPage);
                    QVERIFY(!m_pWindow->grab().isNull());
                }
            }
        });
        // The service gone mid-packet: the recovery check's statuses must still arrive whole.
        QTest::newRow("cut mid-packet") << Writer([this] { QVERIFY(Send(StatusPacket(5).left(40))); });
    }

    // Each on the Loop Status page, whose charts keep every record.
    void hostileService()
    {
        QFETCH(Writer, writer);
        m_pWindow->ShowPage(TestWindow::LOOP_PAGE);
        writer();
        if (!QTest::currentTestFailed())
            CheckRecovered();
    }

    // 64 KB datagrams, binary garbage, invalid UTF-8, long lines without an
    // end, in a burst of 5,000: the panel keeps turning and its memory stays
    // within what the NMEA page's 1000-line cap holds.
    void hostileUdp()
    {
        m_pWindow->ShowPage(TestWindow::NMEA_PAGE);
        QPlainTextEdit* pEdit = m_pWindow->Nmea();
        QUdpSocket sender;
        const QByteArray sentence("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
        const QList<QByteArray> kinds = {
            Noise(65508, 5), QByteArray(65507, 'A'),
            QByteArray("\xC3\x28\xF0\x28\x8C\xBC\xED\xA0\x80\xFF\xFE", 11).repeated(5000),
            sentence.repeated(900), sentence};
        const qint64 nResidentBefore = ResidentBytes();
        for (int i = 0; i < 5000; ++i) {
            sender.writeDatagram(kinds[i % kinds.size()].left(65507), QHostAddress::LocalHost,
                                 CMainWindow::NMEA_PORT);
            if (i % 50 == 49)
                QTest::qWait(1); // the kernel's receive buffer holds only so much
        }
        QVERIFY2(EpochTurns(5000), "the panel stopped turning under the burst");
        QVERIFY(!m_pWindow->grab().isNull());
        const qint64 nGrowth = ResidentBytes() - nResidentBefore;
        sender.writeDatagram(sentence, QHostAddress::LocalHost, CMainWindow::NMEA_PORT);
        QTRY_VERIFY(pEdit->toPlainText().endsWith(QString::fromLatin1(sentence).remove('\r')));
        QVERIFY2(kSanitized || nGrowth < 34 * 1024 * 1024,
                 qPrintable(QString("resident +%1 bytes").arg(nGrowth)));
    }

    // After the hostile peer: these panels and windows connect to it too.
    void noDisplay()
    {
        Panel panel(m_dir.path(), false);
        QVERIFY(panel.waitForFinished(10000));
        QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(panel.exitCode(), 1);
        QVERIFY(panel.readAllStandardError().contains("DISPLAY is not set"));
    }

    // A panel killed outright leaves the single-instance keys behind; the next
    // start must take them over and still keep a third panel out. Both read a
    // settings file that is garbage throughout.
    void killedPanelRestarts()
    {
        QVERIFY(QDir().mkpath(m_dir.filePath("Brightfen")));
        QFile settings(m_dir.filePath("Brightfen/TellurixPanel.conf"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(QByteArray("[General\nPosFormat=\xFF\xFE\x00\x01\n=\n[[[\n", 30).repeated(300));
        settings.close();
        Panel first(m_dir.path());
        QVERIFY(first.waitForStarted());
        QVERIFY(!first.waitForFinished(1500));
        first.kill(); // SIGKILL
        QVERIFY(first.waitForFinished());
        Panel second(m_dir.path());
        QVERIFY(second.waitForStarted());
        QVERIFY(!second.waitForFinished(2000));
        Panel third(m_dir.path());
        QVERIFY(third.waitForFinished(10000));
        QVERIFY(third.readAllStandardError().contains("An instance has already been running."));
        QVERIFY2(second.RunsAndQuits(), second.readAllStandardError().right(2000).constData());
    }

    // A notation and a unit chosen from the menus are there after a restart. An unknown stored
    // position format stays unknown: no menu mark, also after a save (here from choosing units) and
    // a load. Text reads as 0 and shows its mark.
    void navChoicesSurviveRestart_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("checked");
        for (const char* pszStored : {"-1", "4294967295", "4294967296", "3", "99999999999999999999"})
            QTest::newRow(pszStored) << pszStored << QString() << QString();
        QTest::newRow("text") << "dd" << QString() << QString("actionPosFormatDD_MM_MMMM");
        QTest::newRow("chosen") << "0"
                                << "actionPosFormatDD_DDDD" << QString("actionPosFormatDD_DDDD");
    }
    void navChoicesSurviveRestart()
    {
        QFETCH(QString, stored);
        QFETCH(QString, chosen);
        QFETCH(QString, checked);
        QSettings settings("Brightfen", "TellurixPanel");
        settings.clear();
        settings.setValue("PosFormat", stored);
        settings.sync();
        {
            CMainWindow window;
            for (const QString& strAction : {chosen, QString("action_Metric_Units")})
                if (!strAction.isEmpty())
                    window.findChild<QAction*>(strAction)->trigger();
        }
        CMainWindow window;
        for (const QAction* pAction : window.findChildren<QAction*>(QRegularExpression("^actionPosFormat")))
            QCOMPARE(pAction->isChecked(), pAction->objectName() == checked);
        QVERIFY(window.findChild<QAction*>("action_Metric_Units")->isChecked());
    }
};

QTEST_MAIN(TestReliability)
#include "tst_reliability.moc"
