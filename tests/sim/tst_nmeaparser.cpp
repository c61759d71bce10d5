// The NMEA line reader and the epoch assembly of the stand-in service, driven
// line by line without a socket.

#include "nmeaepoch.h"
#include "nmeaparser.h"

#include <QtTest>

#include <random>

class tst_NmeaParser : public QObject
{
    Q_OBJECT

private slots:
    void result_data();
    void result();
    void gga();
    void rmcDate();
    void gsvSignalIdAndEmptyFields();
    void gsaSystemId_data();
    void gsaSystemId();
    void finishMakesValidSentence();
    void randomBytesNeverCrashAndAreCounted();
    void mutatedSentencesAreSkipped();
    void epochsSplitOnNewSecond();
    void untimedCyclesAreSeparateEpochs();
    void repeatedGgaOfSameSecondStaysOneEpoch();
    void twoSignalSetsKeepStrongestSnr();
    void gpsStateCarriesSatellitesAndClearsUsedWithoutFix();
};

void tst_NmeaParser::result_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("noise");

    QTest::newRow("GGA CRLF")
        << QByteArray("$GPGGA,022021.00,3644.759368,S,17444.072860,E,1,07,1.1,56.1,M,37.0,M,,*49\r\n")
        << int(CNmeaParser::RESULT_OK) << false;
    QTest::newRow("lower-case checksum")
        << QByteArray("$GNGSA,A,3,29,20,18,16,51,13,44,26,,,,,0.99,0.54,0.83,1*0e")
        << int(CNmeaParser::RESULT_OK) << false;
    QTest::newRow("checksum one off") << QByteArray("$GNZDA,000941.00,10,01,2017,00,00*71")
                                      << int(CNmeaParser::RESULT_BAD_CHECKSUM) << false;
    QTest::newRow("cut short, no checksum") << QByteArray("$GNRMC,001053.00,A,4404.13402,N,12118.85638,W,0.")
                                            << int(CNmeaParser::RESULT_MALFORMED) << false;
    QTest::newRow("one checksum digit")
        << QByteArray("$GNZDA,000941.00,10,01,2017,00,00*7") << int(CNmeaParser::RESULT_MALFORMED) << false;
    QTest::newRow("text after checksum")
        << QByteArray("$GNZDA,000941.00,10,01,2017,00,00*70x") << int(CNmeaParser::RESULT_MALFORMED) << false;
    QTest::newRow("non-hex checksum")
        << QByteArray("$GNZDA,000941.00,10,01,2017,00,00*G0") << int(CNmeaParser::RESULT_MALFORMED) << false;
    QTest::newRow("noise in front") << QByteArray("\x82\xe2\x01junk$GNZDA,000941.00,10,01,2017,00,00*70\r")
                                    << int(CNmeaParser::RESULT_OK) << true;
    QTest::newRow("no dollar") << QByteArray("GPGGA,,,,,,0,,,,M,,M,,*66")
                               << int(CNmeaParser::RESULT_MALFORMED) << false;
    QTest::newRow("control byte inside")
        << QByteArray("$GPGGA,\x01,,,,,0,,,,M,,M,,*66") << int(CNmeaParser::RESULT_MALFORMED) << false;
    QTest::newRow("empty") << QByteArray("\r\n") << int(CNmeaParser::RESULT_EMPTY) << false;
    QTest::newRow("VTG is not decoded")
        << QByteArray("$GPVTG,301.9,T,283.6,M,0.0,N,0.0,K,A*27") << int(CNmeaParser::RESULT_OTHER) << false;
    QTest::newRow("proprietary") << QByteArray(CNmeaParser::Finish("PSTI,030,213121.000,A").trimmed())
                                 << int(CNmeaParser::RESULT_OTHER) << false;
    QTest::newRow("three-letter talker") << QByteArray(CNmeaParser::Finish("GYOACC,1,2,3").trimmed())
                                         << int(CNmeaParser::RESULT_OTHER) << false;
    QTest::newRow("GGA with 6 fields")
        << QByteArray(CNmeaParser::Finish("GPGGA,120000,4807.038,N,01131.000,E").trimmed())
        << int(CNmeaParser::RESULT_MALFORMED) << false;
    QTest::newRow("GSV with a broken group")
        << QByteArray(CNmeaParser::Finish("GPGSV,1,1,02,05,45,347,45,07,45").trimmed())
        << int(CNmeaParser::RESULT_MALFORMED) << false;
    QTest::newRow("GSA letter as PRN")
        << QByteArray(CNmeaParser::Finish("GPGSA,A,3,X5,,,,,,,,,,,,1.0,1.0,1.0").trimmed())
        << int(CNmeaParser::RESULT_MALFORMED) << false;
    QTest::newRow("over 512 characters") << CNmeaParser::Finish("GPTXT," + QByteArray(600, 'A')).trimmed()
                                         << int(CNmeaParser::RESULT_MALFORMED) << false;
    QTest::newRow("lowercase address") << QByteArray(CNmeaParser::Finish("gpgga,,,,,,0,,,,M,,M,,").trimmed())
                                       << int(CNmeaParser::RESULT_MALFORMED) << false;
}

