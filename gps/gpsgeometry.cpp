#include "gpsgeometry.h"

#include "cnavconversions.h"
#include "displayfont.h"

#include <QFontMetricsF>

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

int SkyLabelPointSize(double dSide, int nLogicalDpiX)
{
    return DisplayFont::PointSize(dSide * 0.045, nLogicalDpiX);
}

namespace {
// r moved inside bounds; a rectangle larger than them keeps its top left on
// theirs.
QRectF Inside(QRectF r, const QRectF& bounds)
{
    r.moveLeft(std::max(bounds.left(), std::min(r.left(), bounds.right() - r.width())));
    r.moveTop(std::max(bounds.top(), std::min(r.top(), bounds.bottom() - r.height())));
    return r;
}
} // namespace

QVector<QRectF> PlaceSkyLabels(const QVector<QRectF>& markers, const QVector<QSizeF>& texts,
                               const QRectF& bounds)
{
    const double kGap = 2.0;
    const int kRings = 6;
    const int nCount = std::min(markers.size(), texts.size());
    QVector<QRectF> placed;
    placed.reserve(nCount);
    for (int i = 0; i < nCount; ++i) {
        const QRectF& m = markers.at(i);
        const double dW = texts.at(i).width();
        const double dH = texts.at(i).height();
        const QPointF c = m.center();
        const QRectF usual(c.x() - dW / 2, c.y(), dW, dH); // centred in the marker and a line below
        QVector<QRectF> places = {
            usual,
            QRectF(c.x() - dW / 2, m.bottom(), dW, dH),    // below
            QRectF(c.x() - dW / 2, m.top() - dH, dW, dH),  // above
            QRectF(m.right(), c.y() - dH / 2, dW, dH),     // right
            QRectF(m.left() - dW, c.y() - dH / 2, dW, dH), // left
            QRectF(m.right(), m.bottom(), dW, dH),         // corners
            QRectF(m.left() - dW, m.bottom(), dW, dH),
            QRectF(m.right(), m.top() - dH, dW, dH),
            QRectF(m.left() - dW, m.top() - dH, dW, dH),
        };
        // A crowded sky: further out, a line at a time, in the same directions.
        for (int nRing = 1; nRing <= kRings; ++nRing)
            for (int j = 1; j < 9; ++j) {
                const QPointF away = places.at(j).center() - c;
                const double dLength = std::hypot(away.x(), away.y());
                if (dLength > 0)
                    places.append(places.at(j).translated(away * (nRing * dH / dLength)));
            }
        // Glyphs reach a little past their advance: labels keep a gap.
        const auto hitsLabel = [&](const QRectF& r) {
            const QRectF near = r.adjusted(-kGap, -kGap, kGap, kGap);
            return std::any_of(placed.cbegin(), placed.cend(),
                               [&](const QRectF& p) { return p.intersects(near); });
        };
        const auto hitsMarker = [&](const QRectF& r) {
            for (int j = 0; j < markers.size(); ++j)
                if (j != i && markers.at(j).intersects(r))
                    return true;
            return false;
        };
        // Nearer first: the places beside the marker, then each line further
        // out, each tier clear of markers if it can be, else of labels only.
        QRectF chosen = Inside(usual, bounds);
        bool bFree = false;
        for (int nTier = 0; nTier <= kRings && !bFree; ++nTier) {
            const int nFirst = nTier == 0 ? 0 : 1 + nTier * 8;
            const int nEnd = std::min(int(places.size()), nTier == 0 ? 9 : nFirst + 8);
            for (int nPass = 0; nPass < 2 && !bFree; ++nPass)
                for (int k = nFirst; k < nEnd; ++k) {
                    const QRectF r = Inside(places.at(k), bounds);
                    if (!hitsLabel(r) && (nPass == 1 || !hitsMarker(r))) {
                        chosen = r;
                        bFree = true;
                        break;
                    }
                }
        }
        placed.append(chosen);
    }
    return placed;
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

int PrnRowCount(const QVector<double>& textWidths, double dSlotWidth, double dWidth)
{
    const int nLabels = textWidths.size();
    const double dWidest = nLabels ? *std::max_element(textWidths.cbegin(), textWidths.cend()) : 0.0;
    if (!(dWidest > dSlotWidth) || !(dSlotWidth > 0.0))
        return 1;
    const double kGap = 2.0;
    for (int nRows = std::max(2, int(std::ceil((dWidest + kGap) / dSlotWidth))); nRows < nLabels; ++nRows) {
        bool bClear = true;
        for (int i = 0; bClear && i + nRows < nLabels; ++i) {
            const QRectF here = PrnTextBox(i, textWidths.at(i), dSlotWidth, dWidth, 0, 1, nRows);
            const QRectF next =
                PrnTextBox(i + nRows, textWidths.at(i + nRows), dSlotWidth, dWidth, 0, 1, nRows);
            bClear = here.right() + kGap <= next.left();
        }
        if (bClear)
            return nRows;
    }
    return std::max(1, nLabels);
}

double BarAreaHeight(int nWidgetHeight, int nLineHeight, int nRows)
{
    return nWidgetHeight - nLineHeight * (nRows + 0.25);
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

QRectF PrnTextBox(int nSlot, double dTextWidth, double dSlotWidth, double dWidth, double dAreaHeight,
                  int nLineHeight, int nRows)
{
    const double dCentre = (nSlot + 0.5) * dSlotWidth;
    const double dLeft = std::max(0.0, std::min(dCentre - dTextWidth / 2, dWidth - dTextWidth));
    const int nRow = nRows > 0 ? nSlot % nRows : 0;
    return QRectF(dLeft, dAreaHeight + nLineHeight * (nRow + 0.125), dTextWidth, nLineHeight);
}

SnrPlace SnrTextPlace(const QRectF& bar, double dAreaHeight, double dTextWidth, int nLineHeight)
{
    const bool bUpright = dTextWidth > bar.width();
    const double dW = bUpright ? nLineHeight : dTextWidth;
    const double dH = bUpright ? dTextWidth : nLineHeight;
    // A bar past 55 runs off the top; a negative one hangs below the area.
    const double dTop = std::clamp(bar.top(), 0.0, std::max(0.0, dAreaHeight));
    const bool bInBar = dAreaHeight - dTop >= dH && bar.height() > 0;
    const double dY = bInBar ? dTop : std::max(0.0, dTop - dH);
    return SnrPlace{QRectF(bar.center().x() - dW / 2, dY, dW, dH), bUpright, bInBar};
}

namespace {
double Luminance(const QColor& colour)
{
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}
} // namespace

double Contrast(const QColor& a, const QColor& b)
{
    const double dA = Luminance(a);
    const double dB = Luminance(b);
    return (std::max(dA, dB) + 0.05) / (std::min(dA, dB) + 0.05);
}

QColor ReadableOn(const QColor& preferred, const QColor& background)
{
    if (Contrast(preferred, background) >= 4.5)
        return preferred;
    const QColor black(0, 0, 0);
    const QColor white(255, 255, 255);
    return Contrast(black, background) >= Contrast(white, background) ? black : white;
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

BoxTextLayout LayOutBoxText(const QRectF& textRect, const QString& strTitle, const QString& strValue,
                            int nTitlePointSize, int nValuePointSize)
{
    BoxTextLayout layout;
    layout.titleFont = DisplayFont::Legible(nTitlePointSize);
    const QFontMetricsF titleMetrics(layout.titleFont);
    // The GPS time's title ends in a line break, which takes no room.
    const QString strLine = strTitle.trimmed();
    layout.strTitle = titleMetrics.horizontalAdvance(strLine) <= textRect.width()
                          ? strTitle
                          : DisplayFont::Elided(layout.titleFont, strLine, textRect.width());
    const QRectF titleInk = titleMetrics.tightBoundingRect(layout.strTitle.trimmed())
                                .translated(textRect.left(), textRect.top() + titleMetrics.ascent());

    // As far from the outline's right side as the text rectangle is from its left.
    layout.valueFont = DisplayFont::Fitted(nValuePointSize, strValue, textRect.width() - 3);
    layout.valueRect = textRect;
    // Glyphs of the value centred in rect, as drawText places them.
    const auto valueInk = [&](const QRectF& rect) {
        const QFontMetricsF metrics(layout.valueFont);
        const double dLineTop = rect.top() + (rect.height() - (metrics.ascent() + metrics.descent())) / 2;
        const double dLeft = rect.left() + (rect.width() - metrics.horizontalAdvance(strValue)) / 2;
        return metrics.tightBoundingRect(strValue).translated(dLeft, dLineTop + metrics.ascent());
    };
    const double kGap = 2.0;
    if (layout.strTitle.trimmed().isEmpty() || strValue.isEmpty() ||
        !valueInk(textRect).adjusted(-kGap, -kGap, kGap, kGap).intersects(titleInk))
        return layout;
    // Below the title: the value's glyphs centred in what is left.
    const QRectF below(textRect.left(), titleInk.bottom() + kGap, textRect.width(),
                       std::max(0.0, textRect.bottom() - titleInk.bottom() - kGap));
    const int nLegible = DisplayFont::LegiblePointSize();
    for (;;) {
        const QFontMetricsF metrics(layout.valueFont);
        const QRectF ink = metrics.tightBoundingRect(strValue);
        // A line box whose glyphs are centred in below.
        const double dBaseline = below.center().y() - (ink.top() + ink.bottom()) / 2;
        layout.valueRect = QRectF(below.left(), dBaseline - metrics.ascent(), below.width(),
                                  metrics.ascent() + metrics.descent());
        if (ink.height() <= below.height() || layout.valueFont.pointSize() <= nLegible)
            return layout;
        layout.valueFont.setPointSize(layout.valueFont.pointSize() - 1);
    }
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
