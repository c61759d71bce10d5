#include "ctimestatuswidget.h"

#include "chartgeometry.h"
#include "displayfont.h"

#include <QPainter>
#include <QPalette>

namespace {
QFont BoldFace(int nPointSize)
{
    QFont font = DisplayFont::Face(nPointSize);
    font.setWeight(75);
    return font;
}
} // namespace

CTimeStatusWidget::CTimeStatusWidget(QWidget* pParent) : QWidget(pParent), m_bShowLocalTime(true)
{
    setAccessibleName(QStringLiteral("Clock"));
}

// The paint reads the clock itself; the time passed in is not needed.
void CTimeStatusWidget::OnSignalOneSecondEpoch(QDateTime&)
{
    repaint();
    // Assistive technology hears what the panel paints.
    {
        const QDateTime now =
            m_bShowLocalTime ? QDateTime::currentDateTime() : QDateTime::currentDateTimeUtc();
        setAccessibleDescription(
            now.toString(QStringLiteral("HH:mm:ss, ddd MMM dd yyyy")) +
            (m_bShowLocalTime ? QStringLiteral(", local time") : QStringLiteral(", UTC")));
    }
}

void CTimeStatusWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    const QRectF rect(0, 0, width() - 1, height() - 1);
    painter.setPen(QPen(QColor(0, 0, 0), 1));
    painter.setBrush(QBrush(QPalette().color(QPalette::Current, QPalette::Base)));
    painter.drawRoundedRect(rect, 10.0, 10.0, Qt::AbsoluteSize);

    const QDateTime now = m_bShowLocalTime ? QDateTime::currentDateTime() : QDateTime::currentDateTimeUtc();
    const QTime time = now.time();
    const QString strTime = QString::asprintf("%02d:%02d:%02d", time.hour(), time.minute(), time.second());
    const QString strDate = now.toString(QStringLiteral("ddd MMM dd yyyy"));

    // The sizes follow the panel; the texts shrink where they would not fit
    // its width or would run into each other, never below legible.
    const ChartGeometry::ClockSizes sizes =
        ChartGeometry::ClockPointSizes(rect.width(), rect.height(), logicalDpiX());
    const ChartGeometry::PanelTexts texts =
        ChartGeometry::CentreAndFoot(rect, BoldFace(sizes.nTime), strTime, BoldFace(sizes.nDate), {strDate});
    painter.setFont(texts.big);
    painter.drawText(rect, Qt::AlignHCenter | Qt::AlignVCenter, strTime);
    painter.setFont(texts.foot);
    painter.drawText(rect, Qt::AlignHCenter | Qt::AlignBottom, strDate);
}

QSize CTimeStatusWidget::minimumSizeHint() const
{
    // Digits share one width; the date with wide letters in its names.
    const QSizeF room = ChartGeometry::CentreAndFootMinimum(
        BoldFace(1), {QStringLiteral("00:00:00")}, BoldFace(1), {QStringLiteral("Wed May 31 2026")}, 1);
    return QSize(int(room.width()) + 1, int(room.height()) + 1);
}
