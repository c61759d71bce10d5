// The protocol client against a real QTcpServer on 127.0.0.1:51501: retries,
// reconnection and the packets it must not announce. (Which signal each reply
// raises and which bytes each operation sends: the window tests in tests/app
// and tests/dialogs, through the real window.)
#include "servicepeer.h"
#include "wire.h"

#include <QMetaMethod>
#include <QtTest>

#include <memory>

using namespace BRFN;

namespace {

// Records the name of every signal the client emits.
class SignalNames : public QObject
{
    Q_OBJECT

public:
    QStringList names;
    explicit SignalNames(QObject* pSender)
    {
        const QMetaMethod hit = metaObject()->method(metaObject()->indexOfSlot("Hit()"));
        const QMetaObject* mo = pSender->metaObject();
        for (int i = mo->methodOffset(); i < mo->methodCount(); ++i)
            if (mo->method(i).methodType() == QMetaMethod::Signal)
                connect(pSender, mo->method(i), this, hit);
    }

public slots:
    void Hit() { names << QString::fromLatin1(sender()->metaObject()->method(senderSignalIndex()).name()); }
};

// What the client sends on every new connection.
const QByteArray kStartup = frame(CMD_CONTROL_LOOP_STATUS_HISTORY, QByteArray(1, '\0')) +
                            frame(CMD_CONTROL_LOOP_STATUS_LOG, QByteArray(1, '\0')) +
                            frame(CMD_LOOP_PARAMETERS, QByteArray(1, '\0'));

} // namespace

class tst_CBRFNProtocolQt : public QObject
{
    Q_OBJECT

    std::unique_ptr<ServicePeer> m_service;
    std::unique_ptr<CBRFNProtocolQt> m_client;
    bool m_bConnectFailed = false;

    // Use as QVERIFY(connectClient()): once it has failed, later tests fail without waiting.
    bool connectClient()
    {
        if (m_bConnectFailed || !m_service->Listen())
            return false;
        m_client = std::make_unique<CBRFNProtocolQt>();
        m_bConnectFailed = !QTest::qWaitFor(
            [this] { return m_client->m_bConnected && m_service->m_incomingBytes == kStartup; }, 5000);
        return !m_bConnectFailed;
    }

private slots:
    void init() { m_service = std::make_unique<ServicePeer>(); }
    void cleanup()
    {
        m_client.reset();
        m_service.reset();
    }

