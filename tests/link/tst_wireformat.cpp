// The wire format without a socket. Framing: every failure path, any split of a
// stream, the worked example. The decoders of what the service sends, and the
// panel's encoders whose bytes no window test pins, against hand-built wire
// bytes. (The set packets the dialogs send, and the port and offset replies
// they show, are pinned by tests/dialogs; the service-side encoders must agree
// with these decoders, which the round trips in tests/sim and tests/app check.)
#include "brfncodec.h"
#include "packetlog.h"
#include "wire.h"

#include <QtTest>

#include <cstring>

using namespace BRFN;

namespace {

// Big-endian wire bytes, built without the code under test.
struct Wire
{
    QByteArray a;
    Wire& u8(int v) { return bytes(QByteArray(1, char(v & 0xFF))); }
    Wire& u16(quint32 v) { return u8(int(v >> 8)).u8(int(v)); }
    Wire& u32(quint32 v) { return u16(v >> 16).u16(v & 0xFFFF); }
    Wire& dbl(double d)
    {
        quint64 bits;
        std::memcpy(&bits, &d, 8);
        return u32(quint32(bits >> 32)).u32(quint32(bits));
    }
    Wire& bytes(const QByteArray& b) { return a.append(b), *this; }
};

const uint8_t* P(const QByteArray& a)
{
    return reinterpret_cast<const uint8_t*>(a.constData());
}

// One status layout with distinct values in every field.
QByteArray statusWire(int seed, bool withLoopState)
{
    Wire w;
    w.dbl(seed + 0.125).dbl(-seed * 1e-6).dbl(seed * 3.5);
    w.dbl(1e-9 * seed).dbl(-2.5 - seed).dbl(0.0015 * seed);
    w.u32(quint32(100 + seed)).u8(seed & 0x7F);
    w.dbl(seed * 7.0).dbl(-seed / 8.0).dbl(seed * 0.01).u32(quint32(200 + seed));
    if (withLoopState)
        w.u8(6);
    return w.a;
}

// The decoded fields in wire order against the values statusWire() put there.
void checkStatus(const CMD_DATA_CONTROL_LOOP_STATUS& s, int seed, int nLoopState)
{
    const QList<double> decoded = {
        s.dTimeDiff, s.dEstTimeError,     s.dControlValue,     s.dFitSlope,  s.dFitIntercept,
        s.dStdDev,   double(s.nSamples),  double(s.nAuxFlag),  s.dFit2Slope, s.dFit2Intercept,
        s.dStdDev2,  double(s.nSamples2), double(s.nLoopState)};
    const QList<double> expected = {seed + 0.125,      -seed * 1e-6,  seed * 3.5,   1e-9 * seed,
                                    -2.5 - seed,       0.0015 * seed, 100.0 + seed, double(seed & 0x7F),
                                    seed * 7.0,        -seed / 8.0,   seed * 0.01,  200.0 + seed,
                                    double(nLoopState)};
    QCOMPARE(decoded, expected);
}

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

class tst_WireFormat : public QObject
{
    Q_OBJECT

private slots:
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

    // Every split point of the stream gives the packets of the whole, fed in pieces and byte by byte.
    void receive()
    {
        QFETCH(QByteArray, wire);
        QFETCH(Packets, expected);
        for (int chunk : {0, 1})
            for (int cut = 0; cut < wire.size(); ++cut)
                QVERIFY2(Receive({wire.left(cut), wire.mid(cut)}, chunk) == expected,
                         qPrintable(QStringLiteral("cut at %1, chunk %2").arg(cut).arg(chunk)));
    }

    void controlLoopStatus()
    {
        const QByteArray wire = statusWire(5, true);
        QCOMPARE(wire.size(), int(SIZE_CONTROL_LOOP_STATUS));
        checkStatus(DecodeControlLoopStatus(P(wire), wire.size()), 5, 6);
        // A short payload: the missing fields read 0, never the bytes that follow it.
        checkStatus(DecodeControlLoopStatus(P(wire), 81), 5, 0);
    }

    void gpsStatus()
    {
        Wire w;
        w.dbl(-36.745989467).dbl(174.734547667).dbl(56.1).u16(8).u16(0xFFFE);
        for (int i = 1; i <= 6; ++i)
            w.dbl(i * 1.5);
        w.u8(1).u8(2);
        // Each satellite: used (only a flag byte of 1 is true), azimuth, elevation, status, PRN, SNR.
        for (int i = 0; i < MAX_SATELLITES; ++i) {
            w.u8(i % 3 == 0 ? 1 : (i % 3 == 1 ? 0 : 7)).u16(i * 3).u16(90 - i % 91).u16(i % 4);
            w.u16(i + 1).u16(i == 95 ? 0xFFFF : 20 + i % 30);
        }
        w.bytes(QByteArray(SIZE_AUX_TEXT, 'x')).u8(7).u32(0xDEADBEEF).u32(0x80000001u).u8(3);
        QCOMPARE(w.a.size(), int(SIZE_GPS_STATUS));

        const CMD_DATA_GPS_STATUS g = DecodeGPSStatus(P(w.a), w.a.size());
        // The counts are widened without sign, the GPS time with it.
        QCOMPARE(
            QList<double>({g.dLatitude, g.dLongitude, g.dAltitude, double(g.nSatsTracked),
                           double(g.nSatsInView), double(g.nTimeSource), double(g.nGPSTime),
                           double(g.nGPSTimeFlag)}),
            QList<double>({-36.745989467, 174.734547667, 56.1, 8, 0xFFFE, 7, double(int(0x80000001u)), 3}));
        for (int i = 0; i < MAX_SATELLITES; ++i) {
            const SATELLITE_DATA& s = g.aSats[i];
            QCOMPARE(
                QList<int>({s.bUsed, s.nAzimuth, s.nElevation, s.nStatus, s.nPRN, s.nSNR}),
                QList<int>({i % 3 == 0, i * 3, 90 - i % 91, i % 4, i + 1, i == 95 ? 0xFFFF : 20 + i % 30}));
        }
    }

