// Position and altitude texts over a table of boundary values; grid squares against locators
// worked out from the Maidenhead definition with the constants as written (0.083333, not 1/12).

#include "cnavconversions.h"

#include <QtTest>

#include <limits>

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const QString kDeg = QString(QChar(0x00B0));
} // namespace

class tst_CNavConversions : public QObject
{
    Q_OBJECT

private slots:
    void text_data()
    {
        QTest::addColumn<char>("kind"); // latitude, longitude, altitude
        QTest::addColumn<uint>("setting");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        // clang-format off
    QTest::newRow("lat -33.123456 ss")   << 'N' << 1u << -33.123456 << "S 33" + kDeg + " 07' 24.444\"";
    QTest::newRow("59.99999' no carry")  << 'N' << 0u << 10 + 59.99999 / 60 << "N 10" + kDeg + " 60.0000'";
    QTest::newRow("59.99999' ss, no carry") << 'N' << 1u << 10 + 59.99999 / 60 << "N 10" + kDeg + " 60' 00.000\"";
    QTest::newRow("lat -90 dd.dd")       << 'N' << 2u << -90.0 << "S 90.000000" + kDeg;
    QTest::newRow("lat NaN")             << 'N' << 0u << kNaN << "N 00" + kDeg + " 00.0000'";
    QTest::newRow("lat format 3")        << 'N' << 3u << 45.5 << "ERROR";
    QTest::newRow("lon -0 dd.dd")        << 'E' << 2u << -0.0 << "E 000.000000" + kDeg;
    QTest::newRow("lon -122.25 dd mm")   << 'E' << 0u << -122.25 << "W 122" + kDeg + " 15.0000'";
    QTest::newRow("lon +180 ss")         << 'E' << 1u << 180.0 << "E 180" + kDeg + " 00' 00.000\"";
    QTest::newRow("lon 1e300 saturates") << 'E' << 0u << 1e300 << "E 2147483647" + kDeg + " 214748.3647'";
    QTest::newRow("lon format 2^32-1")   << 'E' << 0xFFFFFFFFu << -122.25 << "fail";
    QTest::newRow("feet constant as written") << 'A' << 0u << 1e12 << "3280839895010.0 ft";
    // Longer than the 64-byte first try: formatted again at its full length.
    QTest::newRow("1e300 m, over 300 bytes")<< 'A' << 1u << 1e300 << QString::number(1e300, 'f', 1) + " m";
    QTest::newRow("units 5")             << 'A' << 5u << 1609.344 << "-1.0 err";
        // clang-format on
    }

    void text()
    {
        QFETCH(char, kind);
        QFETCH(uint, setting);
        QFETCH(double, value);
        CNavConversions nav(kind == 'A' ? 0u : setting, kind == 'A' ? setting : 0u);
        const std::string str = kind == 'N'   ? nav.FormatLatitude(value)
                                : kind == 'E' ? nav.FormatLongitude(value)
                                              : nav.FormatAltitude(value);
        QTEST(QString::fromStdString(str), "text");
    }

    void gridSquare_data()
    {
        QTest::addColumn<double>("lat");
        QTest::addColumn<double>("lon");
        QTest::addColumn<QString>("locator");
        QTest::newRow("lat constants as written") << -45.962503 << 170.5028 << "RE54ga09"; // exact: ga08
        QTest::newRow("near north-east corner") << 89.99 << 179.99 << "RR99xx87";
        QTest::newRow("near south-west corner") << -89.99 << -179.99 << "AA00aa12";
        QTest::newRow("lon constants as written") << -52.3999095 << -105.2250009 << "DD77jo34"; // exact: jo24
    }

    void gridSquare()
    {
        QFETCH(double, lat);
        QFETCH(double, lon);
        QTEST(QString::fromStdString(CNavConversions(0, 0).GridSquare(lat, lon)), "locator");
    }
};

QTEST_APPLESS_MAIN(tst_CNavConversions)
#include "tst_cnavconversions.moc"
