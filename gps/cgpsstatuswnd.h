#ifndef CGPSSTATUSWND_H
#define CGPSSTATUSWND_H

#include <QWidget>

class CAzimuthElevationWnd;
class CGPSDisplayData;
class CNavConversions;
class CPositionStatusWnd;
class CSignalQuality;

// Content of the GPS Status page: the signal bars across the top, and below
// them the position panel beside the sky plot, in two splitters. Shows the
// main window's GPS display record in the notation of its navigation
// conversions.
class CGPSStatusWnd : public QWidget
{
    Q_OBJECT

public:
    // pGPSData and pNavConversions belong to the main window and outlive this page.
    CGPSStatusWnd(CGPSDisplayData* pGPSData, CNavConversions* pNavConversions, QWidget* pParent);
    ~CGPSStatusWnd() override;

    // Hands a copy of the current display record to the sky plot, the signal
    // bars and the position panel, which draw it when the event loop next runs.
    void UpdateGPSStatus();

private:
    CGPSDisplayData* m_pGPSData;
    CNavConversions* m_pNavConversions;
    CSignalQuality* m_pSignalQuality;
    CAzimuthElevationWnd* m_pAzimuthElevation;
    CPositionStatusWnd* m_pPositionStatus;
};

#endif // CGPSSTATUSWND_H
