#include "gpsgeometry.h"

#include "cnavconversions.h"
#include "displayfont.h"

#include <algorithm>
#include <cmath>

namespace GpsGeometry {

namespace {
// Pi to eleven decimals, as the projection is defined; a more precise value
// moves some markers by a pixel.
const double kPi = 3.14159265359;

// Truncation toward zero with NaN as 0 and saturation at the ends of int.
int Trunc(double d)
{
    return CNavConversions::TruncInt(d);
}

// Sum of two truncated parts, saturating too: a record may carry any 32-bit
// angle, and a part already at the end of int plus the centre must not wrap.
int Sum(int a, int b)
{
    return Trunc(double(a) + double(b));
}
} // namespace

QRectF SkySquare(QSize widget)
{
    const int nW = widget.width();
    const int nH = widget.height();
    const double dD = std::min(nW, nH) - 1;
    const double dR = dD * 0.5;
    if (nW - 1 > nH - 1)
        return QRectF(nW / 2 - dR, 0.0, dD, dD);
    return QRectF(0.0, nH / 2 - dR, dD, dD);
}

QPoint SkyProjection(int nAzimuth, int nElevation, QPointF centre, double dWidth)
{
    const double dPhi = nAzimuth / 180.0 * kPi;
    const double dK = (dWidth * 0.5) / 90.0;
    const double dZ = 90.0 - nElevation;
    return QPoint(Sum(Trunc(std::sin(dPhi) * dZ * dK), Trunc(centre.x() + 0.5)),
                  Sum(Trunc(-std::cos(dPhi) * dZ * dK), Trunc(centre.y() + 0.5)));
}

QRectF SkyMarkerRect(QPoint point, double dSide)
{
    const double dM = dSide * 0.08;
    return QRectF(point.x() - dM / 2, point.y() - dM / 2, dM, dM);
}

QRect SkyMarkerPixels(QPoint point, double dSide)
{
    const int nFar = 1000000;
    const int nSide = std::max(1, Trunc(dSide * 0.08 + 0.5));
    return QRect(std::clamp(point.x(), -nFar, nFar) - nSide / 2,
                 std::clamp(point.y(), -nFar, nFar) - nSide / 2, nSide, nSide);
}

QRectF SkyLabelRect(QPoint point, double dSide, int nLineHeight)
{
    QRectF label = SkyMarkerRect(point, dSide);
    label.setHeight(label.height() + nLineHeight);
    return label;
}

int SkyLabelPointSize(double dSide, int nLogicalDpiX)
{
    return DisplayFont::PointSize(dSide * 0.045, nLogicalDpiX);
}

int SlotCount(int nSatsInView)
{
    if (nSatsInView == 0)
        return EMPTY_SLOT_COUNT;
    // The record holds 96 slots; a larger count from the wire draws those.
    return std::clamp(nSatsInView, 0, 96);
}

double SlotWidth(int nWidgetWidth, int nSlots)
{
    return nSlots > 0 ? double(nWidgetWidth) / nSlots : 0.0;
}

int BarPointSize(double dSlotWidth, int nLogicalDpiX)
{
    return std::min(DisplayFont::PointSize(dSlotWidth * 0.3, nLogicalDpiX), int(MAX_BAR_POINT_SIZE));
}

double BarAreaHeight(int nWidgetHeight, int nLineHeight)
{
    return nWidgetHeight - nLineHeight * 1.25;
}

QRectF BarRect(double dX, double dSlotWidth, double dAreaHeight, int nSNR)
{
    const double dHeight = (dAreaHeight / double(FULL_SCALE_SNR)) * nSNR;
    return QRectF(dX, dAreaHeight - dHeight, dSlotWidth, dHeight);
}

QRect PrnLabelRect(double dX, double dSlotWidth, double dAreaHeight, int nLineHeight)
{
    return QRect(Trunc(dX), Trunc(dAreaHeight), Trunc(dSlotWidth), Trunc(nLineHeight * 1.25));
}

bool BarIsShadowed(bool bUsed, int nStatus)
{
    return !bUsed && nStatus != 1;
}

QColor StatusColour(int nStatus)
{
    switch (nStatus) {
    case 0:
        return QColor(0, 0, 192);
    case 1:
        return QColor(0, 192, 0);
    case 2:
        return QColor(192, 0, 0);
    case 3:
        return QColor(192, 192, 0);
    default:
        return QColor(255, 0, 255);
    }
}

PanelFontSizes PositionFontSizes(QSize widget, int nLogicalDpiX)
{
    const double dRow = (widget.height() - 1) * 0.25;
    const int nBase = Trunc(dRow * 0.48);
    return PanelFontSizes{DisplayFont::PointSize(nBase / 3.0, nLogicalDpiX),
                          DisplayFont::PointSize(nBase, nLogicalDpiX)};
}

QRectF PositionBox(int nIndex, QSize widget)
{
    const double dW = widget.width() - 1;
    const double dR = (widget.height() - 1) * 0.25;
    switch (nIndex) {
    case 0:
        return QRectF(0, 0, dW, dR);
    case 1:
        return QRectF(0, dR, dW, dR);
    case 2:
        return QRectF(0, 2 * dR, dW / 2, dR);
    case 3:
        return QRectF(dW / 2, 2 * dR, dW / 2, dR);
    case 4:
        return QRectF(0, 3 * dR, dW / 4, dR);
    case 5:
        return QRectF(dW / 4, 3 * dR, dW / 4, dR);
    case 6:
        return QRectF(dW / 2, 3 * dR, dW / 2, dR);
    default:
        return QRectF();
    }
}

QRectF BoxInnerRect(const QRectF& box)
{
    const double dM = box.height() / 20;
    return QRectF(box.x() + dM, box.y() + dM, box.width() - 2 * dM, box.height() - 2 * dM);
}

QRectF BoxTextRect(const QRectF& inner)
{
    return QRectF(inner.x() + 3, inner.y() + 3, inner.width() - 3, inner.height() - 3);
}

QColor StyleTextColour(int nStyle)
{
    switch (nStyle) {
    case 1:
        return QColor(255, 255, 255);
    case 2:
        return QColor(0, 0, 0);
    case 3:
        return QColor(255, 255, 0);
    default:
        return QColor();
    }
}

QColor StyleFillColour(int nStyle)
{
    switch (nStyle) {
    case 1:
        return QColor(0, 170, 0);
    case 2:
        return QColor(255, 255, 0);
    case 3:
        return QColor(170, 0, 0);
    default:
        return QColor();
    }
}

int64_t ShownGPSTime(int32_t nGPSTime)
{
    return nGPSTime >= 1 ? int64_t(nGPSTime) + 1 : 0;
}

int GPSTimeStyle(int64_t tShown, int32_t nGPSTimeFlag)
{
    if (nGPSTimeFlag == 0)
        return 2;
    return tShown < kPlausibleTimeStart ? 3 : 0;
}

QRect PaintReach(const QRectF& rect)
{
    const double dFar = 1e6; // far outside any widget, and clear of int's ends
    const QPointF topLeft(std::clamp(rect.left(), -dFar, dFar), std::clamp(rect.top(), -dFar, dFar));
    const QPointF bottomRight(std::clamp(rect.right(), -dFar, dFar), std::clamp(rect.bottom(), -dFar, dFar));
    return QRectF(topLeft, bottomRight).toAlignedRect().adjusted(-2, -2, 2, 2);
}

} // namespace GpsGeometry
