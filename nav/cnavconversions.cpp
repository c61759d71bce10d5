#include "cnavconversions.h"

CNavConversions::CNavConversions(unsigned int nPositionFormat, unsigned int nAltitudeUnits)
    : m_nPositionFormat(nPositionFormat), m_nAltitudeUnits(nAltitudeUnits)
{
}

void CNavConversions::SetPositionFormat(unsigned int nPositionFormat)
{
    m_nPositionFormat = nPositionFormat;
}

void CNavConversions::SetAltitudeUnits(unsigned int nAltitudeUnits)
{
    m_nAltitudeUnits = nAltitudeUnits;
}

unsigned int CNavConversions::GetPositionFormat() const
{
    return m_nPositionFormat;
}

unsigned int CNavConversions::GetAltitudeUnits() const
{
    return m_nAltitudeUnits;
}