void tst_NmeaParser::result()
{
    QFETCH(QByteArray, line);
    QFETCH(int, result);
    QFETCH(bool, noise);
    NMEA_SENTENCE s;
    bool bNoise = false;
    QCOMPARE(int(CNmeaParser::ParseLine(line, s, &bNoise)), result);
    QCOMPARE(bNoise, noise);
}

void tst_NmeaParser::gga()
{
    NMEA_SENTENCE s;
    QCOMPARE(CNmeaParser::ParseLine(
                 "$GPGGA,022021.00,3644.759368,S,17444.072860,E,1,07,1.1,56.1,M,37.0,M,,*49", s),
             CNmeaParser::RESULT_OK);
    QCOMPARE(s.eType, NMEA_SENTENCE::TYPE_GGA);
    QCOMPARE(s.talker, QByteArray("GP"));
    QCOMPARE(s.nSystem, int(NMEA_SYSTEM_GPS));
    QVERIFY(s.bHasTime);
    QCOMPARE(s.nSecondOfDay, 2 * 3600 + 20 * 60 + 21);
    QVERIFY(s.bFixValid);
    QCOMPARE(s.nSatsUsed, 7);
    QVERIFY(s.bHasPosition);
    QVERIFY(qAbs(s.dLatitude - -(36 + 44.759368 / 60)) < 1e-12);
    QVERIFY(qAbs(s.dLongitude - (174 + 44.072860 / 60)) < 1e-12);
    QCOMPARE(s.dAltitude, 56.1);

    // No time, no fix, no position: every field empty.
    QCOMPARE(CNmeaParser::ParseLine("$GPGGA,,,,,,0,,,,M,,M,,*66", s), CNmeaParser::RESULT_OK);
    QVERIFY(!s.bHasTime);
    QVERIFY(!s.bFixValid);
    QVERIFY(!s.bHasPosition);
    QVERIFY(!s.bHasAltitude);

    // An hour of 25 is no time at all; minutes of 60 are no position.
    QCOMPARE(CNmeaParser::ParseLine(
                 CNmeaParser::Finish("GPGGA,250000,4860.000,N,01131.000,E,1,05,1.0,5.0,M,,M,,"), s),
             CNmeaParser::RESULT_OK);
    QVERIFY(!s.bHasTime);
    QVERIFY(!s.bHasPosition);
}

