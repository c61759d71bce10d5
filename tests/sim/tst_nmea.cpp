// The stand-in service's NMEA reader without a socket: single lines and
// epochs on the edge cases, then real receiver captures replayed whole and
// compared with values read from the capture files by hand.

#include "nmeareplay.h"
#include "simtestclient.h"

#include <QtTest>

#include <random>

namespace {

QByteArray Line(const char* pszBody)
{
    return CNmeaParser::Finish(pszBody).trimmed();
}

struct RECORD
{
    BRFN::CMD_DATA_GPS_STATUS gps;
    bool bFix = false;
};

// Replays the whole capture once: one record per epoch with a time, by "hh:mm:ss".
QMap<QString, RECORD> Replay(const QString& strFile, CNmeaReplay& replay)
{
    QMap<QString, RECORD> records;
    if (!replay.Load(DataFile(strFile + ".nmea")))
        return records;
    CNmeaGpsState state;
    for (int i = 0; i < replay.EpochCount(); ++i) {
        const RECORD r{state.Apply(replay.Epoch(i)), state.HasFix()};
        if (replay.Epoch(i).bHasTime)
            records.insert(QTime(0, 0).addSecs(replay.Epoch(i).nSecondOfDay).toString("hh:mm:ss"), r);
    }
    return records;
}

} // namespace

class tst_Nmea : public QObject
{
    Q_OBJECT

private slots:
    void result_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("result");
        const int OK = CNmeaParser::RESULT_OK, OTHER = CNmeaParser::RESULT_OTHER;
        const int MALFORMED = CNmeaParser::RESULT_MALFORMED;

