#include "csystemstatuswidget.h"

#include "cmainwindow.h"

#include <QPainter>

CSystemStatusWidget::CSystemStatusWidget(CMainWindow* pMainWindow, QWidget* pParent)
    : QWidget(pParent), m_pMainWindow(pMainWindow)
{
    connect(m_pMainWindow, SIGNAL(SignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS)), this,
            SLOT(OnSignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS)));
    m_Status = CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS();
}

void CSystemStatusWidget::OnSignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS Data)
{
    m_Status = Data;
    repaint();
}

void CSystemStatusWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
}
