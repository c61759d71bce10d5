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
    const QTime t = QTime::fromString(strTime, "hh:mm:ss");
    return t.msecsSinceStartOfDay() / 1000;
}

QString Time(int nSecond)
{
    return QTime(0, 0).addSecs(nSecond).toString("hh:mm:ss");
}

// Replays the whole capture once: one record per epoch with a time.
QMap<int, RECORD> Replay(const QString& strPath, CNmeaReplay& replay)
{
    QMap<int, RECORD> records;
    QString strError;
    if (!replay.Load(strPath, &strError)) {
        qWarning() << strError;
        return records;
    }
    CNmeaGpsState state;
    for (int i = 0; i < replay.EpochCount(); ++i) {
        const NMEA_EPOCH& e = replay.Epoch(i);
        RECORD r;
        r.gps = state.Apply(e);
        r.bFix = state.HasFix();
        if (e.bHasTime)
            records.insert(e.nSecondOfDay, r);
    }
    return records;
}

const BRFN::SATELLITE_DATA* Find(const BRFN::CMD_DATA_GPS_STATUS& g, int nPRN)
{
    for (int i = 0; i < g.nSatsInView; ++i) {
        if (g.aSats[i].nPRN == nPRN)
            return &g.aSats[i];
    }
    return nullptr;
}

} // namespace

class tst_NmeaCaptures : public QObject
{
    Q_OBJECT

private slots:
    void summary_data();
    void summary();
    void epoch_data();
    void epoch();
    void satellite_data();
    void satellite();
    void sentencesAreForwardedWithoutNoise();
    void sharedCaptures_data();
    void sharedCaptures();
};

void tst_NmeaCaptures::summary_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("epochs");
    QTest::addColumn<int>("fixEpochs");
    QTest::addColumn<QString>("noFix");
    QTest::addColumn<QString>("firstFix");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<double>("altitude");
    QTest::addColumn<int>("maxInView");
    QTest::addColumn<int>("maxUsed");
    QTest::addColumn<int>("zdaEpochs");
    QTest::addColumn<int>("skippedLines");
    QTest::addColumn<int>("noiseLines");

    QTest::newRow("hi305n-sirf2") << "hi305n-sirf2.nmea" << 74 << 68
                                  << "09:52:55 09:52:57 09:52:58 09:53:00 09:53:01 09:53:03"
                                  << "09:53:04" << -27.210866667 << 153.052328333 << 3.0 << 12 << 9 << 0 << 0
                                  << 0;
    QTest::newRow("max-m8q-truncated")
        << "max-m8q-truncated.nmea" << 72 << 72 << ""
        << "00:09:41" << 44.068897833 << -121.314271333 << 1144.8 << 25 << 14 << 72 << 1 << 1;
    QTest::newRow("um621-fixloss") << "um621-fixloss.nmea" << 20 << 16
                                   << "00:07:06 00:07:07 00:07:08 00:07:09"
                                   << "00:06:53" << 44.068832333 << -121.314102167 << 1109.2 << 44 << 29 << 0
                                   << 0 << 0;
    QTest::newRow("zed-f9p-dunedin") << "zed-f9p-dunedin.nmea" << 29 << 29 << ""
                                     << "00:39:56" << -45.877567167 << 170.500111333 << 14.2 << 41 << 20 << 29
                                     << 0 << 0;
}

