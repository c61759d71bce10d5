#include "csignalquality.h"

#include "gpsgeometry.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QStringList>

CSignalQuality::CSignalQuality(QWidget* pParent) : QWidget(pParent)
{
    setAccessibleName(QStringLiteral("Signal levels"));
}

CSignalQuality::~CSignalQuality() = default;

QSize CSignalQuality::sizeHint() const
{
    return QSize(200, 200);
}

bool CSignalQuality::SetData(const CGPSDisplayData& data, bool bRepaint)
{
    m_Data.SetData(data);
    // A paint is asked for, not made here: Qt merges the requests into one
    // paint per turn of the event loop. A full sky costs about 2.5 ms a
    // paint, so a peer flooding GPS records (10,000 a second) would
    // otherwise keep the window busy for minutes after the flood.
    if (bRepaint)
        update();
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

void CSignalQuality::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette palette;

    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(palette.color(QPalette::Dark), Qt::SolidPattern));
    painter.drawRect(rect());

    // While nothing is in view the first twelve slots of the record show.
    const int nSlots = GpsGeometry::SlotCount(m_Data.nSatsInView);
    const double dSlotWidth = GpsGeometry::SlotWidth(width(), nSlots);
    painter.setFont(GpsGeometry::DisplayFont(GpsGeometry::BarPointSize(dSlotWidth, logicalDpiX())));
    const int nLineHeight = painter.fontMetrics().height();
    const double dArea = GpsGeometry::BarAreaHeight(height(), nLineHeight);

    double dX = 0.0;
    for (int i = 0; i < nSlots; ++i, dX += dSlotWidth) {
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
