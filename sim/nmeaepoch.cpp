#include "nmeaepoch.h"

#include <QDateTime>
#include <QTime>

#include <algorithm>
#include <cstring>

bool CNmeaEpochAssembler::StartsNewEpoch(const NMEA_SENTENCE& s) const
{
    if (m_Current.IsEmpty())
        return false;
    const bool bGGA = s.eType == NMEA_SENTENCE::TYPE_GGA;
    const bool bRMC = s.eType == NMEA_SENTENCE::TYPE_RMC;
    const bool bZDA = s.eType == NMEA_SENTENCE::TYPE_ZDA;
    if (!bGGA && !bRMC && !bZDA)
        return false;
    const bool bSameKind = (bGGA && m_Current.bHasGGA) || (bRMC && m_Current.bHasRMC);
    if (s.bHasTime) {
        if (m_Current.bHasTime)
            return s.nSecondOfDay != m_Current.nSecondOfDay;
        return bSameKind;
    }
    return bSameKind;
}

void CNmeaEpochAssembler::Merge(const NMEA_SENTENCE& s)
{
    NMEA_EPOCH& e = m_Current;
    if (s.bHasTime && !e.bHasTime) {
        e.bHasTime = true;
        e.nSecondOfDay = s.nSecondOfDay;
    }
    if (s.bHasDate) {
        e.bHasDate = true;
        e.date = s.date;
    }
    switch (s.eType) {
    case NMEA_SENTENCE::TYPE_ZDA:
        if (s.bHasTime)
            e.bTimeFromZDA = true;
        break;
    case NMEA_SENTENCE::TYPE_GGA:
        e.bHasGGA = true;
        e.nQuality = s.nQuality;
        e.nGGASatsUsed = s.nSatsUsed;
        if (s.bHasPosition) {
            e.bHasPosition = true;
            e.dLatitude = s.dLatitude;
            e.dLongitude = s.dLongitude;
        }
        if (s.bHasAltitude) {
            e.bHasAltitude = true;
            e.dAltitude = s.dAltitude;
        }
        break;
    case NMEA_SENTENCE::TYPE_RMC:
        e.bHasRMC = true;
        e.bRMCValid = s.bFixValid;
        // GGA holds the altitude too, so its position is preferred.
        if (s.bHasPosition && !e.bHasGGA) {
            e.bHasPosition = true;
            e.dLatitude = s.dLatitude;
            e.dLongitude = s.dLongitude;
        }
        break;
    case NMEA_SENTENCE::TYPE_GSA:
        e.bHasGSA = true;
        for (int nPRN : s.usedPRNs) {
            if (!e.usedPRNs.contains(nPRN))
                e.usedPRNs.append(nPRN);
        }
        break;
    case NMEA_SENTENCE::TYPE_GSV:
        e.bHasGSV = true;
        // The same satellite comes once per signal (L1, L2, ...): keep one
        // entry with the strongest signal and any position the receiver gave.
        for (const NMEA_SATELLITE& sat : s.satellites) {
            auto it = std::find_if(e.satellites.begin(), e.satellites.end(),
                                   [&](const NMEA_SATELLITE& o) { return o.nPRN == sat.nPRN; });
            if (it == e.satellites.end()) {
                e.satellites.append(sat);
                continue;
            }
            if (sat.bHasSNR && (!it->bHasSNR || sat.nSNR > it->nSNR)) {
                it->nSNR = sat.nSNR;
                it->bHasSNR = true;
            }
            if (it->nElevation == 0 && it->nAzimuth == 0) {
                it->nElevation = sat.nElevation;
                it->nAzimuth = sat.nAzimuth;
            }
        }
        break;
    default:
        break;
    }
}

