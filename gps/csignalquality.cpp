#include "csignalquality.h"

#include "displayfont.h"
#include "gpsgeometry.h"

#include <QFontMetrics>
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
    if (bRepaint)
        UpdateChangedSlots(data);
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

QRect CSignalQuality::SlotReach(double dX, double dSlotWidth) const
{
    return GpsGeometry::PaintReach(QRectF(dX, 0.0, dSlotWidth, height()));
}

// About a quarter of the bars change from one second to the next; the rest
// stay as painted.
void CSignalQuality::UpdateChangedSlots(const CGPSDisplayData& next)
{
    if (!isVisible())
        return; // painted whole when shown
    const int nSlots = GpsGeometry::SlotCount(m_Data.nSatsInView);
    if (nSlots != GpsGeometry::SlotCount(next.nSatsInView)) {
        update();
        return;
    }
    const double dSlotWidth = GpsGeometry::SlotWidth(width(), nSlots);
    double dX = 0.0; // summed as the paint sums it
    for (int i = 0; i < nSlots; ++i, dX += dSlotWidth) {
        const CGPSDisplayData::SAT_DATA& was = m_Data.aSats[i];
        const CGPSDisplayData::SAT_DATA& now = next.aSats[i];
        if (was.nPRN != now.nPRN || was.nSNR != now.nSNR || was.bUsed != now.bUsed ||
            was.nStatus != now.nStatus)
            update(SlotReach(dX, dSlotWidth));
    }
}

void CSignalQuality::paintEvent(QPaintEvent* pEvent)
{
    QPainter painter(this);
    const QPalette palette;

    // While nothing is in view the first twelve slots of the record show.
    const int nSlots = GpsGeometry::SlotCount(m_Data.nSatsInView);
    const double dSlotWidth = GpsGeometry::SlotWidth(width(), nSlots);
    painter.setFont(DisplayFont::Face(GpsGeometry::BarPointSize(dSlotWidth, logicalDpiX())));
    const int nLineHeight = painter.fontMetrics().height();
    const double dArea = GpsGeometry::BarAreaHeight(height(), nLineHeight);
    QRect aReach[CGPSDisplayData::MAX_SATELLITES];
    double dX = 0.0;
    for (int i = 0; i < nSlots; ++i, dX += dSlotWidth)
        aReach[i] = SlotReach(dX, dSlotWidth);

    // The bars that changed are painted part by part: one clip rectangle is
    // filled much faster than a region of many, and slots between the parts
    // are not drawn at all.
    for (const QRect& part : pEvent->region()) {
        painter.setClipRect(part);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QBrush(palette.color(QPalette::Dark), Qt::SolidPattern));
        painter.drawRect(rect());
        // Slots are drawn in order, each over its left neighbour's outline.
        dX = 0.0;
        for (int i = 0; i < nSlots; ++i, dX += dSlotWidth) {
            if (!aReach[i].intersects(part))
                continue;
            const CGPSDisplayData::SAT_DATA& sat = m_Data.aSats[i];
            painter.setPen(palette.color(QPalette::Dark));
            painter.setBrush(QBrush(palette.color(QPalette::Light), Qt::SolidPattern));
            painter.drawRect(QRectF(dX, 0.0, dSlotWidth, dArea));

            const QRectF bar = GpsGeometry::BarRect(dX, dSlotWidth, dArea, sat.nSNR);
            const QColor fill = GpsGeometry::BarIsShadowed(sat.bUsed, sat.nStatus)
                                    ? palette.color(QPalette::Shadow)
                                    : GpsGeometry::StatusColour(sat.nStatus);
            painter.setBrush(QBrush(fill, Qt::SolidPattern));
            painter.drawRect(bar);

            painter.setPen(palette.color(QPalette::HighlightedText));
            painter.drawText(bar, Qt::AlignHCenter | Qt::AlignTop, QString::number(double(sat.nSNR)));

            painter.setPen(palette.color(QPalette::BrightText));
            painter.drawText(GpsGeometry::PrnLabelRect(dX, dSlotWidth, dArea, nLineHeight),
                             Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("%1").arg(sat.nPRN));
        }
    }
}
