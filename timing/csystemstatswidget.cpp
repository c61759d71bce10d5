#include "csystemstatswidget.h"

#include "chartgeometry.h"
#include "displayfont.h"

#include <QPainter>
#include <QPalette>
#include <QTextOption>

namespace {
// The three lines: spread in ms up to 0.8 s, else in seconds; samples; time
// source.
QString StatsText(const CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS& Status, const QString& strTimeSource)
{
    const bool bMilliseconds = Status.dStdDev <= 0.8;
    // The service counts samples unsigned; the line prints the count as a
    // signed 32-bit number, so 2^32 - 1 shows as -1.
    return QString::asprintf(
        "1σ = %.03f %s \nSamples: %d\nUsing time from: %s\n", (bMilliseconds ? 1000.0 : 1.0) * Status.dStdDev,
        bMilliseconds ? "ms" : "Seconds", int(Status.nSamples), strTimeSource.toLatin1().constData());
}
} // namespace

CSystemStatsWidget::CSystemStatsWidget(QWidget* pParent) : QWidget(pParent)
{
    m_strTimeSource = QStringLiteral("--");
    m_Status = CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS();
    setAccessibleName(QStringLiteral("Statistics"));
}

void CSystemStatsWidget::OnSignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS Data)
{
    m_Status = Data;
    update(); // merged per turn of the event loop, as the charts' paints
    // Assistive technology hears what the panel paints.
    setAccessibleDescription(StatsText(m_Status, m_strTimeSource).trimmed());
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
    painter.setRenderHints(QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    const QPalette palette;
    const QRectF rect(0, 0, width() - 1, height() - 1);
    painter.setPen(QPen(palette.color(QPalette::Current, QPalette::Mid), 1));
    painter.setBrush(QBrush(palette.color(QPalette::Current, QPalette::Window)));
    painter.drawRoundedRect(rect, 10.0, 10.0, Qt::AbsoluteSize);

    painter.setPen(palette.color(QPalette::Current, QPalette::Text));
    painter.setFont(DisplayFont::Face(ChartGeometry::PointSize(width() - 1, 0.05, logicalDpiX())));
    painter.drawText(QRectF(5, 5, rect.width() - 10, rect.height() - 10),
                     StatsText(m_Status, m_strTimeSource), QTextOption());
}
