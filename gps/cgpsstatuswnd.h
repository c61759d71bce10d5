#ifndef CGPSSTATUSWND_H
#define CGPSSTATUSWND_H

#include "cgpsdisplaydata.h"

#include <QWidget>

class CNavConversions;

// Content of the GPS Status page: shows the main window's GPS display record
// in the notation of its navigation conversions.
//
// Still to come: the signal bars, the position panel and the sky plot in their
// splitters, which UpdateGPSStatus will feed. Until then the page keeps the
// copy it was last given and draws an empty background.
class CGPSStatusWnd : public QWidget
{
    Q_OBJECT

public:
    // pGPSData and pNavConversions belong to the main window and outlive this page.
    CGPSStatusWnd(CGPSDisplayData* pGPSData, CNavConversions* pNavConversions, QWidget* pParent);
    ~CGPSStatusWnd() override;

    // Takes a copy of the current display record and hands it to the displays.
    void UpdateGPSStatus();

private:
    CGPSDisplayData* m_pGPSData;
    CNavConversions* m_pNavConversions;
    CGPSDisplayData m_Shown; // the copy the displays show
};

#endif // CGPSSTATUSWND_H
