#include "cgpsstatuswnd.h"

#include "cazimuthelevationwnd.h"
#include "cgpsdisplaydata.h"
#include "cpositionstatuswnd.h"
#include "csignalquality.h"

#include <QSplitter>
#include <QVBoxLayout>

CGPSStatusWnd::CGPSStatusWnd(CGPSDisplayData* pGPSData, CNavConversions* pNavConversions, QWidget* pParent)
    : QWidget(pParent), m_pGPSData(pGPSData), m_pNavConversions(pNavConversions)
{
    m_pSignalQuality = new CSignalQuality(this);
    m_pPositionStatus = new CPositionStatusWnd(m_pNavConversions, this);
    m_pAzimuthElevation = new CAzimuthElevationWnd(this);

    // Position panel left of the sky plot, both under the signal bars.
    QSplitter* pHorizontal = new QSplitter(Qt::Horizontal, this);
    pHorizontal->addWidget(m_pPositionStatus);
    pHorizontal->addWidget(m_pAzimuthElevation);
    QSplitter* pVertical = new QSplitter(Qt::Vertical, this);
    pVertical->addWidget(m_pSignalQuality);
    pVertical->addWidget(pHorizontal);

    QVBoxLayout* pLayout = new QVBoxLayout;
    pLayout->addWidget(pVertical, 0, Qt::Alignment());
    setLayout(pLayout);
}

CGPSStatusWnd::~CGPSStatusWnd() = default;

void CGPSStatusWnd::UpdateGPSStatus()
{
    CGPSDisplayData data;
    if (m_pGPSData)
        m_pGPSData->GetData(&data, sizeof(data));
    m_pAzimuthElevation->SetData(data, true);
    m_pSignalQuality->SetData(data, true);
    m_pPositionStatus->SetData(data);
}
