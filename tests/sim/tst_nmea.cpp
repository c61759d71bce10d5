// The stand-in service's NMEA reader without a socket: lines and epochs that
// the captures do not hold, then real receiver captures replayed whole and
// compared with values read from the capture files by hand.

#include "nmeareplay.h"

#include <QtTest>

namespace {

QByteArray Line(const char* pszBody)
{
    return CNmeaParser::Finish(pszBody).trimmed();
}

} // namespace

class tst_Nmea : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("parsed"); // the result, then any second of the day and date

        QTest::newRow("lower-case checksum")
            << QByteArray("$GNGSA,A,3,29,20,18,16,51,13,44,26,,,,,0.99,0.54,0.83,1*0e") << "ok";
        QTest::newRow("checksum one off")
            << QByteArray("$GNZDA,000941.00,10,01,2017,00,00*71") << "bad checksum";
        QTest::newRow("control byte inside") << QByteArray("$GPGGA,\x01,,,,,0,,,,M,,M,,*66") << "malformed";
        // The synthesiser's checksum keeps its leading zero (02 here).
        QTest::newRow("checksum below 0x10") << Line("GPTXT,a") << "other";
        QTest::newRow("GSV with a broken group") << Line("GPGSV,1,1,02,05,45,347,45,07,45") << "malformed";
        QTest::newRow("GSA letter as PRN") << Line("GPGSA,A,3,X5,,,,,,,,,,,,1.0,1.0,1.0") << "malformed";
        QTest::newRow("GGA, hour 25 and minute 60")
            << Line("GPGGA,250000,4860.000,N,01131.000,E,1,05,1.0,5.0,M,,M,,") << "ok";
        QTest::newRow("RMC of 1999") << Line("GPRMC,120000,A,4807.038,N,01131.000,E,0.0,0.0,311299,,,A")
                                     << "ok 43200 1999-12-31";
        QTest::newRow("ZDA before GPS") << Line("GPZDA,235960,01,01,1979,,") << "ok 86399";
    }
    void parse()
    {
        QFETCH(QByteArray, line);
        const char* const RESULTS[] = {"ok", "other", "empty", "malformed", "bad checksum"};
        NMEA_SENTENCE s;
        QString strParsed = RESULTS[CNmeaParser::ParseLine(line, s)];
        if (s.bHasTime)
            strParsed += QString(" %1").arg(s.nSecondOfDay);
        if (s.bHasDate)
            strParsed += s.date.toString(" yyyy-MM-dd");
        QTEST(strParsed, "parsed");
    }

    // Without a time an epoch ends where its first sentence type comes again.
    void epochsWithoutATime()
    {
        const QByteArray gga = "$GPGGA,,,,,,0,,,,M,,M,,*66", gsa = "$GPGSA,A,1,,,,,,,,,,,,,,,*1E",
                         rmc = "$GPRMC,,V,,,,,,,,,,N*53";
        CNmeaEpochAssembler assembler;
        NMEA_EPOCH epoch;
        for (const QByteArray& line : {gga, gsa, rmc, gga, gsa, rmc, gga, gsa, rmc})
            assembler.AddLine(line, epoch);
        QVERIFY(assembler.Flush(epoch));
        QCOMPARE(assembler.Counters().nEpochs, 3);
        QCOMPARE(epoch.sentences.size(), 3);
    }

    // The capture file is the row's name.
    void capture_data()
    {
        // Epochs with a time; lines skipped (malformed or with a bad checksum) and lines with noise in front;
        // sentences forwarded: every line but the skipped ones.
        QTest::addColumn<QString>("counts");
        QTest::addColumn<QString>("noFix");
        QTest::addColumn<QString>("firstFix"); // latitude, longitude, altitude, time
        // Status: 0 in view, 1 used, 2 tracked but not used, 3 used with a weak signal.
        QTest::addColumn<QStringList>("satellites");

        using S = QStringList;
        // clang-format off
        QTest::newRow("hi305n-sirf2")
            << "74 epochs, 12 in view at most, 0 by ZDA, 0 skipped, 0 noisy, 325 sentences"
            << "09:52:55 09:52:57 09:52:58 09:53:00 09:53:01 09:53:03"
            << "-27.21086667 153.05232833 3.0 1176025984"
            << S{"09:53:16 PRN 5 at 45/347, SNR 45, status 1; 8 tracked"};
        // The noisy first line is forwarded without its noise, the cut last one not at all.
        QTest::newRow("max-m8q-truncated")
            << "72 epochs, 25 in view at most, 72 by ZDA, 1 skipped, 1 noisy, 1008 sentences"
            << "" << "44.06889783 -121.31427133 1144.8 1484006981"
            << S{"00:10:00 PRN 70 at 76/297, SNR 16, status 3; 17 tracked"};
        // Without a fix no satellite is used; one without a place is still listed.
        QTest::newRow("um621-fixloss")
            << "20 epochs, 44 in view at most, 0 by ZDA, 0 skipped, 0 noisy, 882 sentences"
            << "00:07:06 00:07:07 00:07:08 00:07:09" << "44.06883233 -121.31410217 1109.2 1717891613"
            << S{"00:07:07 PRN 244 at 59/199, SNR 13, status 2; 4 tracked",
                 "00:07:12 PRN 89 at 0/0, SNR 41, status 2; 28 tracked"};
        // PRN 27 comes twice with its best signal; 201 has no signal.
        QTest::newRow("zed-f9p-dunedin")
            << "29 epochs, 41 in view at most, 29 by ZDA, 0 skipped, 0 noisy, 1015 sentences"
            << "" << "-45.87756717 170.50011133 14.2 1555029596"
            << S{"00:40:10 PRN 27 at 16/218, SNR 31, status 1; 22 tracked",
                 "00:40:10 PRN 201 at 29/321, SNR 0, status 0; 22 tracked"};
        // clang-format on
    }
    void capture()
    {
        CNmeaReplay replay;
        QVERIFY(replay.Load(qEnvironmentVariable("TELLURIX_SOURCE_DIR") + "/tests/data/" +
                            QTest::currentDataTag() + ".nmea"));
        CNmeaGpsState state;
        QMap<QString, BRFN::CMD_DATA_GPS_STATUS> records; // of the epochs with a time, by "hh:mm:ss"
        int nSentences = 0;
        for (int i = 0; i < replay.EpochCount(); ++i) {
            const NMEA_EPOCH& epoch = replay.Epoch(i);
            for (const QByteArray& sentence : epoch.sentences) {
                NMEA_SENTENCE parsed;
                bool bNoise = true;
                const CNmeaParser::Result result = CNmeaParser::ParseLine(sentence, parsed, &bNoise);
                QVERIFY(result == CNmeaParser::RESULT_OK || result == CNmeaParser::RESULT_OTHER);
                QVERIFY(!bNoise && sentence.endsWith("\r\n"));
                ++nSentences;
            }
            const BRFN::CMD_DATA_GPS_STATUS gps = state.Apply(epoch);
            if (epoch.bHasTime)
                records.insert(QTime(0, 0).addSecs(epoch.nSecondOfDay).toString("hh:mm:ss"), gps);
        }
        int nMaxInView = 0, nZda = 0;
        QStringList noFix; // no time flag: the displays show no fix
        const BRFN::CMD_DATA_GPS_STATUS* pFirstFix = nullptr;
        for (auto it = records.begin(); it != records.end(); ++it) {
            const BRFN::CMD_DATA_GPS_STATUS& gps = it.value();
            for (int i = gps.nSatsInView; i < BRFN::MAX_SATELLITES; ++i)
                QCOMPARE(gps.aSats[i].nPRN, 0);
            if (gps.nGPSTimeFlag == 0)
                noFix << it.key();
            else if (!pFirstFix)
                pFirstFix = &gps;
            nMaxInView = std::max(nMaxInView, gps.nSatsInView);
            nZda += gps.nTimeSource == 1;
        }
        const NMEA_COUNTERS& n = replay.Counters();
        QTEST(QString::asprintf(
                  "%d epochs, %d in view at most, %d by ZDA, %d skipped, %d noisy, %d sentences",
                  int(records.size()), nMaxInView, nZda, n.nMalformed + n.nBadChecksum, n.nNoise, nSentences),
              "counts");
        QTEST(noFix.join(' '), "noFix");
        QVERIFY(pFirstFix);
        const BRFN::CMD_DATA_GPS_STATUS& first = *pFirstFix;
        QTEST(QString::asprintf("%.8f %.8f %.1f %d", first.dLatitude, first.dLongitude, first.dAltitude,
                                first.nGPSTime),
              "firstFix");
        QFETCH(QStringList, satellites);
        for (const QString& expected : satellites) {
            const BRFN::CMD_DATA_GPS_STATUS g = records.value(expected.left(8));
            const int nPRN = expected.section(' ', 2, 2).toInt();
            const BRFN::SATELLITE_DATA* pEnd = g.aSats + g.nSatsInView;
            const BRFN::SATELLITE_DATA* pSat =
                std::find_if(g.aSats, pEnd, [nPRN](const BRFN::SATELLITE_DATA& s) { return s.nPRN == nPRN; });
            QVERIFY2(pSat != pEnd, qPrintable(expected));
            QCOMPARE(QString::asprintf("%s PRN %d at %d/%d, SNR %d, status %d; %d tracked",
                                       qPrintable(expected.left(8)), nPRN, pSat->nElevation, pSat->nAzimuth,
                                       pSat->nSNR, pSat->nStatus, g.nSatsTracked),
                     expected);
        }
    }
};

QTEST_APPLESS_MAIN(tst_Nmea)
#include "tst_nmea.moc"
