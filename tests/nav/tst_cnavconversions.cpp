// Position, altitude and grid-square texts over tables of boundary values;
// grid squares against the published Maidenhead definition computed here.

#include "cnavconversions.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const QString kDeg = QString(QChar(0x00B0));

QString Text(const std::string& str)
{
    return QString::fromUtf8(str.data(), int(str.size()));
}

// The locator by its definition: 20° x 10° fields, 2° x 1° squares,
// 24 subsquares a side and 10 extended squares a subsquare side.
QString Maidenhead(double dLat, double dLon)
{
    const double dL = dLon + 180.0, dA = dLat + 90.0;
    const int aIdx[8] = {int(std::floor(dL / 20)),
                         int(std::floor(dA / 10)),
                         int(std::floor(std::fmod(dL, 20) / 2)),
                         int(std::floor(std::fmod(dA, 10))),
                         int(std::floor(std::fmod(dL, 2) * 12)),
                         int(std::floor(std::fmod(dA, 1) * 24)),
                         int(std::floor(std::fmod(dL, 1.0 / 12) * 120)),
                         int(std::floor(std::fmod(dA, 1.0 / 24) * 240))};
    const char aBase[8] = {'A', 'A', '0', '0', 'a', 'a', '0', '0'};
    QString str;
    for (int i = 0; i < 8; ++i)
        str += QChar(aBase[i] + aIdx[i]);
    return str;
}
} // namespace

class tst_CNavConversions : public QObject
{
    Q_OBJECT

private slots:
    void position_data();
    void position();
    void altitude_data();
    void altitude();
    void gridSquare_data();
    void gridSquare();
    void formatStringLength_data();
    void formatStringLength();
};

void tst_CNavConversions::position_data()
{
    QTest::addColumn<uint>("format");
    QTest::addColumn<bool>("longitude");
    QTest::addColumn<double>("degrees");
    QTest::addColumn<QString>("text");
    const double d5999999 = 10.0 + 59.99999 / 60.0;
    // clang-format off
    QTest::newRow("lat 0, dd mm")         << 0u << false << 0.0 << "N 00" + kDeg + " 00.0000'";
    QTest::newRow("lat -0 is north")      << 0u << false << -0.0 << "N 00" + kDeg + " 00.0000'";
    QTest::newRow("lat 45.5 dd mm")       << 0u << false << 45.5 << "N 45" + kDeg + " 30.0000'";
    QTest::newRow("lat 45.5 dd mm ss")    << 1u << false << 45.5 << "N 45" + kDeg + " 30' 00.000\"";
    QTest::newRow("lat 45.5 dd.dd")       << 2u << false << 45.5 << "N 45.500000" + kDeg;
    QTest::newRow("lat -33.123456 ss")    << 1u << false << -33.123456 << "S 33" + kDeg + " 07' 24.444\"";
    QTest::newRow("59.99999' no carry")   << 0u << false << d5999999 << "N 10" + kDeg + " 60.0000'";
    QTest::newRow("59.99999' ss no carry") << 1u << false << d5999999 << "N 10" + kDeg + " 60' 00.000\"";
    QTest::newRow("half up to 0.0001'")   << 0u << false << 0.00005 / 60 + 1e-12 << "N 00" + kDeg + " 00.0001'";
    QTest::newRow("lat +90")              << 1u << false << 90.0 << "N 90" + kDeg + " 00' 00.000\"";
    QTest::newRow("lat -90")              << 2u << false << -90.0 << "S 90.000000" + kDeg;
    QTest::newRow("lat NaN")              << 0u << false << kNaN << "N 00" + kDeg + " 00.0000'";
    QTest::newRow("lat unknown format")   << 3u << false << 45.5 << "ERROR";
    QTest::newRow("lat format 2^32-1")    << 0xFFFFFFFFu << false << 45.5 << "ERROR";
    QTest::newRow("lon 0")                << 0u << true << 0.0 << "E 000" + kDeg + " 00.0000'";
    QTest::newRow("lon -0 dd.dd")         << 2u << true << -0.0 << "E 000.000000" + kDeg;
    QTest::newRow("lon -122.25 dd mm")    << 0u << true << -122.25 << "W 122" + kDeg + " 15.0000'";
    QTest::newRow("lon -122.25 dd.dd")    << 2u << true << -122.25 << "W 122.250000" + kDeg;
    QTest::newRow("lon +180 ss")          << 1u << true << 180.0 << "E 180" + kDeg + " 00' 00.000\"";
    QTest::newRow("lon -180 dd mm")       << 0u << true << -180.0 << "W 180" + kDeg + " 00.0000'";
    QTest::newRow("lon NaN ss")           << 1u << true << kNaN << "E 000" + kDeg + " 00' 00.000\"";
    QTest::newRow("lon 1e300 saturates")  << 0u << true << 1e300 << "E 2147483647" + kDeg + " 214748.3647'";
    QTest::newRow("lon unknown format")   << 7u << true << -122.25 << "fail";
    // clang-format on
}

