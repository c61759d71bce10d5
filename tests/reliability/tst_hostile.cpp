// A hostile service and hostile UDP senders against the real main window, on
// the real ports. A test peer plays the service: it sends what the row says
// while the page that paints those records is showing, then drops the link;
// CheckRecovered() then demands that the panel still works.

#include "../../bench/benchutil.h"
#include "../link/wire.h"
#include "brfncodec.h"
#include "cstripchartwidget.h"
#include "reliabilitywindow.h"

#include <QElapsedTimer>
#include <QLayout>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

#include <algorithm>
#include <functional>
#include <limits>

using Status = CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS;
using Gps = CBRFNProtocolQt::CMD_DATA_GPS_STATUS;
using Writer = std::function<void()>;
Q_DECLARE_METATYPE(Writer)

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true; // the memory figures mean nothing here
#else
constexpr bool kSanitized = false;
#endif

QByteArray Noise(int n, quint32 nSeed)
{
    QByteArray b(n, Qt::Uninitialized);
    QRandomGenerator rng(nSeed);
    for (char& c : b)
        c = char(rng.generate());
    return b;
}

// A loop-status packet whose time difference marks it.
QByteArray StatusPacket(double d)
{
    return frame(BRFN::CMD_CONTROL_LOOP_STATUS,
                 BRFN::EncodeControlLoopStatus(Status{d, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 6}));
}

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

    QTcpServer m_server;
    QPointer<QTcpSocket> m_pPeer;
    ReliabilityWindow* m_pWindow = nullptr;
    int m_nStatuses = 0;      // status records the window has announced
    QList<double> m_received; // time differences of the statuses announced since the last clear
    int m_nEpochs = 0;

    bool EpochTurns(int nTimeoutMs)
    {
        const int nBefore = m_nEpochs;
        return QTest::qWaitFor([&] { return m_nEpochs > nBefore; }, nTimeoutMs);
    }

    // Waits for the panel's next connection and takes it as the peer.
    bool Accept()
    {
        if (!m_server.hasPendingConnections() &&
            !QSignalSpy(&m_server, &QTcpServer::newConnection).wait(3000))
            return false;
        m_pPeer = m_server.nextPendingConnection();
        return QTest::qWaitFor([this] { return m_pWindow->Protocol()->m_bConnected; }, 3000);
    }

    // Writes while the panel reads (both live on this thread); false when the
    // panel stopped reading for 30 s.
    [[nodiscard]] bool Send(const QByteArray& bytes)
    {
        auto drained = [this](qint64 n) {
            return QTest::qWaitFor([this, n] { return !m_pPeer || m_pPeer->bytesToWrite() <= n; }, 30000);
        };
        for (int i = 0; i < bytes.size() && m_pPeer; i += 256 * 1024) {
            m_pPeer->write(bytes.mid(i, 256 * 1024));
            if (!drained(1024 * 1024))
                return false;
        }
        return drained(0);
    }

    // After each phase: the link dropped, the one-second epoch still fires,
    // every page paints, the panel connects again and statuses sent on the
    // new link arrive whole, with the values sent.
    void CheckRecovered()
    {
        if (m_pPeer)
            m_pPeer->abort();
        QVERIFY2(EpochTurns(2500), "the one-second epoch stopped");
        for (int nPage :
             {ReliabilityWindow::GPS_PAGE, ReliabilityWindow::LOOP_PAGE, ReliabilityWindow::STATUS_PAGE}) {
            m_pWindow->ShowPage(nPage);
            QVERIFY(!m_pWindow->grab().isNull());
        }
        QVERIFY2(Accept(), "the panel did not connect again");
        // The framing is not reset by a reconnect: a packet cut by the drop is
        // finished with the first bytes of the new link and dropped by its
        // checksum. Whatever arrives is whole, and the later packets arrive.
        const QList<double> sent = {0.0121, 0.0122, 0.0123};
        m_received.clear();
        for (double d : sent)
            QVERIFY(Send(StatusPacket(d)));
        QTRY_VERIFY_WITH_TIMEOUT(
            m_received.size() >= 2 && m_received.mid(m_received.size() - 2) == sent.mid(1), 3000);
        QVERIFY(m_received == sent || m_received == sent.mid(1));
    }

    // The records of every painted kind at once, each value an extreme double.
    static QByteArray NonFiniteRecords()
    {
        QByteArray stream;
        for (double d : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                         -std::numeric_limits<double>::infinity(), 1e308, -1e308, 4.9e-324, -0.0}) {
            const Status s{d, d, d, d, d, d, 8, 1, d, d, d, 16, 6};
            Gps g;
            g.dLatitude = g.dLongitude = g.dAltitude = d;
            CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY h;
            h.nCount = 10;
            std::fill(std::begin(h.aEntries), std::end(h.aEntries), s);
            stream += frame(BRFN::CMD_CONTROL_LOOP_STATUS, BRFN::EncodeControlLoopStatus(s));
            stream += frame(BRFN::CMD_GPS_STATUS, BRFN::EncodeGPSStatus(g));
            stream += frame(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, BRFN::EncodeHistory(h));
            stream += frame(BRFN::CMD_TIME_DIFF_OFFSET, BRFN::EncodeTimeDiffOffset(0, d));
            stream += frame(BRFN::CMD_NTP_CALIBRATION, BRFN::EncodeNTPValues(d, d));
        }
        return stream;
    }

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules("default.debug=false"); // a line per packet otherwise
        QVERIFY(m_server.listen(QHostAddress::LocalHost, CBRFNProtocolQt::SERVICE_PORT));
        m_pWindow = new ReliabilityWindow;
        m_pWindow->resize(900, 650);
        // The offscreen platform warns (fatally here) whenever a shown window's
        // size limits change, as texts of new lengths arrive.
        m_pWindow->layout()->setSizeConstraint(QLayout::SetNoConstraint);
        m_pWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWindow));
        connect(m_pWindow, &CMainWindow::SignalOneSecondEpoch, this, [this] { ++m_nEpochs; });
        connect(m_pWindow, &CMainWindow::SignalControlLoopStatus, this, [this](Status s) {
            ++m_nStatuses;
            if (m_received.size() < 16)
                m_received += s.dTimeDiff;
        });
        QVERIFY(Accept());
    }
    void cleanupTestCase() { delete m_pWindow; }

    void hostileService_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<Writer>("writer");
        const int nLoop = ReliabilityWindow::LOOP_PAGE, nGps = ReliabilityWindow::GPS_PAGE;
        QTest::newRow("random bytes")
            << nLoop << Writer([this] { QVERIFY(Send(Noise(2 * 1024 * 1024, 7))); });
        // Every command id (the two unused ones among them) with every payload
        // length up to past its layout, then the lengths around the framing's limits.
        for (int nPage : {nLoop, nGps}) {
            QTest::addRow("every length, page %d", nPage) << nPage << Writer([this] {
                const QByteArray noise = Noise(70000, 11);
                for (uint16_t nCommand = BRFN::CMD_MESSAGE; nCommand <= BRFN::CMD_GPS_LOCK_CONFIG;
                     ++nCommand) {
                    QByteArray stream;
                    for (int n = 0; n <= BRFN::SIZE_GPS_STATUS + 2; ++n)
                        stream += frame(nCommand, noise.left(n));
                    for (int n : {4095, 4096, 4097, 16383, 16384, 16385, 40000, 65535})
                        stream += frame(nCommand, noise.left(n));
                    QVERIFY(Send(stream));
                }
            });
        }
        // Counts up to 2^32 - 1 in the header, with 0 to 10 entries following.
        QTest::newRow("history counts") << nLoop << Writer([this] {
            QList<quint32> counts = {65535, 0x80000000u, 0xFFFFFFFFu};
            for (quint32 n = 0; n <= 65535; n += n < 1100 ? 1 : 97)
                counts += n;
            QByteArray stream;
            for (quint32 nCount : counts) {
                QByteArray payload = QByteArray(9, '\0') + char(nCount >> 24) + char(nCount >> 16) +
                                     char(nCount >> 8) + char(nCount);
                payload += QByteArray(int(nCount % 11) * BRFN::SIZE_HISTORY_ENTRY, '\0');
                stream += frame(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, payload);
            }
            QVERIFY(Send(stream));
        });
        QTest::newRow("extreme satellites") << nGps << Writer([this] {
            QByteArray stream;
            for (int v : {0, 1, 90, 91, 180, 359, 360, 361, 32767, 32768, 65535}) {
                Gps g;
                g.nSatsInView = g.nSatsTracked = (v % 2) ? 65535 : v;
                int nPrn = 0;
                for (auto& sat : g.aSats)
                    sat = {v % 7, ++nPrn, v, v, v, (v & 1) != 0};
                stream += frame(BRFN::CMD_GPS_STATUS, BRFN::EncodeGPSStatus(g));
            }
            QVERIFY(Send(stream));
            QTest::qWait(50); // paints
        });
        for (int nPage : {nLoop, nGps, int(ReliabilityWindow::STATUS_PAGE)}) {
            QTest::addRow("non-finite doubles, page %d", nPage) << nPage << Writer([this] {
                QVERIFY(Send(NonFiniteRecords()));
                QTest::qWait(50);
            });
        }
        QTest::newRow("one byte every 10 ms") << nLoop << Writer([this] {
            const int nBefore = m_nStatuses;
            for (char c : Noise(7, 3) + StatusPacket(2) + StatusPacket(2)) {
                QVERIFY(Send(QByteArray(1, c)));
                QTest::qWait(10);
            }
            QCOMPARE(m_nStatuses, nBefore + 2); // nothing lost, nothing doubled
        });
        QTest::newRow("accept and close") << int(ReliabilityWindow::STATUS_PAGE) << Writer([this] {
            for (int i = 0; i < 30; ++i) {
                m_pPeer->abort();
                QVERIFY2(Accept(), qPrintable(QString("reconnect %1").arg(i)));
            }
        });
        // The service gone mid-packet: the recovery check's statuses must still arrive whole.
        QTest::newRow("cut mid-packet")
            << nLoop << Writer([this] { QVERIFY(Send(StatusPacket(5).left(40))); });
    }

    void hostileService()
    {
        QFETCH(int, page);
        QFETCH(Writer, writer);
        m_pWindow->ShowPage(page);
        writer();
        if (!QTest::currentTestFailed())
            CheckRecovered();
    }

    // 10,000 status packets a second for 10 s on the Loop Status page: every
    // record reaches the window, and memory grows by little more than the
    // chart points it keeps.
    void flood()
    {
        m_pWindow->ShowPage(ReliabilityWindow::LOOP_PAGE);
        const QByteArray one = StatusPacket(1e-3);
        const int nTotal = 100000, nBefore = m_nStatuses;
        const qint64 nResidentBefore = ResidentBytes();
        QElapsedTimer clock;
        clock.start();
        int nSent = 0;
        while (nSent < nTotal) {
            const int nDue = qMin<qint64>(nTotal, clock.elapsed() * 10);
            if (nDue > nSent && m_pPeer)
                m_pPeer->write(one.repeated(nDue - nSent));
            nSent = nDue;
            QTest::qWait(5);
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_nStatuses, nBefore + nTotal, 30000);
        QVERIFY(EpochTurns(2500));
        const qint64 nGrowth = ResidentBytes() - nResidentBefore;
        const qint64 nKept = qint64(nTotal) * 5 * qint64(sizeof(CStripChartWidget::DATA_POINT));
        // Vectors grow by doubling: at most twice the points, plus 16 MB of heap slack.
        QVERIFY2(
            kSanitized || nGrowth < 2 * nKept + 16 * 1024 * 1024,
            qPrintable(QString("resident +%1 bytes for %2 bytes of chart points").arg(nGrowth).arg(nKept)));
        CheckRecovered();
    }

    // 64 KB datagrams, binary garbage, invalid UTF-8, long lines without an
    // end, in a burst of 5,000: the NMEA page keeps its 1000-line cap, the
    // panel keeps turning and its memory stays within what that cap holds.
    void hostileUdp()
    {
        m_pWindow->ShowPage(ReliabilityWindow::NMEA_PAGE);
        QPlainTextEdit* pEdit = m_pWindow->findChild<QPlainTextEdit*>("editNmea");
        QVERIFY(pEdit);
        QUdpSocket sender;
        const QByteArray sentence("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
        const QList<QByteArray> kinds = {
            Noise(65507, 5), QByteArray(65507, 'A'),
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
        QVERIFY(pEdit->document()->blockCount() <= 1000);
        sender.writeDatagram(sentence, QHostAddress::LocalHost, CMainWindow::NMEA_PORT);
        QTRY_VERIFY(pEdit->toPlainText().endsWith(QString::fromLatin1(sentence).remove('\r')));
        QVERIFY2(kSanitized || nGrowth < 34 * 1024 * 1024,
                 qPrintable(QString("resident +%1 bytes").arg(nGrowth)));
    }
};

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