void tst_NmeaParser::rmcDate()
{
    NMEA_SENTENCE s;
    QCOMPARE(
        CNmeaParser::ParseLine("$GPRMC,095255.810,V,2712.6404,S,15303.1201,E,0.00,0.00,080407,,,A*6E", s),
        CNmeaParser::RESULT_OK);
    QVERIFY(!s.bFixValid);
    QVERIFY(s.bHasDate);
    QCOMPARE(s.date, QDate(2007, 4, 8));
    QCOMPARE(s.nSecondOfDay, 9 * 3600 + 52 * 60 + 55);
    QCOMPARE(CNmeaParser::ParseLine(
                 CNmeaParser::Finish("GPRMC,120000,A,4807.038,N,01131.000,E,0.0,0.0,311299,,,A"), s),
             CNmeaParser::RESULT_OK);
    QCOMPARE(s.date, QDate(1999, 12, 31));
    QVERIFY(s.bFixValid);
    // 31 February is no date.
    QCOMPARE(CNmeaParser::ParseLine(
                 CNmeaParser::Finish("GPRMC,120000,A,4807.038,N,01131.000,E,0.0,0.0,310299,,,A"), s),
             CNmeaParser::RESULT_OK);
    QVERIFY(!s.bHasDate);
}

void tst_NmeaParser::gsvSignalIdAndEmptyFields()
{
    NMEA_SENTENCE s;
    // NMEA 4.10 style: a signal id after the last group; empty elevation and azimuth.
    QCOMPARE(CNmeaParser::ParseLine("$GPGSV,4,3,13,13,21,278,,15,06,246,,24,,,,39,,,34,1*64", s),
             CNmeaParser::RESULT_OK);
    QCOMPARE(s.nGsvMessages, 4);
    QCOMPARE(s.nGsvMessage, 3);
    QCOMPARE(s.nGsvInView, 13);
    QCOMPARE(s.nGsvSignalId, 1);
    QCOMPARE(s.satellites.size(), 4);
    QCOMPARE(s.satellites[0].nPRN, 13);
    QCOMPARE(s.satellites[0].nElevation, 21);
    QCOMPARE(s.satellites[0].nAzimuth, 278);
    QVERIFY(!s.satellites[0].bHasSNR);
    QCOMPARE(s.satellites[3].nPRN, 39);
    QCOMPARE(s.satellites[3].nElevation, 0);
    QCOMPARE(s.satellites[3].nAzimuth, 0);
    QCOMPARE(s.satellites[3].nSNR, 34);

    // One-digit PRNs of an older receiver, no signal id.
    QCOMPARE(CNmeaParser::ParseLine("$GPGSV,3,1,12,2,15,123,,5,45,347,45,6,58,198,,7,45,212,*77", s),
             CNmeaParser::RESULT_OK);
    QCOMPARE(s.nGsvSignalId, -1);
    QCOMPARE(s.satellites.size(), 4);
    QCOMPARE(s.satellites[1].nPRN, 5);
    QCOMPARE(s.satellites[1].nSNR, 45);

    // The empty list of a receiver without satellites.
    QCOMPARE(CNmeaParser::ParseLine("$GPGSV,1,1,00,,,,,,,,,,,,,,,,*79", s), CNmeaParser::RESULT_OK);
    QCOMPARE(s.satellites.size(), 0);

    // BeiDou with a BD talker and three-digit PRNs keeps its numbers.
    QCOMPARE(CNmeaParser::ParseLine("$BDGSV,1,1,03,214,34,246,25,206,08,330,,212,04,172,26*65", s),
             CNmeaParser::RESULT_OK);
    QCOMPARE(s.satellites[0].nPRN, 214);
    // Galileo with a GA talker moves to 301..336.
    QCOMPARE(CNmeaParser::ParseLine("$GAGSV,3,1,10,03,44,149,40,05,42,071,39,08,08,190,,09,06,034,,7*74", s),
             CNmeaParser::RESULT_OK);
    QCOMPARE(s.satellites[0].nPRN, 303);
    QCOMPARE(s.nGsvSignalId, 7);
}