void tst_NmeaCaptures::summary()
{
    QFETCH(QString, file);
    CNmeaReplay replay;
    const QMap<int, RECORD> records = Replay(DataFile(file), replay);
    QVERIFY(!records.isEmpty());

    QTEST(records.size(), "epochs");
    int nFix = 0, nMaxInView = 0, nMaxUsed = 0, nZda = 0;
    int nFirstFix = -1;
    QStringList noFix;
    for (auto it = records.begin(); it != records.end(); ++it) {
        const RECORD& r = it.value();
        if (r.bFix) {
            ++nFix;
            if (nFirstFix < 0)
                nFirstFix = it.key();
        } else {
            noFix << Time(it.key());
        }
        QCOMPARE(r.gps.nGPSTimeFlag, r.bFix ? 1 : 0);
        nMaxInView = std::max(nMaxInView, r.gps.nSatsInView);
        int nUsed = 0;
        for (const BRFN::SATELLITE_DATA& s : r.gps.aSats)
            nUsed += s.bUsed ? 1 : 0;
        nMaxUsed = std::max(nMaxUsed, nUsed);
        nZda += r.gps.nTimeSource == 1 ? 1 : 0;
    }
    QTEST(nFix, "fixEpochs");
    QTEST(noFix.join(' '), "noFix");
    QTEST(Time(nFirstFix), "firstFix");
    const BRFN::CMD_DATA_GPS_STATUS& first = records.value(nFirstFix).gps;
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(double, altitude);
    QVERIFY2(qAbs(first.dLatitude - latitude) < 1e-8, qPrintable(QString::number(first.dLatitude, 'f', 9)));
    QVERIFY2(qAbs(first.dLongitude - longitude) < 1e-8,
             qPrintable(QString::number(first.dLongitude, 'f', 9)));
    QCOMPARE(first.dAltitude, altitude);
    QTEST(nMaxInView, "maxInView");
    QTEST(nMaxUsed, "maxUsed");
    QTEST(nZda, "zdaEpochs");
    const NMEA_COUNTERS& c = replay.Counters();
    QTEST(c.nMalformed + c.nBadChecksum, "skippedLines");
    QTEST(c.nNoise, "noiseLines");
}

void tst_NmeaCaptures::epoch_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("time");
    QTest::addColumn<bool>("fix");
    QTest::addColumn<int>("inView");
    QTest::addColumn<int>("tracked");
    QTest::addColumn<int>("gpsTime");
    QTest::addColumn<int>("timeSource");

    QTest::newRow("hi305n fix") << "hi305n-sirf2.nmea"
                                << "09:53:16" << true << 12 << 8 << 1176025996 << 0;
    QTest::newRow("max-m8q with ZDA") << "max-m8q-truncated.nmea"
                                      << "00:10:00" << true << 25 << 17 << 1484007000 << 1;
    QTest::newRow("um621 fix lost") << "um621-fixloss.nmea"
                                    << "00:07:07" << false << 43 << 4 << 1717891627 << 0;
    QTest::newRow("um621 fix back") << "um621-fixloss.nmea"
                                    << "00:07:12" << true << 44 << 28 << 1717891632 << 0;
    QTest::newRow("zed-f9p four systems") << "zed-f9p-dunedin.nmea"
                                          << "00:40:10" << true << 41 << 22 << 1555029610 << 1;
}