void tst_CNavConversions::position()
{
    QFETCH(uint, format);
    QFETCH(bool, longitude);
    QFETCH(double, degrees);
    QFETCH(QString, text);
    CNavConversions nav(0, 0);
    nav.SetPositionFormat(format);
    QCOMPARE(nav.GetPositionFormat(), format);
    QCOMPARE(Text(longitude ? nav.FormatLongitude(degrees) : nav.FormatLatitude(degrees)), text);
}

void tst_CNavConversions::altitude_data()
{
    QTest::addColumn<uint>("units");
    QTest::addColumn<double>("metres");
    QTest::addColumn<QString>("text");
    QTest::newRow("one mile in feet") << 0u << 1609.344 << "5280.0 ft";
    QTest::newRow("one mile in metres") << 1u << 1609.344 << "1609.3 m";
    QTest::newRow("zero feet") << 0u << 0.0 << "0.0 ft";
    QTest::newRow("below sea level") << 1u << -12.34 << "-12.3 m";
    QTest::newRow("constant as written") << 0u << 1e12 << "3280839895010.0 ft";
    QTest::newRow("NaN metres") << 1u << kNaN << "nan m";
    QTest::newRow("unknown units") << 5u << 1609.344 << "-1.0 err";
}

void tst_CNavConversions::altitude()
{
    QFETCH(uint, units);
    QFETCH(double, metres);
    QFETCH(QString, text);
    CNavConversions nav(0, units);
    QCOMPARE(nav.GetAltitudeUnits(), units);
    QCOMPARE(Text(nav.FormatAltitude(metres)), text);
}

void tst_CNavConversions::gridSquare_data()
{
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("lon");
    QTest::addColumn<QString>("known"); // empty: the definition alone
    QTest::newRow("origin") << 0.0 << 0.0 << "JJ00aa00";
    QTest::newRow("Colorado") << 40.0 << -105.25 << "DN70ja00";
    QTest::newRow("Munich") << 48.1467 << 11.6083 << "JN58td";
    QTest::newRow("Dunedin") << -45.8788 << 170.5028 << "RE54";
    QTest::newRow("Honolulu") << 21.3069 << -157.8583 << "BL11";
    QTest::newRow("Sydney") << -33.8688 << 151.2093 << "QF56";
    QTest::newRow("near north-east corner") << 89.99 << 179.99 << "";
    QTest::newRow("near south-west corner") << -89.99 << -179.99 << "";
    QTest::newRow("mid subsquare") << 12.3456 << -45.6789 << "";
}

void tst_CNavConversions::gridSquare()
{
    QFETCH(double, lat);
    QFETCH(double, lon);
    QFETCH(QString, known);
    const QString grid = Text(CNavConversions(0, 0).GridSquare(lat, lon));
    QCOMPARE(grid, Maidenhead(lat, lon));
    QVERIFY2(grid.startsWith(known), qPrintable(grid));
}

void tst_CNavConversions::formatStringLength_data()
{
    QTest::addColumn<int>("length");
    for (int n : {0, 63, 64, 65, 5000})
        QTest::addRow("%d bytes", n) << n;
}

void tst_CNavConversions::formatStringLength()
{
    QFETCH(int, length);
    const std::string strPart(size_t(length), 'x');
    QCOMPARE(CNavConversions::FormatString("%s%d", strPart.c_str(), 7), strPart + "7");
}

QTEST_APPLESS_MAIN(tst_CNavConversions)
#include "tst_cnavconversions.moc"