    void ntpDecoders()
    {
        const QByteArray values = Wire().u8(0).dbl(1.25).dbl(99999.9).a;
        double aux = 0, est = 0;
        DecodeNTPValues(P(values), values.size(), aux, est);
        QCOMPARE(aux, 1.25);
        QCOMPARE(est, 99999.9);
        // An address ends at its terminator, or at the payload's end where the buffer goes on.
        const QByteArray address("\x02pool.ntp\x00tail", 14);
        QCOMPARE(DecodeNTPAddress(P(address), address.size()), QString("pool.ntp"));
        QCOMPARE(DecodeNTPAddress(P(address), 5), QString("pool"));
    }

    void history_data()
    {
        QTest::addColumn<quint32>("announced");
        QTest::addColumn<int>("entriesSent");
        QTest::addColumn<int>("trailingBytes");
        QTest::addColumn<int>("stored");

        QTest::newRow("12 announced, 12 sent: keep 10") << 12u << 12 << 0 << 10;
        QTest::newRow("5 announced, 2 and a half sent") << 5u << 2 << 40 << 2;
        QTest::newRow("2^31 is negative: none") << 0x80000000u << 3 << 0 << 0;
    }

    void history()
    {
        QFETCH(quint32, announced);
        QFETCH(int, entriesSent);
        QFETCH(int, trailingBytes);
        QFETCH(int, stored);

        Wire w;
        w.u8(0).u32(0x01020304).u32(0xFFFFFFFF).u32(announced);
        for (int i = 0; i < entriesSent; ++i)
            w.bytes(statusWire(i + 1, false));
        w.bytes(QByteArray(trailingBytes, '\0'));
        CMD_DATA_CONTROL_LOOP_STATUS_HISTORY h;
        DecodeHistory(P(w.a), w.a.size(), h);
        QCOMPARE(h.nCount, stored);
        for (int i = 0; i < stored; ++i) // history entries never carry a loop state
            checkStatus(h.aEntries[i], i + 1, 0);
    }

    void logReply_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("decoded"); // sub-command, file status, result, name; empty: ignored

        QTest::newRow("status open") << QByteArray("\x00\x01/tmp/l.csv\x00junk", 16) << "0 1 0 /tmp/l.csv";
        QTest::newRow("status UTF-8 name")
            << QByteArray("\x00\x01/\xc3\xa9t\xc3\xa9", 8) << QString::fromUtf8("0 1 0 /\xc3\xa9t\xc3\xa9");
        QTest::newRow("start failed -1") << QByteArray("\x01\xff", 2) << "1 0 -1 ";
        QTest::newRow("sub-command 3 ignored") << QByteArray("\x03\x00", 2) << "";
    }

    void logReply()
    {
        QFETCH(QByteArray, wire);
        LOG_REPLY r;
        const bool bAccepted = DecodeLogReply(P(wire), wire.size(), r);
        const QString decoded =
            QStringLiteral("%1 %2 %3 %4").arg(r.nSubCmd).arg(r.nFileStatus).arg(r.nResult).arg(r.strFileName);
        QTEST(bAccepted ? decoded : QString(), "decoded");
    }

    // Frames and the text fields the panel sends. A frame's payload past 4096 bytes is refused;
    // 65,536 and more must not go out with the length wrapped to 16 bits. A text field is sent
    // one byte a character, cut to fit.
    void encoders_data()
    {
        QTest::addColumn<QByteArray>("encoded");
        QTest::addColumn<QByteArray>("wire");

        QTest::newRow("4096 bytes") << FramePacket(0x424C, pattern(4096)) << frame(0x424C, pattern(4096));
        QTest::newRow("4097 refused") << FramePacket(0x424C, pattern(4097)) << QByteArray();
        QTest::newRow("65536 refused") << FramePacket(0x424C, pattern(65536)) << QByteArray();

        // Low 8 bits of each character: U+0141 sends 0x41, not '?'.
        QTest::newRow("address, wide character")
            << EncodeNTPAddressSet(QChar(0x0141)) << QByteArray("\x01\x41\x00", 3);
        QTest::newRow("address, 511 cut to 510")
            << EncodeNTPAddressSet(QString(511, 'n')) << "\x01" + QByteArray(510, 'n') + '\0';
        // A log name fills a 256-byte field, zero-padded, not terminated when full.
        QTest::newRow("log name, Latin-1")
            << EncodeLogStart(QString::fromUtf8("/tmp/\xc3\xa9")) << "\x01/tmp/\xe9" + QByteArray(250, '\0');
        QTest::newRow("log name, 300 cut to 256")
            << EncodeLogStart(QString(300, 'c')) << "\x01" + QByteArray(256, 'c');
    }

    void encoders()
    {
        QFETCH(QByteArray, encoded);
        QFETCH(QByteArray, wire);
        QCOMPARE(encoded.toHex(), wire.toHex());
    }
};

QTEST_APPLESS_MAIN(tst_WireFormat)
#include "tst_wireformat.moc"
