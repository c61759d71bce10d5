// Every decoder and encoder of the command set against hand-built wire bytes.
#include "brfncodec.h"

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

void checkStatus(const CMD_DATA_CONTROL_LOOP_STATUS& s, int seed, int nLoopState)
{
    QCOMPARE(s.dTimeDiff, seed + 0.125);
    QCOMPARE(s.dEstTimeError, -seed * 1e-6);
    QCOMPARE(s.dControlValue, seed * 3.5);
    QCOMPARE(s.dFitSlope, 1e-9 * seed);
    QCOMPARE(s.dFitIntercept, -2.5 - seed);
    QCOMPARE(s.dStdDev, 0.0015 * seed);
    QCOMPARE(s.nSamples, 100 + seed);
    QCOMPARE(s.nAuxFlag, seed & 0x7F);
    QCOMPARE(s.dFit2Slope, seed * 7.0);
    QCOMPARE(s.dFit2Intercept, -seed / 8.0);
    QCOMPARE(s.dStdDev2, seed * 0.01);
    QCOMPARE(s.nSamples2, 200 + seed);
    QCOMPARE(s.nLoopState, nLoopState);
}

} // namespace

class tst_BRFNCodec : public QObject
{
    Q_OBJECT

private slots:
    void controlLoopStatus()
    {
        QByteArray wire = statusWire(5, true);
        QCOMPARE(wire.size(), int(SIZE_CONTROL_LOOP_STATUS));
        CMD_DATA_CONTROL_LOOP_STATUS s = DecodeControlLoopStatus(P(wire), wire.size());
        checkStatus(s, 5, 6);
        QCOMPARE(EncodeControlLoopStatus(s).toHex(), wire.toHex()); // the service's side

        // u32 counts of 2^31 and more wrap into the signed record field.
        wire.replace(48, 4, QByteArray::fromHex("ffffffff"));
        wire.replace(77, 4, QByteArray::fromHex("80000000"));
        s = DecodeControlLoopStatus(P(wire), wire.size());
        QCOMPARE(s.nSamples, -1);
        QCOMPARE(s.nSamples2, int(0x80000000u));

        // A short payload: the missing fields read 0, never the bytes that follow it.
        QCOMPARE(DecodeControlLoopStatus(P(wire), 8).dTimeDiff, 5.125);
        QCOMPARE(DecodeControlLoopStatus(P(wire), 8).dEstTimeError, 0.0);
        QCOMPARE(DecodeControlLoopStatus(P(wire), 81).nSamples2, int(0x80000000u));
        QCOMPARE(DecodeControlLoopStatus(P(wire), 81).nLoopState, 0);
    }

    void gpsStatus()
    {
        Wire w;
        w.dbl(-36.745989467).dbl(174.734547667).dbl(56.1).u16(8).u16(0xFFFE);
        for (int i = 1; i <= 6; ++i)
            w.dbl(i * 1.5);
        w.u8(1).u8(2); // bAux2: only 1 counts as true
        for (int i = 0; i < MAX_SATELLITES; ++i) {
            // used, azimuth, elevation, status, PRN, SNR
            w.u8(i % 3 == 0 ? 1 : (i % 3 == 1 ? 0 : 7)).u16(i * 3).u16(90 - i % 91).u16(i % 4).u16(i + 1);
            w.u16(i == 95 ? 0xFFFF : 20 + i % 30);
        }
        const QByteArray aux(SIZE_AUX_TEXT, 'x');
        w.bytes(aux).u8(7).u32(0xDEADBEEF).u32(0x80000001u).u8(3);
        QCOMPARE(w.a.size(), int(SIZE_GPS_STATUS));

        const CMD_DATA_GPS_STATUS g = DecodeGPSStatus(P(w.a), w.a.size());
        QCOMPARE(g.dLatitude, -36.745989467);
        QCOMPARE(g.dLongitude, 174.734547667);
        QCOMPARE(g.dAltitude, 56.1);
        QCOMPARE(g.nSatsTracked, 8);
        QCOMPARE(g.nSatsInView, 0xFFFE); // widened without sign
        QCOMPARE(g.dAux1, 1.5);
        QCOMPARE(g.dAux6, 9.0);
        QCOMPARE(g.bAux1, true);
        QCOMPARE(g.bAux2, false);
        for (int i = 0; i < MAX_SATELLITES; ++i) {
            QCOMPARE(g.aSats[i].bUsed, i % 3 == 0);
            QCOMPARE(g.aSats[i].nAzimuth, i * 3);
            QCOMPARE(g.aSats[i].nElevation, 90 - i % 91);
            QCOMPARE(g.aSats[i].nStatus, i % 4);
            QCOMPARE(g.aSats[i].nPRN, i + 1);
            QCOMPARE(g.aSats[i].nSNR, i == 95 ? 0xFFFF : 20 + i % 30);
        }
        QCOMPARE(QByteArray(g.szAux, SIZE_AUX_TEXT), aux);
        QCOMPARE(g.nTimeSource, 7);
        QCOMPARE(g.nGPSTime, int(0x80000001u)); // signed
        QCOMPARE(g.nGPSTimeFlag, 3);

        // The service encodes it back byte for byte, but for the flags read as
        // false (sent as 0) and the four bytes never read (sent as 0).
        QByteArray back = w.a;
        back[77] = 0;
        for (int i = 2; i < MAX_SATELLITES; i += 3)
            back[78 + i * SIZE_SATELLITE] = 0;
        back.replace(1199, 4, QByteArray(4, '\0'));
        QCOMPARE(EncodeGPSStatus(g).toHex(), back.toHex());

        // A short payload: the fields past it read 0, not the bytes that follow.
        QCOMPARE(DecodeGPSStatus(P(w.a), 16).dLongitude, 174.734547667);
        QCOMPARE(DecodeGPSStatus(P(w.a), 16).dAltitude, 0.0);
        QCOMPARE(DecodeGPSStatus(P(w.a), 16).nGPSTime, 0);
    }

