#include "csystemstatswidget.h"

#include "cmainwindow.h"

#include <QPainter>

CSystemStatsWidget::CSystemStatsWidget(CMainWindow* pMainWindow, QWidget* pParent)
    : QWidget(pParent), m_pMainWindow(pMainWindow)
{
    m_strTimeSource = QStringLiteral("--");
    connect(m_pMainWindow, SIGNAL(SignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS)), this,
            SLOT(OnSignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS)));
    connect(m_pMainWindow, SIGNAL(SignalGPSStatus(CBRFNProtocolQt::CMD_DATA_GPS_STATUS&)), this,
            SLOT(OnGPSStatus(CBRFNProtocolQt::CMD_DATA_GPS_STATUS&)));
    m_Status = CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS();
}

void CSystemStatsWidget::OnSignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS Data)
{
    m_Status = Data;
    repaint();
}

// Shown from the next repaint on; a GPS status alone does not repaint.
void CSystemStatsWidget::OnGPSStatus(CBRFNProtocolQt::CMD_DATA_GPS_STATUS& Data)
{
    switch (Data.nTimeSource) {
    case 0:
        m_strTimeSource = QStringLiteral("GGA & RMC");
        break;
    case 1:
        m_strTimeSource = QStringLiteral("ZDA");
        break;
    default:
        m_strTimeSource = QStringLiteral("Unknown");
        break;
    }
}

void CSystemStatsWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
}
