#include "cazimuthelevationwnd.h"

#include "displayfont.h"
#include "gpsgeometry.h"

#include <QDebug>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QStringList>

// The marker images are compiled into this library. Resources of a static
// library are registered only when code that the linker keeps asks for them.
static void InitMarkerImages()
{
    Q_INIT_RESOURCE(satellites);
}

CAzimuthElevationWnd::CAzimuthElevationWnd(QWidget* pParent) : QWidget(pParent)
{
    InitMarkerImages();
    setAccessibleName(QStringLiteral("Sky plot"));
}

CAzimuthElevationWnd::~CAzimuthElevationWnd() = default;

QSize CAzimuthElevationWnd::sizeHint() const
{
    return QSize(200, 200);
}

bool CAzimuthElevationWnd::SetData(const CGPSDisplayData& data, bool bRepaint)
{
    // A paint is asked for, not made here: Qt merges the requests into one
    // paint per turn of the event loop. A full sky costs about 2.5 ms a
    // paint, so a peer flooding GPS records (10,000 a second) would
    // otherwise keep the window busy for minutes after the flood. Most
    // seconds no satellite moves by a whole degree: only those that do are
    // drawn again.
    if (bRepaint && isVisible()) {
        const int nLineHeight = LabelLineHeight();
        for (int i = 0; i < CGPSDisplayData::MAX_SATELLITES; ++i) {
            const CGPSDisplayData::SAT_DATA& was = m_Data.aSats[i];
            const CGPSDisplayData::SAT_DATA& now = data.aSats[i];
            if (was.nPRN != now.nPRN || was.nAzimuth != now.nAzimuth || was.nElevation != now.nElevation ||
                was.bUsed != now.bUsed) {
                update(SatelliteReach(was, nLineHeight));
                update(SatelliteReach(now, nLineHeight));
            }
        }
    }
    m_Data.SetData(data);
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

int CAzimuthElevationWnd::LabelLineHeight() const
{
    const double dD = GpsGeometry::SkySquare(size()).width();
    return QFontMetrics(DisplayFont::Face(GpsGeometry::SkyLabelPointSize(dD, logicalDpiX())), this).height();
}

QRect CAzimuthElevationWnd::SatelliteReach(const CGPSDisplayData::SAT_DATA& sat, int nLineHeight) const
{
    if (sat.nPRN == 0 || sat.nAzimuth == 0 || sat.nElevation == 0)
        return QRect();
    const QRectF square = GpsGeometry::SkySquare(size());
    const double dD = square.width();
    const QPointF centre(square.x() + dD * 0.5, square.y() + dD * 0.5); // as the paint places it
    const QPoint point = GpsGeometry::SkyProjection(sat.nAzimuth, sat.nElevation, centre, dD);
    return GpsGeometry::PaintReach(GpsGeometry::SkyLabelRect(point, dD, nLineHeight));
}

const QPixmap& CAzimuthElevationWnd::Marker(bool bUsed, QSize size)
{
    if (size != m_markerSize) {
        const QString aFiles[2] = {QStringLiteral(":/Resources/satDisabled.png"),
                                   QStringLiteral(":/Resources/satEnabled.png")};
        const char* const aFailures[2] = {"Could load imgSatDisabled image",
                                          "Could load imgSatEnabled image"};
        for (int i = 0; i < 2; ++i) {
            QPixmap image;
            if (!image.load(aFiles[i]))
                qDebug() << aFailures[i];
            m_aMarkers[i] =
                image.isNull() ? image : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        m_markerSize = size;
    }
    return m_aMarkers[bUsed ? 1 : 0];
}

void CAzimuthElevationWnd::paintEvent(QPaintEvent* pEvent)
{
    QPainter painter(this);
    const QPalette palette;
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

    painter.setFont(DisplayFont::Face(GpsGeometry::SkyLabelPointSize(dD, logicalDpiX())));
    const QFontMetrics metrics = painter.fontMetrics();
    const QPointF centre(dX + dR, dY + dR);

    for (const CGPSDisplayData::SAT_DATA& sat : m_Data.aSats) {
        // Without a PRN, azimuth and elevation there is nothing to place.
        if (sat.nPRN == 0 || sat.nAzimuth == 0 || sat.nElevation == 0)
            continue;
        const QPoint point = GpsGeometry::SkyProjection(sat.nAzimuth, sat.nElevation, centre, dD);
        const QRectF label = GpsGeometry::SkyLabelRect(point, dD, metrics.height());
        if (!pEvent->region().intersects(GpsGeometry::PaintReach(label)))
            continue; // left as painted
        const QRect pixels = GpsGeometry::SkyMarkerPixels(point, dD);
        painter.drawPixmap(pixels.topLeft(), Marker(sat.bUsed, pixels.size()));
        painter.setPen(QColor(0, 0, 0));
        painter.drawText(label, Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("%1").arg(sat.nPRN));
    }
}