        QTest::newRow("lower-case checksum")
            << QByteArray("$GNGSA,A,3,29,20,18,16,51,13,44,26,,,,,0.99,0.54,0.83,1*0e") << OK;
        QTest::newRow("checksum one off")
            << QByteArray("$GNZDA,000941.00,10,01,2017,00,00*71") << int(CNmeaParser::RESULT_BAD_CHECKSUM);
        QTest::newRow("cut short, no checksum")
            << QByteArray("$GNRMC,001053.00,A,4404.13402,N,12118.85638,W,0.") << MALFORMED;
        QTest::newRow("non-hex checksum") << QByteArray("$GNZDA,000941.00,10,01,2017,00,00*G0") << MALFORMED;
        QTest::newRow("no dollar") << QByteArray("GPGGA,,,,,,0,,,,M,,M,,*66") << MALFORMED;
        QTest::newRow("control byte inside") << QByteArray("$GPGGA,\x01,,,,,0,,,,M,,M,,*66") << MALFORMED;
        QTest::newRow("empty") << QByteArray("\r\n") << int(CNmeaParser::RESULT_EMPTY);
        // The synthesiser's checksum keeps its leading zero (02 here).
        QTest::newRow("checksum below 0x10") << Line("GPTXT,a") << OTHER;
        QTest::newRow("GGA with 6 fields") << Line("GPGGA,120000,4807.038,N,01131.000,E") << MALFORMED;
        QTest::newRow("GSV with a broken group") << Line("GPGSV,1,1,02,05,45,347,45,07,45") << MALFORMED;
        QTest::newRow("GSA letter as PRN") << Line("GPGSA,A,3,X5,,,,,,,,,,,,1.0,1.0,1.0") << MALFORMED;
        QTest::newRow("over 512 characters") << Line("GPTXT," + QByteArray(600, 'A')) << MALFORMED;
        QTest::newRow("lowercase address") << Line("gpgga,,,,,,0,,,,M,,M,,") << MALFORMED;
    }
    void result()
    {
        QFETCH(QByteArray, line);
        NMEA_SENTENCE s;
        QTEST(int(CNmeaParser::ParseLine(line, s)), "result");
    }

    void timeAndPosition_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("second"); // -1: no time
        QTest::addColumn<QDate>("date");
        QTest::addColumn<bool>("fix");
        QTest::addColumn<QString>("position"); // empty: none

        QTest::newRow("GGA, every field empty")
            << QByteArray("$GPGGA,,,,,,0,,,,M,,M,,*66") << -1 << QDate() << false << "";
        QTest::newRow("GGA, hour 25 and minute 60")
            << Line("GPGGA,250000,4860.000,N,01131.000,E,1,05,1.0,5.0,M,,M,,") << -1 << QDate() << true << "";
        QTest::newRow("RMC of 1999") << Line("GPRMC,120000,A,4807.038,N,01131.000,E,0.0,0.0,311299,,,A")
                                     << 43200 << QDate(1999, 12, 31) << true << "48.117300 11.516667";
        QTest::newRow("RMC of 31 February")
            << Line("GPRMC,120000,A,4807.038,N,01131.000,E,0.0,0.0,310299,,,A") << 43200 << QDate() << true
            << "48.117300 11.516667";
        QTest::newRow("ZDA before GPS")
            << Line("GPZDA,235960,01,01,1979,,") << 86399 << QDate() << false << "";
    }
    void timeAndPosition()
    {
        QFETCH(QByteArray, line);
        NMEA_SENTENCE s;
        QCOMPARE(CNmeaParser::ParseLine(line, s), CNmeaParser::RESULT_OK);
        QTEST(s.bHasTime ? s.nSecondOfDay : -1, "second");
        QTEST(s.bHasDate ? s.date : QDate(), "date");
        QTEST(s.bFixValid, "fix");
        QTEST(s.bHasPosition ? QString::asprintf("%.6f %.6f", s.dLatitude, s.dLongitude) : QString(),
              "position");
    }

    void randomBytesAreSkipped()
    {
        std::mt19937 random(7);
        std::uniform_int_distribution<int> length(0, 700);
        std::uniform_int_distribution<int> byte(0, 255);
        CNmeaEpochAssembler assembler;
        NMEA_EPOCH epoch;
        for (int i = 0; i < 5000; ++i) {
            QByteArray line = i % 3 == 0 ? "$GPGSV," : "";
            for (int k = length(random); k > 0; --k)
                line.append(char(byte(random)));
            assembler.AddLine(line, epoch);
        }
        const NMEA_COUNTERS& c = assembler.Counters();
        QCOMPARE(c.nLines, 5000);
        QCOMPARE(c.nDecoded, 0);
        QVERIFY(c.nMalformed + c.nBadChecksum + c.nOther > 4500);
        QVERIFY(!assembler.Flush(epoch));
    }

    void epochs_data()
    {
        QTest::addColumn<QByteArrayList>("lines");
        QTest::addColumn<int>("epochs");
        QTest::addColumn<int>("lastSentences"); // in the last epoch

        const QByteArray gga = "$GPGGA,,,,,,0,,,,M,,M,,*66", gsa = "$GPGSA,A,1,,,,,,,,,,,,,,,*1E",
                         rmc = "$GPRMC,,V,,,,,,,,,,N*53";
        QTest::newRow("cycles without a time")
            << QByteArrayList{gga, gsa, rmc, gga, gsa, rmc, gga, gsa, rmc} << 3 << 3;
        // Repeated with another fraction of the second: one epoch.
        QTest::newRow("GGA twice in one second")
            << QByteArrayList{Line("GPGGA,105153.71,5050.0000,N,00421.0000,E,1,04,2.0,50.0,M,,M,,"),
                              Line("GPGGA,105153.408,5050.0010,N,00421.0000,E,1,05,2.0,51.0,M,,M,,")}
            << 1 << 2;
        QTest::newRow("bad checksum starts nothing")
            << QByteArrayList{Line("GPRMC,003956.00,A,4552.65403,S,17030.00668,E,0.025,,120419,,,A"),
                              "$GPRMC,003957.00,A,4552.65403,S,17030.00668,E,0.025,,120419,,,A,V*19"}
            << 1 << 1;
    }
    void epochs()
    {
        QFETCH(QByteArrayList, lines);
        CNmeaEpochAssembler assembler;
        NMEA_EPOCH epoch;
        for (const QByteArray& line : lines)
            assembler.AddLine(line, epoch);
        QVERIFY(assembler.Flush(epoch));
        QTEST(assembler.Counters().nEpochs, "epochs");
        QTEST(epoch.sentences.size(), "lastSentences");
    }

    // The capture file is the row's name.
    void capture_data()
    {
        QTest::addColumn<int>("epochs");
        QTest::addColumn<QString>("noFix");
        QTest::addColumn<QString>("firstFix"); // latitude, longitude, altitude
        QTest::addColumn<int>("firstFixTime");
        QTest::addColumn<int>("maxInView");
        QTest::addColumn<int>("zdaEpochs");
        QTest::addColumn<int>("skippedLines");
        QTest::addColumn<int>("noiseLines");
        QTest::addColumn<int>("sentences"); // forwarded: every line but the skipped ones

        // clang-format off
        QTest::newRow("hi305n-sirf2") << 74 << "09:52:55 09:52:57 09:52:58 09:53:00 09:53:01 09:53:03"
            << "-27.21086667 153.05232833 3.0" << 1176025984 << 12 << 0 << 0 << 0 << 325;
        // The noisy first line is forwarded without its noise, the cut last one not at all.
        QTest::newRow("max-m8q-truncated") << 72 << ""
            << "44.06889783 -121.31427133 1144.8" << 1484006981 << 25 << 72 << 1 << 1 << 1008;
        QTest::newRow("um621-fixloss") << 20 << "00:07:06 00:07:07 00:07:08 00:07:09"
            << "44.06883233 -121.31410217 1109.2" << 1717891613 << 44 << 0 << 0 << 0 << 882;
        QTest::newRow("zed-f9p-dunedin") << 29 << ""
            << "-45.87756717 170.50011133 14.2" << 1555029596 << 41 << 29 << 0 << 0 << 1015;
        // clang-format on
    }
    void capture()
    {
        CNmeaReplay replay;
        const QMap<QString, RECORD> records = Replay(QTest::currentDataTag(), replay);
        QTEST(records.size(), "epochs");
        int nSentences = 0;
        for (int i = 0; i < replay.EpochCount(); ++i) {
            for (const QByteArray& sentence : replay.Epoch(i).sentences) {
                NMEA_SENTENCE parsed;
                bool bNoise = true;
                const CNmeaParser::Result result = CNmeaParser::ParseLine(sentence, parsed, &bNoise);
                QVERIFY(result == CNmeaParser::RESULT_OK || result == CNmeaParser::RESULT_OTHER);
                QVERIFY(!bNoise && sentence.endsWith("\r\n"));
                ++nSentences;
            }
        }
        int nMaxInView = 0, nZda = 0;
        QStringList noFix;
        const RECORD* pFirstFix = nullptr;
        for (auto it = records.begin(); it != records.end(); ++it) {
            const BRFN::CMD_DATA_GPS_STATUS& gps = it.value().gps;
            for (int i = gps.nSatsInView; i < BRFN::MAX_SATELLITES; ++i)
                QCOMPARE(gps.aSats[i].nPRN, 0);
            if (!it.value().bFix)
                noFix << it.key();
            else if (!pFirstFix)
                pFirstFix = &it.value();
            QCOMPARE(gps.nGPSTimeFlag, it.value().bFix ? 1 : 0);
            nMaxInView = std::max(nMaxInView, gps.nSatsInView);
            nZda += gps.nTimeSource == 1;
        }
        QTEST(noFix.join(' '), "noFix");
        QVERIFY(pFirstFix);
        const BRFN::CMD_DATA_GPS_STATUS& first = pFirstFix->gps;
        QTEST(QString::asprintf("%.8f %.8f %.1f", first.dLatitude, first.dLongitude, first.dAltitude),
              "firstFix");
        QTEST(first.nGPSTime, "firstFixTime");
        QTEST(nMaxInView, "maxInView");
        QTEST(nZda, "zdaEpochs");
        QTEST(replay.Counters().nMalformed + replay.Counters().nBadChecksum, "skippedLines");
        QTEST(replay.Counters().nNoise, "noiseLines");
        QTEST(nSentences, "sentences");
    }

    void satellite_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("time");
        QTest::addColumn<int>("prn");
        QTest::addColumn<int>("elevation");
        QTest::addColumn<int>("azimuth");
        QTest::addColumn<int>("snr");
        QTest::addColumn<bool>("used");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("tracked"); // satellites with a signal in that second

        // clang-format off
        QTest::newRow("hi305n 5") << "hi305n-sirf2" << "09:53:16" << 5 << 45 << 347 << 45 << true << 1 << 8;
        QTest::newRow("m8q 70 weak") << "max-m8q-truncated"
            << "00:10:00" << 70 << 76 << 297 << 16 << true << 3 << 17;
        QTest::newRow("um621 244 no fix") << "um621-fixloss"
            << "00:07:07" << 244 << 59 << 199 << 13 << false << 2 << 4;
        QTest::newRow("um621 89 no place") << "um621-fixloss"
            << "00:07:12" << 89 << 0 << 0 << 41 << false << 2 << 28;
        QTest::newRow("zed 27 best of two") << "zed-f9p-dunedin"
            << "00:40:10" << 27 << 16 << 218 << 31 << true << 1 << 22;
        QTest::newRow("zed 201 no id") << "zed-f9p-dunedin"
            << "00:40:10" << 201 << 29 << 321 << 0 << false << 0 << 22;
        // clang-format on
    }
    void satellite()
    {
        QFETCH(QString, file);
        QFETCH(QString, time);
        QFETCH(int, prn);
        CNmeaReplay replay;
        const BRFN::CMD_DATA_GPS_STATUS g = Replay(file, replay).value(time).gps;
        const BRFN::SATELLITE_DATA* pSat = std::find_if(
            g.aSats, g.aSats + g.nSatsInView, [prn](const BRFN::SATELLITE_DATA& s) { return s.nPRN == prn; });
        QVERIFY2(pSat != g.aSats + g.nSatsInView, qPrintable(QString("PRN %1 missing").arg(prn)));
        QTEST(pSat->nElevation, "elevation");
        QTEST(pSat->nAzimuth, "azimuth");
        QTEST(pSat->nSNR, "snr");
        QTEST(pSat->bUsed, "used");
        QTEST(pSat->nStatus, "status");
        QTEST(g.nSatsTracked, "tracked");
    }
};

QTEST_APPLESS_MAIN(tst_Nmea)
#include "tst_nmea.moc"
