// The protocol client against a real QTcpServer on 127.0.0.1:51501: retries,
// reconnection, which signal each packet raises, which packet each operation sends.
#include "cbrfnprotocolqt.h"
#include "wire.h"

#include <QMetaMethod>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <functional>
#include <memory>

using namespace BRFN;
using Op = std::function<void(CBRFNProtocolQt&)>;
Q_DECLARE_METATYPE(Op)

namespace {

// Plays the service: accepts the client and collects the raw bytes it sends.
class FakeService : public QObject
{
public:
    QTcpServer server;
    QPointer<QTcpSocket> peer;
    QByteArray received; // on the newest connection
    int nAccepted = 0;

    FakeService()
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                ++nAccepted;
                received.clear();
                peer = s;
                connect(s, &QTcpSocket::readyRead, this, [this, s] {
                    if (s == peer)
                        received += s->readAll();
                });
            }
        });
    }
    bool Listen() { return server.listen(QHostAddress::LocalHost, CBRFNProtocolQt::SERVICE_PORT); }
};

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
const QByteArray kStartup = request(CMD_CONTROL_LOOP_STATUS_HISTORY) + request(CMD_CONTROL_LOOP_STATUS_LOG) +
                            request(CMD_LOOP_PARAMETERS);

} // namespace

class tst_CBRFNProtocolQt : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<CBRFNProtocolQt> m_client;
    bool m_bConnectFailed = false;

    // Use as QVERIFY(connectClient()): once it has failed, later tests fail without waiting.
    bool connectClient()
    {
        if (m_bConnectFailed || !m_service->Listen())
            return false;
        m_client = std::make_unique<CBRFNProtocolQt>();
        m_bConnectFailed = !QTest::qWaitFor(
            [this] { return m_client->m_bConnected && m_service->received == kStartup; }, 5000);
        return !m_bConnectFailed;
    }

private slots:
    void init() { m_service = std::make_unique<FakeService>(); }
    void cleanup()
    {
        m_client.reset();
        m_service.reset();
    }

    void refusedAttemptsAreRetriedUntilTheServiceStarts()
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
        QCOMPARE(connected.count(), 0);
        QVERIFY(!m_client->m_bConnected);
        // Retried, but paced: not tens of thousands of attempts a second.
        QVERIFY2(nLines >= 1 && nLines <= 10, qPrintable(QString::number(nLines)));

        QVERIFY(m_service->Listen());
        QTRY_COMPARE(connected.count(), 1);
        QVERIFY(m_client->m_bConnected);
        QTRY_COMPARE(m_service->received.toHex(), kStartup.toHex());
        QCOMPARE(m_service->nAccepted, 1);
    }

    // An attempt that fails with an error other than a refusal (a time-out here,
    // reported by the socket while nothing else is pending) is retried too.
    void otherConnectionErrorsAreRetried()
    {
        m_client = std::make_unique<CBRFNProtocolQt>();
        QSignalSpy connected(m_client.get(), &CBRFNProtocolQt::SignalConnected);
        QTcpSocket* pSocket = m_client->findChild<QTcpSocket*>();
        QTimer* pRetry = m_client->findChild<QTimer*>();
        QVERIFY(pSocket && pRetry);
        QTRY_VERIFY(pRetry->isActive()); // a refusal has been handled
        pRetry->stop();
        QVERIFY(m_service->Listen());
        QTest::qWait(2 * CBRFNProtocolQt::RETRY_DELAY_MS);
        QCOMPARE(m_service->nAccepted, 0); // nothing was pending
        QVERIFY(QMetaObject::invokeMethod(
            pSocket, "error", Qt::DirectConnection,
            Q_ARG(QAbstractSocket::SocketError, QAbstractSocket::SocketTimeoutError)));
        QTRY_COMPARE(connected.count(), 1);
    }

    // A lost link is retried before the loss is announced. The new connection
    // starts with an empty history but keeps both halves of the NTP record.
    void reconnection()
    {
        QVERIFY(connectClient());
        QList<QVector<double>> histories; // the first three entries of each history announced
        connect(m_client.get(), &CBRFNProtocolQt::RxCmdControlLoopStatusHistory, this,
                [&](CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY& r) {
                    histories << QVector<double>{r.aEntries[0].dTimeDiff, r.aEntries[1].dTimeDiff,
                                                 r.aEntries[2].dTimeDiff};
                });
        QList<CBRFNProtocolQt::CMD_DATA_NTP_CALIBRATION> ntp;
        auto keep = [&](CBRFNProtocolQt::CMD_DATA_NTP_CALIBRATION d) { ntp << d; };
        connect(m_client.get(), &CBRFNProtocolQt::RxCmdNTPCalibration, this, keep);
        connect(m_client.get(), &CBRFNProtocolQt::RxCmdNTPAddress, this, keep);
        CMD_DATA_CONTROL_LOOP_STATUS_HISTORY h;
        h.nCount = 2;
        h.aEntries[0].dTimeDiff = 1.0;
        h.aEntries[1].dTimeDiff = 2.0;
        m_service->peer->write(frame(CMD_CONTROL_LOOP_STATUS_HISTORY, EncodeHistory(h)) +
                               frame(CMD_NTP_CALIBRATION, EncodeNTPValues(1.5, -0.031)));
        QTRY_COMPARE(ntp.size(), 1);
        QCOMPARE(histories, QList<QVector<double>>({{1.0, 2.0, 0.0}}));

        const QTcpSocket* pSocket = m_client->findChild<QTcpSocket*>();
        QVERIFY(pSocket);
        QList<QAbstractSocket::SocketState> statesAtEmit;
        QList<bool> flagsAtEmit;
        connect(m_client.get(), &CBRFNProtocolQt::SignalDisconnected, this, [&] {
            statesAtEmit << pSocket->state();
            flagsAtEmit << m_client->m_bConnected;
        });
        m_service->peer->disconnectFromHost();
        QTRY_COMPARE(m_service->nAccepted, 2);
        QTRY_COMPARE(m_service->received.toHex(), kStartup.toHex());
        QCOMPARE(statesAtEmit.size(), 1);
        QVERIFY(statesAtEmit[0] != QAbstractSocket::UnconnectedState);
        QCOMPARE(flagsAtEmit[0], false);

        m_service->peer->write(frame(CMD_CONTROL_LOOP_STATUS_HISTORY, QByteArray(13, '\0')) +
                               frame(CMD_NTP_CALIBRATION, EncodeNTPAddressReply("ntp.example")) +
                               frame(CMD_NTP_CALIBRATION, EncodeNTPValues(2.5, 0.004)));
        QTRY_COMPARE(ntp.size(), 3);
        QCOMPARE(histories.last(), QVector<double>({0.0, 0.0, 0.0}));
        QCOMPARE(ntp[1].dNTPAux, 1.5); // the address reply carries the earlier values
        QCOMPARE(ntp[1].dEstCalibration, -0.031);
        QCOMPARE(ntp[1].strNTPAddress, QString("ntp.example"));
        QCOMPARE(ntp[2].dEstCalibration, 0.004); // the value reply carries the address
        QCOMPARE(ntp[2].strNTPAddress, QString("ntp.example"));
    }

    // Which packets the client announces, and with which signal. What the
    // records hold is the decoders' concern.
    void dispatch_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<QString>("expected");

        const CMD_DATA_LOOP_PARAMETERS params;
        const CMD_DATA_GPS_LOCK_CONFIG lock;
        // clang-format off
