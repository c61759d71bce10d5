#include "cazimuthelevationwnd.h"

#include "gpsgeometry.h"

#include <QDebug>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QStringList>

CAzimuthElevationWnd::CAzimuthElevationWnd(QWidget* pParent) : QWidget(pParent)
{
    setAccessibleName(QStringLiteral("Sky plot"));
}

CAzimuthElevationWnd::~CAzimuthElevationWnd() = default;

QSize CAzimuthElevationWnd::sizeHint() const
{
    return QSize(200, 200);
}

bool CAzimuthElevationWnd::SetData(const CGPSDisplayData& data, bool bRepaint)
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
        for (const CGPSDisplayData::SAT_DATA& sat : m_Data.aSats) {
            // Drawn only with a PRN, an azimuth and an elevation.
            if (sat.nPRN != 0 && sat.nAzimuth != 0 && sat.nElevation != 0)
                sats << QStringLiteral("PRN %1: azimuth %2°, elevation %3°, %4")
                            .arg(sat.nPRN)
                            .arg(sat.nAzimuth)
                            .arg(sat.nElevation)
                            .arg(sat.bUsed ? QStringLiteral("used") : QStringLiteral("not used"));
        }
        setAccessibleDescription(sats.isEmpty() ? QStringLiteral("No satellites")
                                                : sats.join(QStringLiteral("; ")));
    }
    return true;
}

void CAzimuthElevationWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette palette;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);

    const QRectF square = GpsGeometry::SkySquare(size());
    const double dD = square.width();
    const double dR = dD * 0.5;
    const double dX = square.x();
    const double dY = square.y();

    // Horizon, 45° ring and the cross through the zenith.
    painter.setPen(QColor(0, 0, 0));
    painter.setBrush(QBrush(palette.color(QPalette::Base), Qt::SolidPattern));
    painter.drawEllipse(square);
    painter.drawEllipse(QRectF(dX + dD / 4, dY + dD / 4, dD - dD / 2, dD - dD / 2));
    painter.drawLine(QPoint(int(dX + dR), int(dY)), QPoint(int(dX + dR), int(dY + dD)));
    painter.drawLine(QPoint(int(dX), int(dY + dR)), QPoint(int(dX + dD), int(dY + dR)));

    // QPixmap::load keeps decoded images in the pixmap cache, so loading at
    // every paint costs a lookup.
    QPixmap imgSatEnabled;
    if (!imgSatEnabled.load(QStringLiteral(":/Resources/satEnabled.png")))
        qDebug() << "Could load imgSatEnabled image";
    QPixmap imgSatDisabled;
    if (!imgSatDisabled.load(QStringLiteral(":/Resources/satDisabled.png")))
        qDebug() << "Could load imgSatDisabled image";

    painter.setFont(GpsGeometry::DisplayFont(GpsGeometry::SkyLabelPointSize(dD, logicalDpiX())));
    const QFontMetrics metrics = painter.fontMetrics();
    const QPointF centre(dX + dR, dY + dR);

    for (const CGPSDisplayData::SAT_DATA& sat : m_Data.aSats) {
        // Without a PRN, azimuth and elevation there is nothing to place.
        if (sat.nPRN == 0 || sat.nAzimuth == 0 || sat.nElevation == 0)
            continue;
        const QPoint point = GpsGeometry::SkyProjection(sat.nAzimuth, sat.nElevation, centre, dD);
        const QRectF marker = GpsGeometry::SkyMarkerRect(point, dD);
        const QPixmap& image = sat.bUsed ? imgSatEnabled : imgSatDisabled;
        if (!image.isNull())
            painter.drawPixmap(marker, image, QRectF(0, 0, image.width(), image.height()));
        QRectF label = marker;
        label.setHeight(marker.height() + metrics.height());
        painter.setPen(QColor(0, 0, 0));
        painter.drawText(label, Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("%1").arg(sat.nPRN));
    }
}