void tst_NmeaParser::gsaSystemId_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QVector<int>>("used");
    QTest::newRow("GN GPS") << QByteArray("$GNGSA,A,3,29,20,18,16,51,13,44,26,,,,,0.99,0.54,0.83,1*0E")
                            << QVector<int>{29, 20, 18, 16, 51, 13, 44, 26};
    QTest::newRow("GN GLONASS") << QByteArray("$GNGSA,A,3,82,73,74,67,81,83,68,,,,,,0.99,0.54,0.83,2*08")
                                << QVector<int>{82, 73, 74, 67, 81, 83, 68};
    QTest::newRow("GN Galileo") << QByteArray("$GNGSA,A,3,03,05,30,27,15,,,,,,,,0.99,0.54,0.83,3*0D")
                                << QVector<int>{303, 305, 330, 327, 315};
    QTest::newRow("GN BeiDou") << QByteArray("$GNGSA,A,3,32,28,30,33,27,,,,,,,,0.99,0.54,0.83,4*03")
                               << QVector<int>{232, 228, 230, 233, 227};
    QTest::newRow("GN without system id")
        << QByteArray("$GNGSA,A,3,80,70,73,79,69,71,,,,,,,1.71,1.01,1.38*1D")
        << QVector<int>{80, 70, 73, 79, 69, 71};
    QTest::newRow("BD talker") << QByteArray("$BDGSA,A,3,214,,,,,,,,,,,,2.5,1.2,2.2*10") << QVector<int>{214};
    QTest::newRow("no fix") << QByteArray("$GPGSA,A,1,,,,,,,,,,,,,,,*1E") << QVector<int>{};
}

void tst_NmeaParser::gsaSystemId()
{
    QFETCH(QByteArray, line);
    QFETCH(QVector<int>, used);
    NMEA_SENTENCE s;
    QCOMPARE(CNmeaParser::ParseLine(line, s), CNmeaParser::RESULT_OK);
    QCOMPARE(s.eType, NMEA_SENTENCE::TYPE_GSA);
    QCOMPARE(s.usedPRNs, used);
}

void tst_NmeaParser::finishMakesValidSentence()
{
    QCOMPARE(CNmeaParser::Finish("GNZDA,000941.00,10,01,2017,00,00"),
             QByteArray("$GNZDA,000941.00,10,01,2017,00,00*70\r\n"));
    // A checksum below 0x10 keeps its leading zero.
    const QByteArray line = CNmeaParser::Finish("GPTXT,A");
    NMEA_SENTENCE s;
    QCOMPARE(CNmeaParser::ParseLine(line, s), CNmeaParser::RESULT_OTHER);
    QCOMPARE(line.size(), int(QByteArray("$GPTXT,A*hh\r\n").size()));
}

void tst_NmeaParser::randomBytesNeverCrashAndAreCounted()
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> length(0, 700);
    std::uniform_int_distribution<int> byte(0, 255);
    CNmeaEpochAssembler assembler;
    NMEA_EPOCH epoch;
    const int nLines = 5000;
    for (int i = 0; i < nLines; ++i) {
        QByteArray line;
        const int n = length(random);
        for (int k = 0; k < n; ++k)
            line.append(char(byte(random)));
        if (i % 3 == 0)
            line.prepend("$GPGSV,");
        assembler.AddLine(line, epoch);
    }
    const NMEA_COUNTERS& c = assembler.Counters();
    QCOMPARE(c.nLines, nLines);
    QCOMPARE(c.nDecoded, 0);
    QVERIFY(c.nMalformed + c.nBadChecksum + c.nOther > nLines * 9 / 10);
    QVERIFY(!assembler.Flush(epoch));
}

void tst_NmeaParser::mutatedSentencesAreSkipped()
{
    // Every single-character change of a valid sentence is either refused or,
    // when it keeps the checksum right by chance, still decodes safely.
    const QByteArray good = "$GNGGA,000941.00,4404.13387,N,12118.85628,W,1,12,1.01,1144.8,M,-21.4,M,,*4D";
    int nRefused = 0;
    for (int i = 1; i < good.size(); ++i) {
        for (char c : {'0', '9', ',', '*', '$', 'Z', '\x7f', '.'}) {
            QByteArray line = good;
            if (line[i] == c)
                continue;
            line[i] = c;
            NMEA_SENTENCE s;
            if (CNmeaParser::ParseLine(line, s) != CNmeaParser::RESULT_OK)
                ++nRefused;
        }
    }
    QVERIFY(nRefused > (good.size() - 1) * 7);
}

