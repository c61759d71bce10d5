// The NMEA line reader and the epoch assembly of the stand-in service, driven
// line by line without a socket. Real captures are replayed in tst_nmeacaptures;
// these are the edge cases the captures do not hold.

#include "nmeaepoch.h"
#include "nmeaparser.h"

#include <QtTest>

#include <random>

namespace {

QByteArray Line(const char* pszBody)
{
    return CNmeaParser::Finish(pszBody).trimmed();
}

} // namespace

class tst_NmeaParser : public QObject
{
    Q_OBJECT

private slots:
    void result_data();
    void result();
    void timeAndPosition_data();
    void timeAndPosition();
    void randomBytesAreSkipped();
    void epochs_data();
    void epochs();
};

void tst_NmeaParser::result_data()
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

void tst_NmeaParser::result()
{
    QFETCH(QByteArray, line);
    NMEA_SENTENCE s;
    QTEST(int(CNmeaParser::ParseLine(line, s)), "result");
}

void tst_NmeaParser::timeAndPosition_data()
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
    QTest::newRow("RMC of 1999") << Line("GPRMC,120000,A,4807.038,N,01131.000,E,0.0,0.0,311299,,,A") << 43200
                                 << QDate(1999, 12, 31) << true << "48.117300 11.516667";
    QTest::newRow("RMC of 31 February") << Line("GPRMC,120000,A,4807.038,N,01131.000,E,0.0,0.0,310299,,,A")
                                        << 43200 << QDate() << true << "48.117300 11.516667";
    QTest::newRow("ZDA before GPS") << Line("GPZDA,235960,01,01,1979,,") << 86399 << QDate() << false << "";
}

void tst_NmeaParser::timeAndPosition()
{
    QFETCH(QByteArray, line);
    NMEA_SENTENCE s;
    QCOMPARE(CNmeaParser::ParseLine(line, s), CNmeaParser::RESULT_OK);
    QTEST(s.bHasTime ? s.nSecondOfDay : -1, "second");
    QTEST(s.bHasDate ? s.date : QDate(), "date");
    QTEST(s.bFixValid, "fix");
    QTEST(s.bHasPosition ? QString::asprintf("%.6f %.6f", s.dLatitude, s.dLongitude) : QString(), "position");
}

void tst_NmeaParser::randomBytesAreSkipped()
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

void tst_NmeaParser::epochs_data()
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

void tst_NmeaParser::epochs()
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

QTEST_APPLESS_MAIN(tst_NmeaParser)
#include "tst_nmeaparser.moc"
