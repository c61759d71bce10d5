// Framing: every failure path, any split of a stream, the worked example.
#include "cbrfnframer.h"
#include "wire.h"

#include <QRegularExpression>

#include <QtTest>

namespace {

struct Packet
{
    quint16 nCommand;
    QByteArray payload;
    bool operator==(const Packet& o) const { return nCommand == o.nCommand && payload == o.payload; }
};

// Records what the framing hands to its transport hooks.
class RecordingFramer : public CBRFNFramer
{
public:
    QVector<Packet> received;
    QByteArray written;
    QStringList calls; // hook call order of the send path

    void Feed(const QByteArray& bytes, int nChunk)
    {
        // nChunk 1: ProcessByte on every byte; otherwise ProcessBytes on the
        // whole stream (0) or on pieces of nChunk bytes.
        const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.constData());
        if (nChunk == 1) {
            for (int i = 0; i < bytes.size(); ++i)
                ProcessByte(p[i]);
            return;
        }
        const int step = nChunk <= 0 ? qMax(1, bytes.size()) : nChunk;
        for (int i = 0; i < bytes.size(); i += step)
            ProcessBytes(p + i, size_t(qMin(step, bytes.size() - i)));
    }

protected:
    void WriteBytes(const uint8_t* p, uint16_t n) override
    {
        calls << QStringLiteral("write %1").arg(n);
        written.append(reinterpret_cast<const char*>(p), n);
    }
    void OnActivity(int nActive, int nDirection) override
    {
        if (nDirection == DIRECTION_TX)
            calls << QStringLiteral("activity %1").arg(nActive);
    }
    void OnPacketReceived(uint16_t c, const uint8_t* p, uint16_t n) override
    {
        received.append({c, QByteArray(reinterpret_cast<const char*>(p), n)});
    }
    void BeginTransmit() override { calls << QStringLiteral("begin"); }
    void EndTransmit() override { calls << QStringLiteral("end"); }
};

QByteArray pattern(int n)
{
    QByteArray a(n, '\0');
    for (int i = 0; i < n; ++i)
        a[i] = char((i * 7 + 3) & 0xFF);
    return a;
}

} // namespace

Q_DECLARE_METATYPE(QVector<Packet>)

class tst_CBRFNProtocolPacket : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase_data();
    void receive_data();
    void receive();
    void send_data();
    void send();
    void sendHookOrder();
    void sendRefusesOversizedPayload_data();
    void sendRefusesOversizedPayload();
    void anySplitDeliversTheSamePackets();
};

void tst_CBRFNProtocolPacket::initTestCase_data()
{
    QTest::addColumn<int>("chunk");
    QTest::newRow("whole") << 0;
    QTest::newRow("bytewise") << 1;
}

void tst_CBRFNProtocolPacket::receive_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QVector<Packet>>("expected");

    const QByteArray big = pattern(16384);
    QTest::newRow("worked example") << QByteArray::fromHex("42520000424500010088")
                                    << QVector<Packet>{{0x4245, QByteArray(1, '\0')}};
    QTest::newRow("bad checksum") << QByteArray::fromHex("42520000424500010089") << QVector<Packet>{};
    QTest::newRow("42 42 52 starts nothing")
        << QByteArray::fromHex("4242520000424500010088") << QVector<Packet>{};
    QTest::newRow("length 0, 9 bytes") << frame(0x4243, QByteArray()) << QVector<Packet>{{0x4243, {}}};
    QTest::newRow("reserved bytes summed") << frame(0x4244, "ab", 0xA55A) << QVector<Packet>{{0x4244, "ab"}};
    QTest::newRow("payload 16384 accepted") << frame(0x4247, big) << QVector<Packet>{{0x4247, big}};
    QTest::newRow("bad checksum then good")
        << frame(0x4244, "bad", 0, 1) + frame(0x4245, "good") << QVector<Packet>{{0x4245, "good"}};
    QTest::newRow("sync in payload is data") << frame(0x4249, QByteArray::fromHex("4252424252"))
                                             << QVector<Packet>{{0x4249, QByteArray::fromHex("4252424252")}};
    // 16385 = 0x4001: abandoned at the length field, the following bytes are
    // scanned afresh and the packet that follows is found.
    QByteArray tooLong = QByteArray::fromHex("425200004244") + QByteArray::fromHex("4001") + pattern(20);
    QTest::newRow("length 16385 dropped")
        << tooLong + frame(0x4245, "next") << QVector<Packet>{{0x4245, "next"}};
}

