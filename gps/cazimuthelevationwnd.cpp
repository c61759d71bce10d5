#include "cazimuthelevationwnd.h"

#include "displayfont.h"
#include "gpsgeometry.h"
#include "imageexport.h"

#include <QContextMenuEvent>
#include <QDebug>
#include <QFontMetricsF>
#include <QMenu>
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

namespace {
// Without a PRN, azimuth and elevation there is nothing to place.
bool IsDrawn(const CGPSDisplayData::SAT_DATA& sat)
{
    return sat.nPRN != 0 && sat.nAzimuth != 0 && sat.nElevation != 0;
}
} // namespace

bool CAzimuthElevationWnd::SetData(const CGPSDisplayData& data, bool bRepaint)
{
    // A paint is asked for, not made here: Qt merges the requests into one
    // paint per turn of the event loop. A full sky costs about 2.5 ms a
    // paint, so a peer flooding GPS records (10,000 a second) would
    // otherwise keep the window busy for minutes after the flood. Most
    // seconds no satellite moves by a whole degree: only the satellites whose
    // marker or label moves are drawn again (a label moves when another
    // satellite comes near it).
    if (bRepaint && isVisible()) {
        if (m_layoutSize != size()) {
            Layout(m_Data, m_Layout);
            m_layoutSize = size();
        }
        LAYOUT next;
        Layout(data, next);
        for (int i = 0; i < CGPSDisplayData::MAX_SATELLITES; ++i) {
            if (m_Layout.aMarkers[i] != next.aMarkers[i] || m_Layout.aLabels[i] != next.aLabels[i] ||
                m_Data.aSats[i].nPRN != data.aSats[i].nPRN || m_Data.aSats[i].bUsed != data.aSats[i].bUsed) {
                for (const LAYOUT* pLayout : {&m_Layout, &next}) {
                    if (!pLayout->aMarkers[i].isEmpty()) {
                        update(GpsGeometry::PaintReach(pLayout->aMarkers[i]));
                        update(GpsGeometry::PaintReach(pLayout->aLabels[i]));
                    }
                }
            }
        }
        m_Layout = next;
    } else {
        m_layoutSize = QSize(); // laid out at the next paint
    }
    m_Data.SetData(data);
    // Assistive technology hears what the panel paints.
    {
        QStringList sats;
        for (const CGPSDisplayData::SAT_DATA& sat : m_Data.aSats) {
            if (IsDrawn(sat))
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

QFont CAzimuthElevationWnd::LabelFont() const
{
    const double dD = GpsGeometry::SkySquare(size()).width();
    return DisplayFont::Legible(GpsGeometry::SkyLabelPointSize(dD, logicalDpiX()));
}

void CAzimuthElevationWnd::Layout(const CGPSDisplayData& data, LAYOUT& layout) const
{
    const QRectF square = GpsGeometry::SkySquare(size());
    const double dD = square.width();
    const QPointF centre(square.x() + dD * 0.5, square.y() + dD * 0.5);
    const QFontMetricsF metrics(LabelFont(), this);
    int aSlots[CGPSDisplayData::MAX_SATELLITES];
    QVector<QRectF> markers;
    QVector<QSizeF> texts;
    for (int i = 0; i < CGPSDisplayData::MAX_SATELLITES; ++i) {
        const CGPSDisplayData::SAT_DATA& sat = data.aSats[i];
        layout.aMarkers[i] = QRect();
        layout.aLabels[i] = QRectF();
        if (!IsDrawn(sat))
            continue;
        const QPoint point = GpsGeometry::SkyProjection(sat.nAzimuth, sat.nElevation, centre, dD);
        const QRect marker = GpsGeometry::SkyMarkerPixels(point, dD);
        if (!marker.intersects(rect()))
            continue; // out of sight (an elevation far below the horizon): no label either
        layout.aMarkers[i] = marker;
        aSlots[markers.size()] = i;
        markers.append(QRectF(layout.aMarkers[i]));
        texts.append(QSizeF(metrics.horizontalAdvance(QString::number(sat.nPRN)), metrics.height()));
    }
    const QVector<QRectF> labels = GpsGeometry::PlaceSkyLabels(markers, texts, QRectF(rect()));
    for (int n = 0; n < labels.size(); ++n)
        layout.aLabels[aSlots[n]] = labels.at(n);
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

    if (m_layoutSize != size()) {
        Layout(m_Data, m_Layout);
        m_layoutSize = size();
    }
    // Every marker first, then every label: no marker covers a number.
    const QRegion& region = pEvent->region();
    for (int i = 0; i < CGPSDisplayData::MAX_SATELLITES; ++i) {
        const QRect& pixels = m_Layout.aMarkers[i];
        if (!pixels.isEmpty() && region.intersects(GpsGeometry::PaintReach(pixels)))
            painter.drawPixmap(pixels.topLeft(), Marker(m_Data.aSats[i].bUsed, pixels.size()));
    }
    painter.setFont(LabelFont());
    painter.setPen(QColor(0, 0, 0));
    for (int i = 0; i < CGPSDisplayData::MAX_SATELLITES; ++i) {
        const QRectF& label = m_Layout.aLabels[i];
        if (!m_Layout.aMarkers[i].isEmpty() && region.intersects(GpsGeometry::PaintReach(label)))
            painter.drawText(label, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextDontClip,
                             QString::number(m_Data.aSats[i].nPRN));
    }
}

void CAzimuthElevationWnd::contextMenuEvent(QContextMenuEvent* pEvent)
{
    QMenu menu(this);
    DataOut::AddImageActions(&menu, this, QStringLiteral("Sky Plot"));
    menu.exec(pEvent->globalPos());
}
