// Replays real receiver captures through the stand-in service's reader and
// compares the GPS records with values read from the capture files by hand
// (and with an independent script): fixes, positions, satellites.

#include "nmeareplay.h"

#include <QtTest>

namespace {

struct RECORD
{
    BRFN::CMD_DATA_GPS_STATUS gps;
    bool bFix = false;
};

QString DataFile(const QString& strName)
{
    return qEnvironmentVariable("TELLURIX_SOURCE_DIR") + "/tests/data/" + strName;
}

int Second(const QString& strTime)
{
    return QTime::fromString(strTime, "hh:mm:ss").msecsSinceStartOfDay() / 1000;
}

QString Time(int nSecond)
{
    return QTime(0, 0).addSecs(nSecond).toString("hh:mm:ss");
}

// Replays the whole capture once: one record per epoch with a time.
QMap<int, RECORD> Replay(const QString& strFile, CNmeaReplay& replay)
{
    QMap<int, RECORD> records;
    if (!replay.Load(DataFile(strFile + ".nmea")))
        return records;
    CNmeaGpsState state;
    for (int i = 0; i < replay.EpochCount(); ++i) {
        RECORD r;
        r.gps = state.Apply(replay.Epoch(i));
        r.bFix = state.HasFix();
        if (replay.Epoch(i).bHasTime)
            records.insert(replay.Epoch(i).nSecondOfDay, r);
    }
    return records;
}

} // namespace

class tst_NmeaCaptures : public QObject
{
    Q_OBJECT

private slots:
    void summary_data();
    void summary();
    void satellite_data();
    void satellite();
};

void tst_NmeaCaptures::summary_data()
{
    QTest::addColumn<int>("epochs");
    QTest::addColumn<int>("fixEpochs");
    QTest::addColumn<QString>("noFix");
    QTest::addColumn<QString>("firstFix");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<double>("altitude");
    QTest::addColumn<int>("firstFixTime");
    QTest::addColumn<int>("maxInView");
    QTest::addColumn<int>("zdaEpochs");
    QTest::addColumn<int>("skippedLines");
    QTest::addColumn<int>("noiseLines");
    QTest::addColumn<int>("sentences"); // forwarded: every line but the skipped ones

    // The capture file is the row's name.
    // clang-format off
    QTest::newRow("hi305n-sirf2") << 74 << 68 << "09:52:55 09:52:57 09:52:58 09:53:00 09:53:01 09:53:03"
        << "09:53:04" << -27.210866667 << 153.052328333 << 3.0 << 1176025984 << 12 << 0 << 0 << 0 << 325;
    // The noisy first line is forwarded without its noise, the cut last one not at all.
    QTest::newRow("max-m8q-truncated") << 72 << 72 << ""
        << "00:09:41" << 44.068897833 << -121.314271333 << 1144.8 << 1484006981 << 25 << 72 << 1 << 1 << 1008;
    QTest::newRow("um621-fixloss") << 20 << 16 << "00:07:06 00:07:07 00:07:08 00:07:09"
        << "00:06:53" << 44.068832333 << -121.314102167 << 1109.2 << 1717891613 << 44 << 0 << 0 << 0 << 882;
    QTest::newRow("zed-f9p-dunedin") << 29 << 29 << ""
        << "00:39:56" << -45.877567167 << 170.500111333 << 14.2 << 1555029596 << 41 << 29 << 0 << 0 << 1015;
    // clang-format on
}

void tst_NmeaCaptures::summary()
{
    const QString file = QTest::currentDataTag();
    CNmeaReplay replay;
    const QMap<int, RECORD> records = Replay(file, replay);
    QVERIFY(!records.isEmpty());
    QTEST(records.size(), "epochs");
    int nFix = 0, nMaxInView = 0, nZda = 0, nFirstFix = -1, nSentences = 0;
    QStringList noFix;
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
    for (auto it = records.begin(); it != records.end(); ++it) {
        const RECORD& r = it.value();
        for (int i = r.gps.nSatsInView; i < BRFN::MAX_SATELLITES; ++i)
            QCOMPARE(r.gps.aSats[i].nPRN, 0);
        if (r.bFix && nFirstFix < 0)
            nFirstFix = it.key();
        if (!r.bFix)
            noFix << Time(it.key());
        nFix += r.bFix;
        QCOMPARE(r.gps.nGPSTimeFlag, r.bFix ? 1 : 0);
        nMaxInView = std::max(nMaxInView, r.gps.nSatsInView);
        nZda += r.gps.nTimeSource == 1;
    }
    QTEST(nFix, "fixEpochs");
    QTEST(noFix.join(' '), "noFix");
    QTEST(Time(nFirstFix), "firstFix");
    const BRFN::CMD_DATA_GPS_STATUS& first = records.value(nFirstFix).gps;
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QVERIFY2(qAbs(first.dLatitude - latitude) < 1e-8, qPrintable(QString::number(first.dLatitude, 'f', 9)));
    QVERIFY2(qAbs(first.dLongitude - longitude) < 1e-8,
             qPrintable(QString::number(first.dLongitude, 'f', 9)));
    QTEST(first.dAltitude, "altitude");
    QTEST(first.nGPSTime, "firstFixTime");
    QTEST(nMaxInView, "maxInView");
    QTEST(nZda, "zdaEpochs");
    QTEST(replay.Counters().nMalformed + replay.Counters().nBadChecksum, "skippedLines");
    QTEST(replay.Counters().nNoise, "noiseLines");
    QTEST(nSentences, "sentences");
}

void tst_NmeaCaptures::satellite_data()
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
        <<"00:07:07" << 244 << 59 << 199 << 13 << false << 2 << 4;
    QTest::newRow("um621 312") << "um621-fixloss" << "00:07:12" << 312 << 56 << 312 << 44 << true << 1 << 28;
    QTest::newRow("um621 89 no place") << "um621-fixloss"
        <<"00:07:12" << 89 << 0 << 0 << 41 << false << 2 << 28;
    QTest::newRow("zed 27 best of two") << "zed-f9p-dunedin"
        <<"00:40:10" << 27 << 16 << 218 << 31 << true << 1 << 22;
    QTest::newRow("zed 201 no id") << "zed-f9p-dunedin"
        <<"00:40:10" << 201 << 29 << 321 << 0 << false << 0 << 22;
    // clang-format on
}

void tst_NmeaCaptures::satellite()
{
    QFETCH(QString, file);
    QFETCH(QString, time);
    QFETCH(int, prn);
    CNmeaReplay replay;
    const BRFN::CMD_DATA_GPS_STATUS g = Replay(file, replay).value(Second(time)).gps;
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

QTEST_APPLESS_MAIN(tst_NmeaCaptures)
#include "tst_nmeacaptures.moc"