void tst_CBRFNProtocolPacket::receive()
{
    QFETCH_GLOBAL(int, chunk);
    QFETCH(QByteArray, wire);
    QFETCH(QVector<Packet>, expected);

    RecordingFramer f;
    f.Feed(wire, chunk);
    QCOMPARE(f.received.size(), expected.size());
    QVERIFY(f.received == expected);
}

void tst_CBRFNProtocolPacket::send_data()
{
    QTest::addColumn<quint16>("command");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("worked example") << quint16(0x4245) << QByteArray(1, '\0')
                                    << QByteArray::fromHex("42520000424500010088");
    QTest::newRow("checksum wraps") << quint16(0x42FF) << QByteArray(4, char(0xFF))
                                    << frame(0x42FF, QByteArray(4, char(0xFF)));
    QTest::newRow("4096 bytes") << quint16(0x424C) << pattern(4096) << frame(0x424C, pattern(4096));
}

void tst_CBRFNProtocolPacket::send()
{
    QFETCH(quint16, command);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, wire);

    RecordingFramer f;
    f.SendPacket(command, reinterpret_cast<const uint8_t*>(payload.constData()), uint16_t(payload.size()));
    QCOMPARE(f.written.toHex(), wire.toHex());
}

void tst_CBRFNProtocolPacket::sendHookOrder()
{
    RecordingFramer f;
    const uint8_t b = 0;
    f.SendPacket(0x4245, &b, 1);
    QCOMPARE(f.calls, QStringList({"begin", "activity 1", "write 10", "activity 0", "end"}));
}

// 65,536 bytes and more must not go out with the length wrapped to 16 bits.
void tst_CBRFNProtocolPacket::sendRefusesOversizedPayload_data()
{
    QTest::addColumn<int>("size");
    for (int n : {4097, 65536})
        QTest::addRow("%d", n) << n;
}

void tst_CBRFNProtocolPacket::sendRefusesOversizedPayload()
{
    QFETCH(int, size);
    RecordingFramer f;
    QTest::ignoreMessage(
        QtDebugMsg,
        qPrintable(
            QStringLiteral("CBRFNProtocolPacket::SendPacket(): payload too long, not sent: %1").arg(size)));
    f.Send(0x424C, pattern(size));
    QVERIFY(f.written.isEmpty());
    QVERIFY(f.calls.isEmpty());
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("too long"));
    QVERIFY(FramePacket(0x424C, pattern(size)).isEmpty());
}

// Every split point of a mixed stream gives the same packets as the whole.
void tst_CBRFNProtocolPacket::anySplitDeliversTheSamePackets()
{
    QFETCH_GLOBAL(int, chunk);
    const QByteArray stream = QByteArray("\x13\x42\x00", 3) + frame(0x4244, pattern(82)) + frame(0x4243, {}) +
                              frame(0x4245, "bad", 7, 1) + frame(0x4247, pattern(300));
    RecordingFramer whole;
    whole.Feed(stream, 0);
    QCOMPARE(whole.received.size(), 3);

    for (int cut = 1; cut < stream.size(); ++cut) {
        RecordingFramer split;
        split.Feed(stream.left(cut), chunk);
        split.Feed(stream.mid(cut), chunk);
        QVERIFY2(split.received == whole.received, qPrintable(QStringLiteral("cut at %1").arg(cut)));
    }
}

QTEST_APPLESS_MAIN(tst_CBRFNProtocolPacket)
#include "tst_cbrfnprotocolpacket.moc"
