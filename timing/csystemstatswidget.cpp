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

    // The size follows the width; the lines shrink where the widest would not
    // fit the width or the three the height, never below legible. Lines that
    // still do not fit the height are left out rather than cut.
    QString strText = StatsText(m_Status, m_strTimeSource);
    const QStringList lines = strText.trimmed().split(QLatin1Char('\n'));
    const QRectF box(5, 5, rect.width() - 10, rect.height() - 10);
    const QFont font =
        ChartGeometry::FitLines(DisplayFont::Face(ChartGeometry::PointSize(width() - 1, 0.05, logicalDpiX())),
                                lines, box.width(), box.height());
    const int nFit = ChartGeometry::LinesThatFit(font, lines.size(), box.height());
    if (nFit < lines.size())
        strText = lines.mid(0, nFit).join(QLatin1Char('\n'));
    painter.setPen(palette.color(QPalette::Current, QPalette::Text));
    painter.setFont(font);
    painter.drawText(box, strText, QTextOption());
}

QSize CSystemStatsWidget::minimumSizeHint() const
{
    CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS wide = CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS();
    wide.dStdDev = 0.8;
    wide.nSamples = 99999;
    const QSizeF room = ChartGeometry::FitLinesMinimum(
        DisplayFont::Face(1),
        StatsText(wide, QStringLiteral("GGA & RMC")).trimmed().split(QLatin1Char('\n')));
    // Inset 5 pixels in a rectangle a pixel smaller than the widget.
    return QSize(int(room.width()) + 11, int(room.height()) + 11);
}