    void smallDecoders()
    {
        const QByteArray port = Wire().u8(0).u32(3).u32(115200).a;
        QCOMPARE(DecodeCommPort(P(port), port.size()).nPort, 3);
        QCOMPARE(DecodeCommPort(P(port), port.size()).nBaud, 115200);
        const QByteArray offset = Wire().u8(0).dbl(-0.0375).a;
        QCOMPARE(DecodeTimeDiffOffset(P(offset), offset.size()).dTimeDiffOffset, -0.0375);
        const QByteArray lock = Wire().u8(0).u8(1).u32(0xFFFFFFF0u).a;
        QCOMPARE(DecodeGPSLockConfig(P(lock), lock.size()).bEnable, true);
        QCOMPARE(DecodeGPSLockConfig(P(lock), lock.size()).nDelay, 0xFFFFFFF0u);
        const QByteArray notOne = Wire().u8(0).u8(2).u32(30).a;
        QCOMPARE(DecodeGPSLockConfig(P(notOne), notOne.size()).bEnable, false);
        const QByteArray values = Wire().u8(0).dbl(1.25).dbl(99999.9).a;
        double aux = 0, est = 0;
        DecodeNTPValues(P(values), values.size(), aux, est);
        QCOMPARE(aux, 1.25);
        QCOMPARE(est, 99999.9);
        // An address ends at its terminator, or at the payload's end where the buffer goes on.
        const QByteArray address("\x02pool.ntp\x00tail", 14);
        QCOMPARE(DecodeNTPAddress(P(address), address.size()), QString("pool.ntp"));
        QCOMPARE(DecodeNTPAddress(P(address), 5), QString("pool"));
        QCOMPARE(DecodeMessage(P(address), 3), QString("po"));

        // Loop parameters: only a flag byte of 1 reads as enabled.
        for (int flag : {1, 2}) {
            const QByteArray wire = Wire().u8(0).dbl(100.0).dbl(0.25).dbl(0.707).dbl(-3.0).u8(flag).a;
            QCOMPARE(wire.size(), int(SIZE_LOOP_PARAMETERS));
            const CMD_DATA_LOOP_PARAMETERS p = DecodeLoopParameters(P(wire), wire.size());
            QCOMPARE(p.dTimeConstant, 100.0);
            QCOMPARE(p.dGain, 0.25);
            QCOMPARE(p.dDamping, 0.707);
            QCOMPARE(p.dDetectorGain, -3.0);
            QCOMPARE(p.bLoopEnabled, flag == 1 ? 1 : 0);
        }
    }

    void history_data()
    {
        QTest::addColumn<quint32>("announced");
        QTest::addColumn<int>("entriesSent");
        QTest::addColumn<int>("trailingBytes");
        QTest::addColumn<int>("stored");

        QTest::newRow("0 entries") << 0u << 0 << 0 << 0;
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

        // A record that already holds ten entries: a reply does not clear what lies beyond its count.
        Wire earlier;
        earlier.u8(0).u32(0).u32(0).u32(10);
        for (int i = 0; i < MAX_HISTORY_ENTRIES; ++i)
            earlier.bytes(statusWire(50 + i, false));
        CMD_DATA_CONTROL_LOOP_STATUS_HISTORY h;
        DecodeHistory(P(earlier.a), earlier.a.size(), h);
        DecodeHistory(P(w.a), w.a.size(), h);
        QCOMPARE(h.nAux1, 0x01020304);
        QCOMPARE(h.nAux2, -1);
        QCOMPARE(h.nCount, stored);
        for (int i = 0; i < MAX_HISTORY_ENTRIES; ++i) // history entries never carry a loop state
            checkStatus(h.aEntries[i], i < stored ? i + 1 : 50 + i, 0);
    }

