// Framing: every failure path, any split of a stream, the worked example.
#include "packetlog.h"
#include "wire.h"

#include <QtTest>

namespace {

using Packets = QList<QPair<quint16, QByteArray>>;

// The packets framed from the pieces fed in turn: nChunk 1 feeds ProcessByte every byte, 0 ProcessBytes
// each piece whole.
Packets Receive(const QByteArrayList& pieces, int nChunk)
{
    PacketLog log;
    for (const QByteArray& bytes : pieces) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.constData());
        if (nChunk == 0)
            log.ProcessBytes(p, size_t(bytes.size()));
        for (int i = 0; nChunk != 0 && i < bytes.size(); ++i)
            log.ProcessByte(p[i]);
    }
    Packets packets;
    for (const PacketLog::Packet& packet : log.m_packets)
        packets.append({packet.nCommand, packet.payload});
    return packets;
}

QByteArray pattern(int n)
{
    QByteArray a(n, '\0');
    for (int i = 0; i < n; ++i)
        a[i] = char((i * 7 + 3) & 0xFF);
    return a;
}

} // namespace

class tst_CBRFNProtocolPacket : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase_data()
    {
        QTest::addColumn<int>("chunk");
        QTest::newRow("whole") << 0;
        QTest::newRow("bytewise") << 1;
    }

    void receive_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<Packets>("expected");

        const QByteArray big = pattern(16384);
        const QByteArray example = QByteArray::fromHex("42520000424500010088");
        QTest::newRow("worked example") << example << Packets{{0x4245, QByteArray(1, '\0')}};
        QTest::newRow("42 42 52 starts nothing") << QByteArray(1, 0x42) + example << Packets{};
        QTest::newRow("reserved bytes summed") << frame(0x4244, "ab", 0xA55A) << Packets{{0x4244, "ab"}};
        QTest::newRow("payload 16384 accepted") << frame(0x4247, big) << Packets{{0x4247, big}};
        // 16385 = 0x4001: abandoned at the length field, the following bytes are
        // scanned afresh and the packet that follows is found.
        const QByteArray tooLong = QByteArray::fromHex("4252000042444001") + pattern(20);
        QTest::newRow("length 16385 dropped") << tooLong + frame(0x4245, "next") << Packets{{0x4245, "next"}};
        // Noise, a packet with no payload, one with a bad checksum, and the packets around them.
        const QByteArray mixed = QByteArray("\x13\x42\x00", 3) + frame(0x4244, pattern(82)) +
                                 frame(0x4243, {}) + frame(0x4245, "bad", 7, 1) + frame(0x4247, pattern(300));
        QTest::newRow("mixed stream")
            << mixed << Packets{{0x4244, pattern(82)}, {0x4243, {}}, {0x4247, pattern(300)}};
    }

    // Every split point of the stream gives the packets of the whole.
    void receive()
    {
        QFETCH_GLOBAL(int, chunk);
        QFETCH(QByteArray, wire);
        QFETCH(Packets, expected);
        for (int cut = 0; cut < wire.size(); ++cut)
            QVERIFY2(Receive({wire.left(cut), wire.mid(cut)}, chunk) == expected,
                     qPrintable(QStringLiteral("cut at %1").arg(cut)));
    }

    // Payloads past 4096 bytes are refused; 65,536 and more must not go out
    // with the length wrapped to 16 bits.
    void send_data()
    {
        QTest::addColumn<quint16>("command");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("wire");

        const QByteArray ff(4, char(0xFF));
        QTest::newRow("checksum wraps") << quint16(0x42FF) << ff << frame(0x42FF, ff);
        QTest::newRow("4096 bytes") << quint16(0x424C) << pattern(4096) << frame(0x424C, pattern(4096));
        QTest::newRow("4097 refused") << quint16(0x424C) << pattern(4097) << QByteArray();
        QTest::newRow("65536 refused") << quint16(0x424C) << pattern(65536) << QByteArray();
    }

    void send()
    {
        QFETCH(quint16, command);
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, wire);
        QCOMPARE(FramePacket(command, payload).toHex(), wire.toHex());
    }
};

QTEST_APPLESS_MAIN(tst_CBRFNProtocolPacket)
#include "tst_cbrfnprotocolpacket.moc"
