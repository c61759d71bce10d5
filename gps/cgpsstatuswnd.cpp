#include "cgpsstatuswnd.h"

CGPSStatusWnd::CGPSStatusWnd(CGPSDisplayData* pGPSData, CNavConversions* pNavConversions, QWidget* pParent)
    : QWidget(pParent), m_pGPSData(pGPSData), m_pNavConversions(pNavConversions)
{
}

CGPSStatusWnd::~CGPSStatusWnd() = default;

void CGPSStatusWnd::UpdateGPSStatus()
{
    if (m_pGPSData)
        m_pGPSData->GetData(&m_Shown, sizeof(m_Shown));
    update();
}