#define ROW(tag, command, payload, signal) QTest::newRow(tag) << frame(command, payload) << QString(signal)
        ROW("comm port reply", CMD_COMM_PORT, EncodeCommPort(0, 4, 38400), "RxCmdCommPort");
        ROW("comm port set", CMD_COMM_PORT, EncodeCommPort(1, 4, 38400), "");
        ROW("message", CMD_MESSAGE, EncodeMessage("hi"), "");
        ROW("time offset reply", CMD_TIME_DIFF_OFFSET, EncodeTimeDiffOffset(0, 0.25), "RxCmdTimeDiffOffset");
        ROW("loop reply", CMD_LOOP_PARAMETERS, EncodeLoopParameters(0, params, 1), "RxCmdLoopParameters");
        ROW("loop enable", CMD_LOOP_PARAMETERS, EncodeEnableControlLoop(true), "");
        ROW("lock reply", CMD_GPS_LOCK_CONFIG, EncodeGPSLockConfig(0, lock), "RxCmdGPSLockConfig");
        ROW("lock, empty payload", CMD_GPS_LOCK_CONFIG, QByteArray(), "");
        ROW("log status", CMD_CONTROL_LOOP_STATUS_LOG, EncodeLogStatusReply(1, "l"),
            "RxCmdControlLoopStatusLog");
        ROW("gps log start result", CMD_RECORD_GPS_DATA, EncodeLogResultReply(1, -3), "RxCmdRecordGPSData");
        ROW("gps log sub 4", CMD_RECORD_GPS_DATA, QByteArray("\x04\x00", 2), "");
        ROW("ntp value", CMD_NTP_CALIBRATION, EncodeNTPValues(2, 99999.9), "RxCmdNTPCalibration");
        ROW("ntp address", CMD_NTP_CALIBRATION, EncodeNTPAddressReply("a.b"), "RxCmdNTPAddress");
        ROW("ntp forced", CMD_NTP_CALIBRATION, EncodeSubCommand(SUB_NTP_FORCE), "RxCmdForceNTPCalibration");
        ROW("history", CMD_CONTROL_LOOP_STATUS_HISTORY, QByteArray(13, '\0'),
            "RxCmdControlLoopStatusHistory");
        ROW("gps status", CMD_GPS_STATUS, QByteArray(SIZE_GPS_STATUS, '\0'), "RxCmdGPSStatus");
        ROW("unknown id", 0x424A, QByteArray(4, '\0'), "");