    // Refused attempts are retried, paced; an attempt that fails with another
    // error (a time-out here, reported by the socket while nothing else is
    // pending) is retried too.
    void attemptsAreRetriedUntilTheServiceStarts()
    {
        m_client = std::make_unique<CBRFNProtocolQt>();
        QSignalSpy connected(m_client.get(), &CBRFNProtocolQt::SignalConnected);
        static int nLines = 0; // the client's debug lines about a refusal
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& msg) {
                nLines += msg.contains("Refused");
            });
        QTest::qWait(1000);
        qInstallMessageHandler(previous);
        // Retried, but not tens of thousands of attempts a second.
        QVERIFY2(nLines >= 2 && nLines <= 10, qPrintable(QString::number(nLines)));

        QTimer* pRetry = m_client->findChild<QTimer*>();
        QVERIFY(pRetry);
        QTRY_VERIFY(pRetry->isActive()); // a refusal has been handled
        pRetry->stop();
        QVERIFY(m_service->Listen());
        QTest::qWait(2 * CBRFNProtocolQt::RETRY_DELAY_MS);
        QCOMPARE(m_service->m_nAccepted, 0); // nothing was pending
        QVERIFY(QMetaObject::invokeMethod(
            m_client->findChild<QTcpSocket*>(), "error", Qt::DirectConnection,
            Q_ARG(QAbstractSocket::SocketError, QAbstractSocket::SocketTimeoutError)));
        QTRY_COMPARE(connected.count(), 1);
        QTRY_COMPARE(m_service->m_incomingBytes.toHex(), kStartup.toHex());
    }

    // A lost link is retried before the loss is announced. The new connection
    // starts with an empty history but keeps both halves of the NTP record.
    void reconnection()
    {
        QVERIFY(connectClient());
        QList<double> firstEntries; // of each history announced
        connect(m_client.get(), &CBRFNProtocolQt::RxCmdControlLoopStatusHistory, this,
                [&](CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY& r) {
                    firstEntries << r.aEntries[0].dTimeDiff;
                });
        QStringList ntp;
        auto keep = [&](CBRFNProtocolQt::CMD_DATA_NTP_CALIBRATION d) {
            ntp << QStringLiteral("%1 %2 %3").arg(d.dNTPAux).arg(d.dEstCalibration).arg(d.strNTPAddress);
        };
        connect(m_client.get(), &CBRFNProtocolQt::RxCmdNTPCalibration, this, keep);
        connect(m_client.get(), &CBRFNProtocolQt::RxCmdNTPAddress, this, keep);
        CMD_DATA_CONTROL_LOOP_STATUS_HISTORY h;
        h.nCount = 1;
        h.aEntries[0].dTimeDiff = 1.0;
        m_service->Peer()->write(frame(CMD_CONTROL_LOOP_STATUS_HISTORY, EncodeHistory(h)) +
                               frame(CMD_NTP_CALIBRATION, EncodeNTPValues(1.5, -0.031)));
        QTRY_COMPARE(ntp.size(), 1);

        const QTcpSocket* pSocket = m_client->findChild<QTcpSocket*>();
        QVERIFY(pSocket);
        QList<bool> announced; // true: a new attempt was under way and the flag was down
        connect(m_client.get(), &CBRFNProtocolQt::SignalDisconnected, this, [&] {
            announced << (pSocket->state() != QAbstractSocket::UnconnectedState && !m_client->m_bConnected);
        });
        m_service->Peer()->disconnectFromHost();
        QTRY_COMPARE(m_service->m_nAccepted, 2);
        QTRY_COMPARE(m_service->m_incomingBytes.toHex(), kStartup.toHex());
        QCOMPARE(announced, QList<bool>{true});

        m_service->Peer()->write(frame(CMD_CONTROL_LOOP_STATUS_HISTORY, QByteArray(13, '\0')) +
                               frame(CMD_NTP_CALIBRATION, EncodeNTPAddressReply("ntp.example")) +
                               frame(CMD_NTP_CALIBRATION, EncodeNTPValues(2.5, 0.004)));
        QTRY_COMPARE(ntp.size(), 3);
        QCOMPARE(firstEntries, QList<double>({1.0, 0.0}));
        QCOMPARE(ntp, QStringList({"1.5 -0.031 ", "1.5 -0.031 ntp.example", "2.5 0.004 ntp.example"}));
    }

    // Packets the client must not announce: the service's echo of a setting,
    // its loop switch, and a payload without a sub-command.
    void notAnnounced_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::newRow("comm port set") << frame(CMD_COMM_PORT, EncodeCommPort(1, 4, 38400));
        QTest::newRow("loop enable") << frame(CMD_LOOP_PARAMETERS, EncodeEnableControlLoop(true));
        QTest::newRow("lock, empty payload") << frame(CMD_GPS_LOCK_CONFIG, QByteArray());
    }

    void notAnnounced()
    {
        QFETCH(QByteArray, packet);
        QVERIFY(connectClient());
        SignalNames names(m_client.get());
        // A status push after the packet under test shows that it has been handled.
        m_service->Peer()->write(packet +
                               frame(CMD_CONTROL_LOOP_STATUS, QByteArray(SIZE_CONTROL_LOOP_STATUS, '\0')));
        QTRY_VERIFY(!names.names.isEmpty());
        QCOMPARE(names.names, QStringList{"RxCmdControlLoopStatus"});
    }
};

QTEST_GUILESS_MAIN(tst_CBRFNProtocolQt)
#include "tst_cbrfnprotocolqt.moc"