void tst_NmeaParser::epochsSplitOnNewSecond()
{
    const QList<QByteArray> lines = {
        "$GNRMC,003956.00,A,4552.65403,S,17030.00668,E,0.025,,120419,,,A,V*07",
        "$GNGGA,003956.00,4552.65403,S,17030.00668,E,1,12,0.64,14.2,M,1.8,M,,*56",
        "$GNGSA,A,3,13,16,21,15,10,29,27,20,,,,,1.05,0.64,0.83,1*03",
        "$GPGSV,3,1,12,05,06,110,19,10,24,284,34,13,37,124,29,15,63,083,11,1*60",
        "$GPRMC,003957.00,A,4552.65403,S,17030.00668,E,0.025,,120419,,,A,V*19",
    };
    CNmeaEpochAssembler assembler;
    NMEA_EPOCH epoch;
    QVERIFY(!assembler.AddLine(lines[0], epoch));
    QVERIFY(!assembler.AddLine(lines[1], epoch));
    QVERIFY(!assembler.AddLine(lines[2], epoch));
    QVERIFY(!assembler.AddLine(lines[3], epoch));
    // The last line has a wrong checksum (it was edited): skipped, no new epoch.
    QVERIFY(!assembler.AddLine(lines[4], epoch));
    QCOMPARE(assembler.Counters().nBadChecksum, 1);
    QVERIFY(assembler.AddLine(
        CNmeaParser::Finish("GNRMC,003957.00,A,4552.65403,S,17030.00668,E,0.025,,120419,,,A,V"), epoch));
    QCOMPARE(epoch.nSecondOfDay, 39 * 60 + 56);
    QCOMPARE(epoch.sentences.size(), 4);
    QVERIFY(epoch.FixValid());
    QCOMPARE(epoch.satellites.size(), 4);
    QCOMPARE(epoch.usedPRNs.size(), 8);
    QCOMPARE(epoch.date, QDate(2019, 4, 12));
    QVERIFY(assembler.Flush(epoch));
    QCOMPARE(epoch.nSecondOfDay, 39 * 60 + 57);
    QCOMPARE(assembler.Counters().nEpochs, 2);
}

void tst_NmeaParser::untimedCyclesAreSeparateEpochs()
{
    CNmeaEpochAssembler assembler;
    NMEA_EPOCH epoch;
    int nCompleted = 0;
    for (int i = 0; i < 3; ++i) {
        nCompleted += assembler.AddLine("$GPGGA,,,,,,0,,,,M,,M,,*66", epoch);
        nCompleted += assembler.AddLine("$GPGSA,A,1,,,,,,,,,,,,,,,*1E", epoch);
        nCompleted += assembler.AddLine("$GPRMC,,V,,,,,,,,,,N*53", epoch);
    }
    QCOMPARE(nCompleted, 2);
    QVERIFY(!epoch.bHasTime);
    QVERIFY(!epoch.FixValid());
    QCOMPARE(epoch.sentences.size(), 3);
}

void tst_NmeaParser::repeatedGgaOfSameSecondStaysOneEpoch()
{
    CNmeaEpochAssembler assembler;
    NMEA_EPOCH epoch;
    QVERIFY(!assembler.AddLine(
        CNmeaParser::Finish("GPGGA,105153.71,5050.0000,N,00421.0000,E,1,04,2.0,50.0,M,,M,,"), epoch));
    QVERIFY(!assembler.AddLine(
        CNmeaParser::Finish("GPGGA,105153.408,5050.0010,N,00421.0000,E,1,05,2.0,51.0,M,,M,,"), epoch));
    QVERIFY(assembler.Flush(epoch));
    QCOMPARE(epoch.nGGASatsUsed, 5);
    QCOMPARE(epoch.dAltitude, 51.0);
    QCOMPARE(assembler.Counters().nEpochs, 1);
}