void tst_NmeaCaptures::epoch()
{
    QFETCH(QString, file);
    QFETCH(QString, time);
    CNmeaReplay replay;
    const QMap<int, RECORD> records = Replay(DataFile(file), replay);
    QVERIFY(records.contains(Second(time)));
    const RECORD r = records.value(Second(time));
    QTEST(r.bFix, "fix");
    QTEST(r.gps.nSatsInView, "inView");
    QTEST(r.gps.nSatsTracked, "tracked");
    QTEST(r.gps.nGPSTime, "gpsTime");
    QTEST(r.gps.nTimeSource, "timeSource");
    // Every slot past the satellites in view is empty.
    for (int i = r.gps.nSatsInView; i < BRFN::MAX_SATELLITES; ++i)
        QCOMPARE(r.gps.aSats[i].nPRN, 0);
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

    QTest::newRow("hi305n 5 used") << "hi305n-sirf2.nmea"
                                   << "09:53:16" << 5 << 45 << 347 << 45 << true << 1;
    QTest::newRow("hi305n 2 no signal") << "hi305n-sirf2.nmea"
                                        << "09:53:16" << 2 << 15 << 123 << 0 << false << 0;
    QTest::newRow("hi305n 10 tracked") << "hi305n-sirf2.nmea"
                                       << "09:53:16" << 10 << 44 << 132 << 23 << false << 2;
    QTest::newRow("m8q GLONASS 70 weak") << "max-m8q-truncated.nmea"
                                         << "00:10:00" << 70 << 76 << 297 << 16 << true << 3;
    QTest::newRow("m8q SBAS 46") << "max-m8q-truncated.nmea"
                                 << "00:10:00" << 46 << 31 << 150 << 0 << false << 0;
    QTest::newRow("m8q GPS 9") << "max-m8q-truncated.nmea"
                               << "00:10:00" << 9 << 67 << 312 << 40 << true << 1;
    QTest::newRow("um621 no fix 10") << "um621-fixloss.nmea"
                                     << "00:07:07" << 10 << 73 << 12 << 13 << false << 2;
    QTest::newRow("um621 no fix BeiDou 44") << "um621-fixloss.nmea"
                                            << "00:07:07" << 244 << 59 << 199 << 13 << false << 2;
    QTest::newRow("um621 Galileo 12") << "um621-fixloss.nmea"
                                      << "00:07:12" << 312 << 56 << 312 << 44 << true << 1;
    QTest::newRow("um621 GLONASS 89 no position") << "um621-fixloss.nmea"
                                                  << "00:07:12" << 89 << 0 << 0 << 41 << false << 2;
    QTest::newRow("um621 BeiDou 36 weak") << "um621-fixloss.nmea"
                                          << "00:07:12" << 236 << 2 << 97 << 18 << true << 3;
    QTest::newRow("zed GPS 27 best of two signals") << "zed-f9p-dunedin.nmea"
                                                    << "00:40:10" << 27 << 16 << 218 << 31 << true << 1;
    QTest::newRow("zed Galileo 18 not used") << "zed-f9p-dunedin.nmea"
                                             << "00:40:10" << 318 << 50 << 265 << 31 << false << 2;
    QTest::newRow("zed BeiDou 22 weak") << "zed-f9p-dunedin.nmea"
                                        << "00:40:10" << 222 << 82 << 135 << 15 << true << 3;
    QTest::newRow("zed BeiDou 1 empty signal id") << "zed-f9p-dunedin.nmea"
                                                  << "00:40:10" << 201 << 29 << 321 << 0 << false << 0;
}

void tst_NmeaCaptures::satellite()
{
    QFETCH(QString, file);
    QFETCH(QString, time);
    QFETCH(int, prn);
    CNmeaReplay replay;
    const QMap<int, RECORD> records = Replay(DataFile(file), replay);
    QVERIFY(records.contains(Second(time)));
    const BRFN::CMD_DATA_GPS_STATUS g = records.value(Second(time)).gps;
    const BRFN::SATELLITE_DATA* pSat = Find(g, prn);
    QVERIFY2(pSat, qPrintable(QString("PRN %1 missing").arg(prn)));
    QTEST(pSat->nElevation, "elevation");
    QTEST(pSat->nAzimuth, "azimuth");
    QTEST(pSat->nSNR, "snr");
    QTEST(pSat->bUsed, "used");
    QTEST(pSat->nStatus, "status");
}

void tst_NmeaCaptures::sentencesAreForwardedWithoutNoise()
{
    CNmeaReplay replay;
    QVERIFY(replay.Load(DataFile("max-m8q-truncated.nmea")));
    // The first line is noise in front of a valid RMC: only the RMC goes on.
    const QByteArray first = replay.Epoch(0).sentences.first();
    QCOMPARE(first, QByteArray("$GNRMC,000941.00,A,4404.13387,N,12118.85628,W,0.029,,100117,,,A*7D\r\n"));
    int nSentences = 0;
    for (int i = 0; i < replay.EpochCount(); ++i) {
        for (const QByteArray& s : replay.Epoch(i).sentences) {
            NMEA_SENTENCE parsed;
            const CNmeaParser::Result result = CNmeaParser::ParseLine(s, parsed);
            QVERIFY(result == CNmeaParser::RESULT_OK || result == CNmeaParser::RESULT_OTHER);
            QVERIFY(s.endsWith("\r\n"));
            ++nSentences;
        }
    }
    // 1009 lines: the cut last line is dropped, the noisy first line kept.
    QCOMPARE(nSentences, 1008);
    // Played over and over.
    bool bRestarted = false;
    for (int i = 0; i < replay.EpochCount(); ++i)
        replay.Next(&bRestarted);
    QVERIFY(!bRestarted);
    QCOMPARE(replay.Next(&bRestarted).nSecondOfDay, Second("00:09:41"));
    QVERIFY(bRestarted);
    QCOMPARE(replay.Pass(), 2);
}

