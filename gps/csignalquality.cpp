#include "csignalquality.h"

#include "displayfont.h"
#include "gpsgeometry.h"
#include "imageexport.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QStringList>

CSignalQuality::CSignalQuality(QWidget* pParent) : QWidget(pParent)
{
    setAccessibleName(QStringLiteral("Signal levels"));
    // Every paint fills the whole widget first: nothing behind it is drawn.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CSignalQuality::~CSignalQuality() = default;

QSize CSignalQuality::sizeHint() const
{
    return QSize(200, 200);
}

bool CSignalQuality::SetData(const CGPSDisplayData& data, bool bRepaint)
{
    // A paint is asked for, not made here: Qt merges the requests into one
    // paint per turn of the event loop. A full sky costs about 2.5 ms a
    // paint, so a peer flooding GPS records (10,000 a second) would
    // otherwise keep the window busy for minutes after the flood.
    if (bRepaint && isVisible())
        UpdateChangedSlots(data); // and lays out the new record
    else
        m_layoutSize = QSize(); // laid out at the next paint
    m_Data.SetData(data);
    // Assistive technology hears what the panel paints.
    {
        QStringList sats;
        for (int i = 0; i < GpsGeometry::SlotCount(m_Data.nSatsInView); ++i) {
            const CGPSDisplayData::SAT_DATA& sat = m_Data.aSats[i];
            if (sat.nPRN != 0)
                sats << QStringLiteral("PRN %1: SNR %2, %3")
                            .arg(sat.nPRN)
                            .arg(sat.nSNR)
                            .arg(sat.bUsed ? QStringLiteral("used") : QStringLiteral("not used"));
        }
        setAccessibleDescription(sats.isEmpty() ? QStringLiteral("No satellites")
                                                : sats.join(QStringLiteral("; ")));
    }
    return true;
}

CSignalQuality::LAYOUT CSignalQuality::Layout(const CGPSDisplayData& data) const
{
    LAYOUT layout;
    layout.nSlots = GpsGeometry::SlotCount(data.nSatsInView);
    layout.dSlotWidth = GpsGeometry::SlotWidth(width(), layout.nSlots);
    layout.font = DisplayFont::Legible(GpsGeometry::BarPointSize(layout.dSlotWidth, logicalDpiX()));
    const QFontMetricsF metrics(layout.font, this);
    layout.nLineHeight = QFontMetrics(layout.font, this).height();
    QVector<double> widths(layout.nSlots);
    for (int i = 0; i < layout.nSlots; ++i)
        widths[i] = metrics.horizontalAdvance(QString::number(data.aSats[i].nPRN));
    layout.nRows = GpsGeometry::PrnRowCount(widths, layout.dSlotWidth, width());
    layout.dArea = GpsGeometry::BarAreaHeight(height(), layout.nLineHeight, layout.nRows);
    return layout;
}

const CSignalQuality::LAYOUT& CSignalQuality::CurrentLayout()
{
    if (m_layoutSize != size()) {
        m_Layout = Layout(m_Data);
        m_layoutSize = size();
    }
    return m_Layout;
}

QRect CSignalQuality::SlotReach(const LAYOUT& layout, double dX) const
{
    QRectF reach(dX, 0.0, layout.dSlotWidth, height());
    if (layout.nRows > 1) { // the label may stand under the neighbours
        const double dHalf = layout.dSlotWidth * layout.nRows / 2;
        reach.adjust(-dHalf, 0, dHalf, 0);
    }
    // An upright SNR text as wide as a line may pass the slot's sides.
    const double dOver = std::max(0.0, (layout.nLineHeight - layout.dSlotWidth) / 2);
    return GpsGeometry::PaintReach(reach.adjusted(-dOver, 0, dOver, 0));
}

// About a quarter of the bars change from one second to the next; the rest
// stay as painted.
void CSignalQuality::UpdateChangedSlots(const CGPSDisplayData& next)
{
    const LAYOUT was = CurrentLayout();
    m_Layout = Layout(next);
    const LAYOUT& now = m_Layout;
    if (was.nSlots != now.nSlots || was.nRows != now.nRows) {
        update();
        return;
    }
    double dX = 0.0; // summed as the paint sums it
    for (int i = 0; i < now.nSlots; ++i, dX += now.dSlotWidth) {
        const CGPSDisplayData::SAT_DATA& satWas = m_Data.aSats[i];
        const CGPSDisplayData::SAT_DATA& satNow = next.aSats[i];
        if (satWas.nPRN != satNow.nPRN || satWas.nSNR != satNow.nSNR || satWas.bUsed != satNow.bUsed ||
            satWas.nStatus != satNow.nStatus)
            update(SlotReach(now, dX));
    }
}

void CSignalQuality::paintEvent(QPaintEvent* pEvent)
{
    QPainter painter(this);
    const QPalette palette;

    // While nothing is in view the first twelve slots of the record show.
    const LAYOUT& layout = CurrentLayout();
    const double dSlotWidth = layout.dSlotWidth;
    const double dArea = layout.dArea;
    painter.setFont(layout.font);
    const QFontMetricsF metrics(layout.font, this);
    QRect aReach[CGPSDisplayData::MAX_SATELLITES];
    double dX = 0.0;
    for (int i = 0; i < layout.nSlots; ++i, dX += dSlotWidth)
        aReach[i] = SlotReach(layout, dX);

    // The bars that changed are painted part by part: one clip rectangle is
    // filled much faster than a region of many, and slots between the parts
    // are not drawn at all.
    for (const QRect& part : pEvent->region()) {
        painter.setClipRect(part);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QBrush(palette.color(QPalette::Dark), Qt::SolidPattern));
        painter.drawRect(rect());
        // Slots are drawn in order, each over its left neighbour's outline;
        // then every number, so none is covered by a later slot.
        dX = 0.0;
        for (int i = 0; i < layout.nSlots; ++i, dX += dSlotWidth) {
            if (!aReach[i].intersects(part))
                continue;
            const CGPSDisplayData::SAT_DATA& sat = m_Data.aSats[i];
            painter.setPen(palette.color(QPalette::Dark));
            painter.setBrush(QBrush(palette.color(QPalette::Light), Qt::SolidPattern));
            painter.drawRect(QRectF(dX, 0.0, dSlotWidth, dArea));
            painter.setBrush(QBrush(BarColour(sat, palette), Qt::SolidPattern));
            painter.drawRect(GpsGeometry::BarRect(dX, dSlotWidth, dArea, sat.nSNR));
        }
        dX = 0.0;
        for (int i = 0; i < layout.nSlots; ++i, dX += dSlotWidth) {
            if (!aReach[i].intersects(part))
                continue;
            const CGPSDisplayData::SAT_DATA& sat = m_Data.aSats[i];
            const QString strSNR = QString::number(double(sat.nSNR));
            const GpsGeometry::SnrPlace snr =
                GpsGeometry::SnrTextPlace(GpsGeometry::BarRect(dX, dSlotWidth, dArea, sat.nSNR), dArea,
                                          metrics.horizontalAdvance(strSNR), layout.nLineHeight);
            painter.setPen(GpsGeometry::ReadableOn(palette.color(QPalette::HighlightedText),
                                                   snr.bInBar ? BarColour(sat, palette)
                                                              : palette.color(QPalette::Light)));
            if (snr.bUpright) {
                painter.save();
                painter.translate(snr.box.center());
                painter.rotate(-90);
                painter.drawText(
                    QRectF(-snr.box.height() / 2, -snr.box.width() / 2, snr.box.height(), snr.box.width()),
                    Qt::AlignCenter | Qt::TextDontClip, strSNR);
                painter.restore();
            } else {
                painter.drawText(snr.box, Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, strSNR);
            }

            painter.setPen(
                GpsGeometry::ReadableOn(palette.color(QPalette::BrightText), palette.color(QPalette::Dark)));
            const QString strPRN = QString::number(sat.nPRN);
            if (layout.nRows == 1)
                painter.drawText(GpsGeometry::PrnLabelRect(dX, dSlotWidth, dArea, layout.nLineHeight),
                                 Qt::AlignHCenter | Qt::AlignVCenter, strPRN);
            else
                painter.drawText(GpsGeometry::PrnTextBox(i, metrics.horizontalAdvance(strPRN), dSlotWidth,
                                                         width(), dArea, layout.nLineHeight, layout.nRows),
                                 Qt::AlignCenter | Qt::TextDontClip, strPRN);
        }
    }
}

QColor CSignalQuality::BarColour(const CGPSDisplayData::SAT_DATA& sat, const QPalette& palette)
{
    return GpsGeometry::BarIsShadowed(sat.bUsed, sat.nStatus) ? palette.color(QPalette::Shadow)
                                                              : GpsGeometry::StatusColour(sat.nStatus);
}

void CSignalQuality::contextMenuEvent(QContextMenuEvent* pEvent)
{
    QMenu menu(this);
    DataOut::AddImageActions(&menu, this, QStringLiteral("Signal Levels"));
    menu.exec(pEvent->globalPos());
}