void tst_NmeaParser::twoSignalSetsKeepStrongestSnr()
{
    CNmeaEpochAssembler assembler;
    NMEA_EPOCH epoch;
    assembler.AddLine("$GPGGA,022021.00,3644.759368,S,17444.072860,E,1,07,1.1,56.1,M,37.0,M,,*49", epoch);
    assembler.AddLine(CNmeaParser::Finish("GPGSV,1,1,02,05,06,110,19,10,24,284,,1"), epoch);
    assembler.AddLine(CNmeaParser::Finish("GPGSV,1,1,02,05,06,110,25,10,24,284,31,6"), epoch);
    assembler.AddLine(CNmeaParser::Finish("GPGSV,1,1,02,05,06,110,,10,24,284,12,6"), epoch);
    QVERIFY(assembler.Flush(epoch));
    QCOMPARE(epoch.satellites.size(), 2);
    QCOMPARE(epoch.satellites[0].nSNR, 25);
    QCOMPARE(epoch.satellites[1].nSNR, 31);
    QCOMPARE(epoch.satellites[1].nAzimuth, 284);
}

void tst_NmeaParser::gpsStateCarriesSatellitesAndClearsUsedWithoutFix()
{
    CNmeaEpochAssembler assembler;
    CNmeaGpsState state;
    NMEA_EPOCH e;
    assembler.AddLine(CNmeaParser::Finish("GPRMC,120000,A,4807.038,N,01131.000,E,0.0,0.0,010124,,,A"), e);
    assembler.AddLine(CNmeaParser::Finish("GPGGA,120000,4807.038,N,01131.000,E,1,02,1.0,520.0,M,,M,,"), e);
    assembler.AddLine(CNmeaParser::Finish("GPGSA,A,3,05,10,,,,,,,,,,,1.0,1.0,1.0"), e);
    assembler.AddLine(CNmeaParser::Finish("GPGSV,1,1,03,05,40,110,45,10,24,284,20,12,10,020,"), e);
    QVERIFY(assembler.AddLine(CNmeaParser::Finish("GPRMC,120001,V,,,,,,,010124,,,N"), e));
    BRFN::CMD_DATA_GPS_STATUS g = state.Apply(e);
    QVERIFY(state.HasFix());
    QCOMPARE(g.nSatsInView, 3);
    QCOMPARE(g.nSatsTracked, 2);
    QCOMPARE(g.aSats[0].nStatus, int(CNmeaGpsState::SAT_USED));
    QCOMPARE(g.aSats[1].nStatus, int(CNmeaGpsState::SAT_WEAK));
    QCOMPARE(g.aSats[2].nStatus, int(CNmeaGpsState::SAT_IN_VIEW));
    QVERIFY(g.aSats[0].bUsed && g.aSats[1].bUsed && !g.aSats[2].bUsed);
    QCOMPARE(g.aSats[3].nPRN, 0);
    QCOMPARE(g.nGPSTime, int(QDateTime(QDate(2024, 1, 1), QTime(12, 0), Qt::UTC).toSecsSinceEpoch()));
    QCOMPARE(g.nGPSTimeFlag, 1);
    QCOMPARE(g.nTimeSource, 0);
    QCOMPARE(g.dAltitude, 520.0);

    // The next second has no fix and no GSV: the sky stays, nothing is used,
    // the position is the last fix's, the time is not trusted.
    QVERIFY(assembler.Flush(e));
    g = state.Apply(e);
    QVERIFY(!state.HasFix());
    QCOMPARE(g.nSatsInView, 3);
    QVERIFY(!g.aSats[0].bUsed);
    QCOMPARE(g.aSats[0].nStatus, int(CNmeaGpsState::SAT_TRACKED));
    QCOMPARE(g.nGPSTimeFlag, 0);
    QCOMPARE(g.nGPSTime, int(QDateTime(QDate(2024, 1, 1), QTime(12, 0, 1), Qt::UTC).toSecsSinceEpoch()));
    QVERIFY(qAbs(g.dLatitude - (48 + 7.038 / 60)) < 1e-12);
}

QTEST_APPLESS_MAIN(tst_NmeaParser)
#include "tst_nmeaparser.moc"