    // The service sends at most ten entries, each without its loop state byte.
    void historyEncoder()
    {
        CMD_DATA_CONTROL_LOOP_STATUS_HISTORY h;
        h.nAux1 = 7;
        h.nCount = 12;
        Wire w;
        w.u8(0).u32(7).u32(0).u32(10);
        for (int i = 0; i < MAX_HISTORY_ENTRIES; ++i) {
            h.aEntries[i] = DecodeControlLoopStatus(P(statusWire(i, true)), SIZE_CONTROL_LOOP_STATUS);
            w.bytes(statusWire(i, false));
        }
        QCOMPARE(EncodeHistory(h).toHex(), w.a.toHex());
    }

    void logReply_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("decoded"); // sub-command, file status, result, name; empty: ignored

        QTest::newRow("status open") << QByteArray("\x00\x01/tmp/l.csv\x00junk", 16) << "0 1 0 /tmp/l.csv";
        QTest::newRow("status UTF-8 name")
            << QByteArray("\x00\x01/\xc3\xa9t\xc3\xa9", 8) << QString::fromUtf8("0 1 0 /\xc3\xa9t\xc3\xa9");
        QTest::newRow("status byte 200 unsigned") << QByteArray("\x00\xc8", 2) << "0 200 0 ";
        QTest::newRow("start failed -1") << QByteArray("\x01\xff", 2) << "1 0 -1 ";
        QTest::newRow("sub-command 3 ignored") << QByteArray("\x03\x00", 2) << "";
        QTest::newRow("empty ignored") << QByteArray() << "";
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

    void encoders_data()
    {
        QTest::addColumn<QByteArray>("encoded");
        QTest::addColumn<QByteArray>("hex");

        CMD_DATA_LOOP_PARAMETERS params{100.0, 0.25, 0.707, -3.0, 1};
        const CMD_DATA_GPS_LOCK_CONFIG lock{false, 300};
        QTest::newRow("enable loop") << EncodeEnableControlLoop(true) << QByteArray("0201");
        QTest::newRow("comm port negative")
            << EncodeCommPort(SUB_SET, -1, 9600) << QByteArray("01ffffffff00002580");
        QTest::newRow("time offset") << EncodeTimeDiffOffset(SUB_SET, 0.5)
                                     << QByteArray("013fe0000000000000");
        // In a set the flag byte is the caller's reset request, whatever bLoopEnabled holds.
        QTest::newRow("loop parameters")
            << EncodeLoopParameters(SUB_SET, params, 0)
            << Wire().u8(1).dbl(100.0).dbl(0.25).dbl(0.707).dbl(-3.0).u8(0).a.toHex();
        QTest::newRow("lock config") << EncodeGPSLockConfig(SUB_SET, lock) << QByteArray("01000000012c");
        QTest::newRow("log result -2") << EncodeLogResultReply(SUB_SET, -2) << QByteArray("01fe");
        QTest::newRow("log status") << EncodeLogStatusReply(1, "a.csv") << QByteArray("0001612e63737600");
        QTest::newRow("address reply") << EncodeNTPAddressReply("ntp") << QByteArray("026e747000");
        QTest::newRow("ntp values") << EncodeNTPValues(0.0, -1.0)
                                    << QByteArray("000000000000000000bff0000000000000");
        QTest::newRow("message") << EncodeMessage("ok") << QByteArray("006f6b00");
        QTest::newRow("address set, empty") << EncodeNTPAddressSet(QString()) << QByteArray("0100");
        // Low 8 bits of each character: U+0141 sends 0x41, not '?'.
        QTest::newRow("address set, wide character")
            << EncodeNTPAddressSet(QChar(0x0141)) << QByteArray("014100");
        QTest::newRow("address set, 511 cut to 510")
            << EncodeNTPAddressSet(QString(511, 'n')) << ("01" + QByteArray(510, 'n').toHex() + "00");
    }

    void encoders()
    {
        QFETCH(QByteArray, encoded);
        QTEST(encoded.toHex(), "hex");
    }

    // The name field is 256 bytes, zero-padded, not terminated when full.
    void logStartName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("field");

        QTest::newRow("Latin-1") << QString::fromUtf8("/tmp/\xc3\xa9") << QByteArray("/tmp/\xe9");
        QTest::newRow("256 bytes") << QString(256, 'b') << QByteArray(256, 'b');
        QTest::newRow("300 bytes cut to 256") << QString(300, 'c') << QByteArray(256, 'c');
    }

    void logStartName()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, field);
        const QByteArray wire = EncodeLogStart(name);
        QCOMPARE(wire.toHex(),
                 (QByteArray(1, '\x01') + field + QByteArray(256 - field.size(), '\0')).toHex());
        const QByteArray more = wire + "tail"; // the service reads no further than the field
        QCOMPARE(DecodeLogStartFileName(P(more), more.size()), QString::fromLatin1(field));
    }
};

QTEST_APPLESS_MAIN(tst_BRFNCodec)
#include "tst_brfncodec.moc"