#undef ROW
        // clang-format on
    }

    void dispatch()
    {
        QFETCH(QByteArray, packet);
        QFETCH(QString, expected);
        QVERIFY(connectClient());
        SignalNames names(m_client.get());
        // Every comm port packet is logged, whatever its sub-command; so is a message.
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        if (tag.startsWith("comm port") || tag == "message")
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(tag == "message" ? "^Message: \"hi\"$"
                                                                                 : "^Port: 4 Baud: 38400$"));
        // A status push after the packet under test shows that it has been handled.
        m_service->peer->write(packet +
                               frame(CMD_CONTROL_LOOP_STATUS, QByteArray(SIZE_CONTROL_LOOP_STATUS, '\0')));
        QTRY_VERIFY(!names.names.isEmpty() && names.names.last() == "RxCmdControlLoopStatus");
        names.names.removeLast();
        QCOMPARE(names.names.join('|'), expected);
    }

    // Each operation sends its command with the encoder of its request or
    // setting (the bytes of each encoding are pinned by the codec tests).
    void sendOperations_data()
    {
        QTest::addColumn<Op>("op");
        QTest::addColumn<QByteArray>("wire");

        CMD_DATA_LOOP_PARAMETERS p;
        p.dGain = 2;
        p.bLoopEnabled = 1;
        CMD_DATA_GPS_LOCK_CONFIG lock;
        lock.nDelay = 77;

        // clang-format off
#define ROW(call, wire) QTest::newRow(#call) << Op([=](CBRFNProtocolQt& c) { c.call; }) << QByteArray(wire)
        ROW(RequestCommPort(), request(CMD_COMM_PORT, SUB_REQUEST));
        ROW(SetCommPort(3, 9600), frame(CMD_COMM_PORT, EncodeCommPort(SUB_SET, 3, 9600)));
        ROW(RequestTimeDiffOffset(), request(CMD_TIME_DIFF_OFFSET, SUB_REQUEST));
        ROW(SetTimeDiffOffset(-2.0), frame(CMD_TIME_DIFF_OFFSET, EncodeTimeDiffOffset(SUB_SET, -2.0)));
        ROW(RequestLoopParameters(), request(CMD_LOOP_PARAMETERS, SUB_REQUEST));
        // The flag byte of a set is the reset request, not bLoopEnabled.
        ROW(SetLoopParameters(p, false), frame(CMD_LOOP_PARAMETERS, EncodeLoopParameters(SUB_SET, p, 0)));
        ROW(SetLoopParameters(p, true), frame(CMD_LOOP_PARAMETERS, EncodeLoopParameters(SUB_SET, p, 1)));
        ROW(EnableControlLoop(false), frame(CMD_LOOP_PARAMETERS, EncodeEnableControlLoop(false)));
        ROW(EraseHistory(), request(CMD_CONTROL_LOOP_STATUS_HISTORY, SUB_SET));
        ROW(RequestControlLoopStatusLog(), request(CMD_CONTROL_LOOP_STATUS_LOG, SUB_REQUEST));
        ROW(StartControlLoopStatusLog("/a"), frame(CMD_CONTROL_LOOP_STATUS_LOG, EncodeLogStart("/a")));
        ROW(StopControlLoopStatusLog(), request(CMD_CONTROL_LOOP_STATUS_LOG, SUB_LOG_STOP));
        ROW(RequestRecordGPSData(), request(CMD_RECORD_GPS_DATA, SUB_REQUEST));
        ROW(StartRecordGPSData("/g"), frame(CMD_RECORD_GPS_DATA, EncodeLogStart("/g")));
        ROW(StopRecordGPSData(), request(CMD_RECORD_GPS_DATA, SUB_LOG_STOP));
        ROW(RequestNTPCalibration(), request(CMD_NTP_CALIBRATION, SUB_REQUEST));
        ROW(SetNTPAddress("a.b"), frame(CMD_NTP_CALIBRATION, EncodeNTPAddressSet("a.b")));
        ROW(RequestNTPAddress(), request(CMD_NTP_CALIBRATION, SUB_NTP_ADDRESS));
        ROW(ForceNTPCalibration(), request(CMD_NTP_CALIBRATION, SUB_NTP_FORCE));
        ROW(RequestGPSLockConfig(), request(CMD_GPS_LOCK_CONFIG, SUB_REQUEST));
        ROW(SetGPSLockConfig(lock), frame(CMD_GPS_LOCK_CONFIG, EncodeGPSLockConfig(SUB_SET, lock)));
#undef ROW
        // clang-format on
    }

    void sendOperations()
    {
        QFETCH(Op, op);
        QFETCH(QByteArray, wire);
        QVERIFY(connectClient());
        m_service->received.clear();
        op(*m_client);
        QTRY_COMPARE(m_service->received.toHex(), wire.toHex());
    }
};

QTEST_GUILESS_MAIN(tst_CBRFNProtocolQt)
#include "tst_cbrfnprotocolqt.moc"
