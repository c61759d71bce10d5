#include "cgpsdisplaydata.h"

#include <type_traits>

static_assert(std::is_trivially_copyable<CGPSDisplayData>::value,
              "the display record is copied whole and must hold plain data only");

void CGPSDisplayData::SetData(const CGPSDisplayData& source)
{
    *this = source;
}

bool CGPSDisplayData::GetData(CGPSDisplayData* pDest, size_t nSize) const
{
    if (!pDest || nSize != sizeof(CGPSDisplayData))
        return false;
    *pDest = *this;
    return true;
}