bool CNmeaEpochAssembler::AddLine(const QByteArray& line, NMEA_EPOCH& rCompleted)
{
    ++m_Counters.nLines;
    NMEA_SENTENCE s;
    bool bNoise = false;
    const CNmeaParser::Result result = CNmeaParser::ParseLine(line, s, &bNoise);
    switch (result) {
    case CNmeaParser::RESULT_EMPTY:
        return false;
    case CNmeaParser::RESULT_MALFORMED:
        ++m_Counters.nMalformed;
        return false;
    case CNmeaParser::RESULT_BAD_CHECKSUM:
        ++m_Counters.nBadChecksum;
        return false;
    case CNmeaParser::RESULT_OTHER:
    case CNmeaParser::RESULT_OK:
        break;
    }
    if (bNoise)
        ++m_Counters.nNoise;
    if (result == CNmeaParser::RESULT_OTHER)
        ++m_Counters.nOther;
    else
        ++m_Counters.nDecoded;

    bool bCompleted = false;
    if (StartsNewEpoch(s)) {
        rCompleted = m_Current;
        m_Current = NMEA_EPOCH();
        ++m_Counters.nEpochs;
        bCompleted = true;
    }
    // Forward the sentence itself, without any noise that preceded it.
    const QByteArray trimmed = line.trimmed();
    m_Current.sentences.append(trimmed.mid(trimmed.lastIndexOf('$')) + "\r\n");
    Merge(s);
    return bCompleted;
}

bool CNmeaEpochAssembler::Flush(NMEA_EPOCH& rCompleted)
{
    if (m_Current.IsEmpty())
        return false;
    rCompleted = m_Current;
    m_Current = NMEA_EPOCH();
    ++m_Counters.nEpochs;
    return true;
}

void CNmeaEpochAssembler::Reset()
{
    m_Current = NMEA_EPOCH();
    m_Counters = NMEA_COUNTERS();
}

void CNmeaGpsState::Reset()
{
    *this = CNmeaGpsState();
}

BRFN::CMD_DATA_GPS_STATUS CNmeaGpsState::Apply(const NMEA_EPOCH& e)
{
    if (e.bHasGSV)
        m_Satellites = e.satellites;
    m_bFix = e.FixValid();
    if (!m_bFix)
        m_Used.clear(); // nothing is used in a solution that does not exist
    else if (e.bHasGSA)
        m_Used = QSet<int>(e.usedPRNs.begin(), e.usedPRNs.end());
    if (m_bFix && e.bHasPosition) {
        m_dLatitude = e.dLatitude;
        m_dLongitude = e.dLongitude;
        if (e.bHasAltitude)
            m_dAltitude = e.dAltitude;
    }
    if (e.bHasDate) {
        m_Date = e.date;
    } else if (e.bHasTime && m_Date.isValid() && m_nLastSecond >= 0 &&
               e.nSecondOfDay + 43200 < m_nLastSecond) {
        m_Date = m_Date.addDays(1); // the time of day wrapped past midnight
    }
    if (e.bHasTime)
        m_nLastSecond = e.nSecondOfDay;

    BRFN::CMD_DATA_GPS_STATUS g;
    g.dLatitude = m_dLatitude;
    g.dLongitude = m_dLongitude;
    g.dAltitude = m_dAltitude;
    const int nCount = std::min<int>(m_Satellites.size(), BRFN::MAX_SATELLITES);
    int nTracked = 0;
    for (int i = 0; i < nCount; ++i) {
        const NMEA_SATELLITE& sat = m_Satellites.at(i);
        BRFN::SATELLITE_DATA& d = g.aSats[i];
        d.nPRN = sat.nPRN;
        d.nAzimuth = sat.nAzimuth;
        d.nElevation = sat.nElevation;
        d.nSNR = sat.nSNR;
        d.bUsed = m_Used.contains(sat.nPRN);
        const bool bSignal = sat.bHasSNR && sat.nSNR > 0;
        if (bSignal)
            ++nTracked;
        if (d.bUsed)
            d.nStatus = bSignal && sat.nSNR < WEAK_SNR ? SAT_WEAK : SAT_USED;
        else
            d.nStatus = bSignal ? SAT_TRACKED : SAT_IN_VIEW;
    }
    g.nSatsInView = nCount;
    g.nSatsTracked = nTracked;
    g.nTimeSource = e.bTimeFromZDA ? 1 : 0;
    // A time is only trusted with a fix: receivers without one report the
    // time of their own real-time clock.
    m_bTimeValid = e.bHasTime && m_Date.isValid() && m_bFix;
    if (e.bHasTime && m_Date.isValid()) {
        const qint64 t = QDateTime(m_Date, QTime(0, 0), Qt::UTC).toSecsSinceEpoch() + e.nSecondOfDay;
        g.nGPSTime = int32_t(std::clamp<qint64>(t, 0, INT32_MAX));
    }
    g.nGPSTimeFlag = m_bTimeValid ? 1 : 0;
    const char szText[] = "NMEA";
    std::memcpy(g.szAux, szText, sizeof(szText));
    return g;
}