void tst_NmeaCaptures::sharedCaptures_data()
{
    // All eight shared captures, where the shared folder sits beside the
    // source tree: epochs (with and without a time) and the most satellites in view.
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("epochs");
    QTest::addColumn<int>("timedEpochs");
    QTest::addColumn<int>("maxInView");
    QTest::newRow("ec25-auckland") << "ec25-auckland.nmea" << 42 << 34 << 19;
    QTest::newRow("he910") << "he910.nmea" << 223 << 186 << 7;
    QTest::newRow("hi305n-sirf2") << "hi305n-sirf2.nmea" << 74 << 74 << 12;
    QTest::newRow("max-m8q-truncated") << "max-m8q-truncated.nmea" << 72 << 72 << 25;
    QTest::newRow("neo-m9n") << "neo-m9n.nmea" << 61 << 61 << 43;
    QTest::newRow("s2525f8-bd-dgps") << "s2525f8-bd-dgps.nmea" << 96 << 96 << 16;
    QTest::newRow("um621-fixloss") << "um621-fixloss.nmea" << 20 << 20 << 44;
    QTest::newRow("zed-f9p-dunedin") << "zed-f9p-dunedin.nmea" << 29 << 29 << 41;
}

void tst_NmeaCaptures::sharedCaptures()
{
    QFETCH(QString, file);
    const QString strPath = qEnvironmentVariable("TELLURIX_SOURCE_DIR") + "/../shared/nmea-captures/" + file;
    if (!QFile::exists(strPath))
        QSKIP("the shared capture folder is not beside the source tree");
    CNmeaReplay replay;
    QVERIFY(replay.Load(strPath));
    CNmeaGpsState state;
    int nTimed = 0, nFix = 0, nMaxInView = 0, nMaxTracked = 0, nMaxUsed = 0;
    for (int i = 0; i < replay.EpochCount(); ++i) {
        const BRFN::CMD_DATA_GPS_STATUS g = state.Apply(replay.Epoch(i));
        nTimed += replay.Epoch(i).bHasTime ? 1 : 0;
        nFix += state.HasFix() ? 1 : 0;
        nMaxInView = std::max(nMaxInView, g.nSatsInView);
        nMaxTracked = std::max(nMaxTracked, g.nSatsTracked);
        int nUsed = 0;
        for (const BRFN::SATELLITE_DATA& s : g.aSats)
            nUsed += s.bUsed ? 1 : 0;
        nMaxUsed = std::max(nMaxUsed, nUsed);
    }
    const NMEA_COUNTERS& c = replay.Counters();
    qInfo().noquote()
        << QString("%1: %2 epochs (%3 timed), %4 with a fix, in view max %5, tracked max %6, used max "
                   "%7; lines %8: %9 decoded, %10 other types, %11 malformed, %12 bad checksum")
               .arg(file)
               .arg(replay.EpochCount())
               .arg(nTimed)
               .arg(nFix)
               .arg(nMaxInView)
               .arg(nMaxTracked)
               .arg(nMaxUsed)
               .arg(c.nLines)
               .arg(c.nDecoded)
               .arg(c.nOther)
               .arg(c.nMalformed)
               .arg(c.nBadChecksum);
    QTEST(replay.EpochCount(), "epochs");
    QTEST(nTimed, "timedEpochs");
    QTEST(nMaxInView, "maxInView");
    QCOMPARE(c.nBadChecksum, 0);
}

QTEST_APPLESS_MAIN(tst_NmeaCaptures)
#include "tst_nmeacaptures.moc"
