#include "constellationsynth.h"

#include "nmeaparser.h"

#include <QVector>

#include <algorithm>
#include <cmath>

namespace {

constexpr double PI = 3.14159265358979323846;
// One pass over the sky takes 40 minutes: far faster than a real satellite,
// so the sky plot visibly moves during a demonstration.
constexpr double PASS_SECONDS = 2400.0;

QByteArray Coordinate(double dDegrees, int nDegreeDigits)
{
    const double d = std::fabs(dDegrees);
    const int nWhole = int(d);
    const double dMinutes = (d - nWhole) * 60.0;
    return QByteArray::number(nWhole).rightJustified(nDegreeDigits, '0') +
           QByteArray::number(dMinutes, 'f', 5).rightJustified(8, '0');
}

QByteArray Two(int n)
{
    return QByteArray::number(n).rightJustified(2, '0');
}

} // namespace

CConstellationSynth::CConstellationSynth(quint32 nSeed) : m_Random(nSeed)
{
    static const int aPRN[SATELLITES] = {2, 5, 7, 9, 12, 13, 15, 18, 20, 24, 26, 29, 30, 31};
    std::uniform_real_distribution<double> azimuth(0.0, 360.0);
    std::uniform_real_distribution<double> rate(-0.06, 0.06);
    std::uniform_real_distribution<double> phase(0.0, 2.0 * PI);
    std::uniform_real_distribution<double> height(40.0, 88.0);
    for (int i = 0; i < SATELLITES; ++i)
        m_aOrbits[i] = ORBIT{aPRN[i], azimuth(m_Random), rate(m_Random), phase(m_Random), height(m_Random)};
}

void CConstellationSynth::SetFixLoss(int nEvery, int nLength)
{
    m_nFixLossEvery = std::max(0, nEvery);
    m_nFixLossLength = std::max(0, nLength);
}

void CConstellationSynth::Position(const ORBIT& o, int nSecond, double& dAzimuth, double& dElevation)
{
    dElevation = o.dMaxElevation * std::sin(o.dPhase + 2.0 * PI * nSecond / PASS_SECONDS);
    dAzimuth = std::fmod(o.dAzimuth0 + o.dAzimuthRate * nSecond, 360.0);
    if (dAzimuth < 0.0)
        dAzimuth += 360.0;
}

QList<QByteArray> CConstellationSynth::Sentences(int nSecond, const QDateTime& utcTime)
{
    struct VISIBLE
    {
        int nPRN, nElevation, nAzimuth, nSNR;
    };
    QVector<VISIBLE> visible;
    std::normal_distribution<double> noise(0.0, 1.5);
    for (const ORBIT& o : m_aOrbits) {
        double dAz = 0.0, dEl = 0.0;
        Position(o, nSecond, dAz, dEl);
        if (dEl < MIN_ELEVATION)
            continue;
        // Low satellites are often in view but not yet tracked.
        int nSNR = int(std::lround(20.0 + 30.0 * std::sin(dEl * PI / 180.0) + noise(m_Random)));
        if (dEl < 10.0)
            nSNR = 0;
        visible.append(
            VISIBLE{o.nPRN, int(std::lround(dEl)), int(std::lround(dAz)) % 360, std::clamp(nSNR, 0, 99)});
    }
    std::sort(visible.begin(), visible.end(),
              [](const VISIBLE& a, const VISIBLE& b) { return a.nPRN < b.nPRN; });

    const bool bFix =
        m_nFixLossEvery <= 0 || nSecond < m_nFixLossEvery || (nSecond % m_nFixLossEvery) >= m_nFixLossLength;
    QVector<VISIBLE> used;
    if (bFix) {
        for (const VISIBLE& v : visible) {
            if (v.nElevation >= USED_ELEVATION && v.nSNR > 0)
                used.append(v);
        }
        std::sort(used.begin(), used.end(),
                  [](const VISIBLE& a, const VISIBLE& b) { return a.nElevation > b.nElevation; });
        if (used.size() > MAX_USED)
            used.resize(MAX_USED);
    }

    const QDateTime utc = utcTime.toUTC();
    const QByteArray time = utc.time().toString("hhmmss").toLatin1() + ".00";
    const QByteArray lat = Coordinate(LATITUDE, 2) + (LATITUDE >= 0 ? ",N" : ",S");
    const QByteArray lon = Coordinate(LONGITUDE, 3) + (LONGITUDE >= 0 ? ",E" : ",W");
    QList<QByteArray> lines;
    if (bFix) {
        lines << CNmeaParser::Finish("GPGGA," + time + "," + lat + "," + lon + ",1," + Two(used.size()) +
                                     ",0.9," + QByteArray::number(ALTITUDE, 'f', 1) + ",M,-19.6,M,,");
        lines << CNmeaParser::Finish("GPRMC," + time + ",A," + lat + "," + lon + ",0.02,," +
                                     utc.date().toString("ddMMyy").toLatin1() + ",,,A");
    } else {
        lines << CNmeaParser::Finish("GPGGA," + time + ",,,,,0,00,99.9,,M,,M,,");
        lines << CNmeaParser::Finish("GPRMC," + time + ",V,,,,,,," +
                                     utc.date().toString("ddMMyy").toLatin1() + ",,,N");
    }
    QByteArray gsa = bFix ? "GPGSA,A,3" : "GPGSA,A,1";
    for (int i = 0; i < 12; ++i)
        gsa += "," + (i < used.size() ? Two(used.at(i).nPRN) : QByteArray());
    gsa += bFix ? ",1.6,0.9,1.3" : ",99.9,99.9,99.9";
    lines << CNmeaParser::Finish(gsa);
    const int nMessages = std::max(1, int((visible.size() + 3) / 4));
    for (int m = 0; m < nMessages; ++m) {
        QByteArray gsv = "GPGSV," + QByteArray::number(nMessages) + "," + QByteArray::number(m + 1) + "," +
                         Two(visible.size());
        for (int i = m * 4; i < std::min<int>(visible.size(), m * 4 + 4); ++i) {
            const VISIBLE& v = visible.at(i);
            gsv += "," + Two(v.nPRN) + "," + Two(v.nElevation) + "," +
                   QByteArray::number(v.nAzimuth).rightJustified(3, '0') + "," +
                   (v.nSNR > 0 ? Two(v.nSNR) : QByteArray());
        }
        lines << CNmeaParser::Finish(gsv);
    }
    lines << CNmeaParser::Finish("GPZDA," + time + "," + Two(utc.date().day()) + "," +
                                 Two(utc.date().month()) + "," + QByteArray::number(utc.date().year()) +
                                 ",00,00");
    return lines;
}
