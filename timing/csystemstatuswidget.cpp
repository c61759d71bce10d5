#include "csystemstatuswidget.h"

#include "chartgeometry.h"
#include "displayfont.h"
#include "servicestate.h"

#include <QPainter>

namespace {
// The error line as it is drawn: on one line where it fits the panel's width,
// else broken after its colon.
QStringList ErrorLines(const QString& strError)
{
    QString strBroken = strError;
    strBroken.replace(QStringLiteral(": "), QStringLiteral(":\n"));
    return {strError, strBroken};
}
} // namespace

CSystemStatusWidget::CSystemStatusWidget(const CBRFNProtocolQt* pLink, QWidget* pParent)
    : QWidget(pParent), m_pLink(pLink)
{
    m_Status = CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS();
    setAccessibleName(QStringLiteral("Service state"));
}

void CSystemStatusWidget::OnSignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS Data)
{
    m_Status = Data;
    update(); // merged per turn of the event loop, as the charts' paints
    // Assistive technology hears what the panel paints.
    setAccessibleDescription(
        ServiceState::AccessibleDescription(m_pLink->m_bConnected, Data.nLoopState, Data.dEstTimeError));
}

// The connection flag is read here, at every paint: a lost link shows at the
// next repaint (the window sends an all-zero record right after it).
void CSystemStatusWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    const QRectF rect(0, 0, width() - 1, height() - 1);
    const ServiceState::LOOK look = ServiceState::Look(m_pLink->m_bConnected, m_Status.nLoopState);

    painter.setBrush(QBrush(look.colorFill));
    painter.setPen(QPen(look.colorText, 1));
    painter.drawRoundedRect(rect, 10.0, 10.0, Qt::AbsoluteSize);

    // Both sizes follow the width; the texts shrink where they would not fit
    // the panel's width or would run into each other, never below legible.
    const QString& strState = look.strText;
    const ChartGeometry::PanelTexts texts = ChartGeometry::CentreAndFoot(
        rect, DisplayFont::Face(ChartGeometry::PointSize(width() - 1, 0.15, logicalDpiX())), strState,
        DisplayFont::Face(ChartGeometry::PointSize(width() - 1, 0.03, logicalDpiX())),
        ErrorLines(ServiceState::ErrorText(m_Status.nLoopState, m_Status.dEstTimeError)));
    painter.setFont(texts.big);
    painter.drawText(rect, Qt::AlignHCenter | Qt::AlignVCenter, strState);
    painter.setFont(texts.foot);
    painter.drawText(rect, Qt::AlignHCenter | Qt::AlignBottom, texts.strFoot);
}

QSize CSystemStatusWidget::minimumSizeHint() const
{
    const QStringList words = ServiceState::AllTexts();
    const QStringList errorLines = ErrorLines(ServiceState::ErrorText(ServiceState::kLoopStateLocked, -0.5))
                                       .last()
                                       .split(QLatin1Char('\n'));
    const QSizeF room =
        ChartGeometry::CentreAndFootMinimum(DisplayFont::Face(1), words, DisplayFont::Face(1), errorLines, 2);
    // The panel's rectangle is a pixel smaller than the widget.
    return QSize(int(room.width()) + 1, int(room.height()) + 1);
}
