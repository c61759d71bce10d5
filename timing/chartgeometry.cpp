#include "chartgeometry.h"

#include "displayfont.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ChartGeometry {

namespace {
// Searches give up long before they could loop for ever: 5 x 2^64 and
// 1e-5 x 10^400 lie beyond any finite pixel spacing or span.
const int kMaxDoublings = 64;
const int kMaxDecades = 400;
// A chart spans at most width / 50 steps, far fewer than this (a widget is
// at most 16,777,215 px wide); a factor from elsewhere cannot loop longer.
const double kMaxHorizontalLines = 1e6;

bool IsFinitePositive(double d)
{
    return std::isfinite(d) && d > 0.0;
}
} // namespace

int PointSize(double dLength, double dFraction, int nLogicalDpiX)
{
    return DisplayFont::PointSize(dLength * dFraction, nLogicalDpiX);
}

ClockSizes ClockPointSizes(double dWidth, double dHeight, int nLogicalDpiX)
{
    if (dHeight <= dWidth / 4.5)
        return ClockSizes{PointSize(dHeight, 0.5, nLogicalDpiX), PointSize(dHeight, 0.1, nLogicalDpiX)};
    return ClockSizes{PointSize(dWidth, 0.15, nLogicalDpiX), PointSize(dWidth, 0.02, nLogicalDpiX)};
}

QRectF PlotRect(QSize widget, double dTagColumnWidth)
{
    return QRectF(kPlotLeft, 0.0, (widget.width() - 1) - kPlotLeft - dTagColumnWidth,
                  (widget.height() - 1) - kPlotBottomMargin);
}

Range ExtentYRange(double dExtentMin, double dExtentMax)
{
    const double dMargin = 0.1 * std::fabs(dExtentMax - dExtentMin);
    return Range{dExtentMin - dMargin, dExtentMax + dMargin};
}

Range WindowYRange(double dVisibleMin, double dVisibleMax, double dSpanLow, double dSpanHigh)
{
    const double dMargin = 0.1 * std::fabs(dVisibleMax - dVisibleMin);
    Range r{dVisibleMin - dMargin, dVisibleMax + dMargin};
    // Nothing visible last time (sentinels) gives [8e19, -8e19], which lies
    // inside any span and so becomes exactly the minimum span.
    if (r.dMin > dSpanLow && dSpanHigh > r.dMax)
        r = Range{dSpanLow, dSpanHigh};
    if (r.dMax - r.dMin == 0.0) {
        if (r.dMax == 0.0) {
            r = Range{-1.0, 1.0};
        } else {
            const double dM = r.dMax;
            r.dMax = 1.5 * dM;
            r.dMin = r.dMin - 0.5 * dM;
        }
    }
    return r;
}

double ScaleFactor(double dPixels, double dSpan)
{
    const double dAbsSpan = std::fabs(dSpan);
    return dAbsSpan == 0.0 ? 1.0 : dPixels / dAbsSpan;
}

double HorizontalStep(double dFactor)
{
    if (!IsFinitePositive(dFactor))
        return 0.0;
    double dStep = 5.0;
    for (int i = 0; i < kMaxDoublings; ++i) {
        if (dStep * dFactor > 50.0)
            return dStep;
        dStep *= 2.0;
    }
    return 0.0;
}

QVector<GridLine> HorizontalGrid(double dXMin, double dXMax, double dFactor, double dLeft, double dWidth)
{
    QVector<GridLine> lines;
    const double dSpan = std::fabs(dXMax - dXMin);
    const double dStep = HorizontalStep(dFactor);
    if (dStep == 0.0 || !std::isfinite(dSpan) || dSpan / dStep > kMaxHorizontalLines)
        return lines;
    double dValue = dXMax + dStep - std::fmod(dXMax, dStep);
    // The counter stays a double: as an int it would wrap at 2^31 and never
    // pass a larger span.
    for (double dCount = 0.0; dSpan > dCount; dCount = std::trunc(dCount + dStep)) {
        dValue -= dStep;
        const double dPx = PixelX(dValue, dXMin, dLeft, dFactor);
        if (dLeft <= dPx && dPx < dLeft + dWidth && std::fmod(dValue, dStep) == 0.0)
            lines.append(GridLine{dValue, dPx, false});
    }
    return lines;
}

VerticalStep VerticalGridStep(double dSpan)
{
    if (!IsFinitePositive(dSpan))
        return VerticalStep{0.0, 0};
    double dDecade = 1e-5;
    double dStep = 1e-6;
    if (dSpan > 1e-5) {
        for (int i = 0; i < kMaxDecades && dDecade < dSpan; ++i)
            dDecade *= 10.0;
        dStep = dDecade / 10.0;
    }
    if (2.0 * dStep < dSpan)
        return VerticalStep{dStep, 10};
    for (int n = 20; n <= 100; n += 10) {
        dStep = dDecade / n;
        if (2.0 * dStep < dSpan)
            return VerticalStep{dStep, n};
    }
    return VerticalStep{0.0, 0};
}

QVector<GridLine> VerticalGrid(double dYMin, double dYMax, double dFactor, double dTop, double dHeight)
{
    QVector<GridLine> lines;
    const VerticalStep step = VerticalGridStep(std::fabs(dYMax - dYMin));
    double dValue = dYMax - std::fmod(dYMax, step.dStep);
    for (int i = 0; i < step.nLines; ++i) {
        const double dPy = PixelY(dValue, dYMin, dTop, dHeight, dFactor);
        if (dTop <= dPy && dPy <= dTop + dHeight) {
            const bool bZero = std::fabs(dValue) < 1e-14;
            lines.append(GridLine{bZero ? 0.0 : dValue, dPy, bZero});
        }
        dValue -= step.dStep;
    }
    return lines;
}

VisitPlan PlanVisit(int nPoints, double dPlotLeft, double dPlotWidth, double dFactor, double dXMin)
{
    if (nPoints <= 0)
        return VisitPlan{0, 1};
    // The horizontal span in units, X max - X min up to rounding. Kept in
    // double and clamped, so that no span can index before the first point.
    double dUnits =
        std::trunc(((dPlotWidth - dPlotLeft) / dFactor + dXMin) - ((0.0 - dPlotLeft) / dFactor + dXMin));
    if (!(dUnits >= 0.0))
        dUnits = 0.0;
    if (dUnits > nPoints)
        dUnits = nPoints;
    const int nUnits = int(dUnits);
    const int nFirst = nUnits < nPoints ? nPoints - nUnits - 1 : 0;
    const int nVisited = nPoints - nFirst;
    const double dPixels = std::trunc(dPlotWidth);
    const int nPixels = dPixels >= 1.0 ? (dPixels < 1e9 ? int(dPixels) : 1000000000) : 0;
    const int nStep = (nPixels >= 1 && 2 * qint64(nPixels) < nVisited) ? nVisited / nPixels : 1;
    return VisitPlan{nFirst, nStep};
}

QPolygonF TagPolygon(double dPx, double dPy, double dCentre, double dA, double dWidth)
{
    QPolygonF polygon;
    polygon << QPointF(dPx, dPy) << QPointF(dPx + dA, dCentre - dA)
            << QPointF(dPx + dWidth - dA, dCentre - dA) << QPointF(dPx + dWidth - dA, dCentre + dA)
            << QPointF(dPx + dA, dCentre + dA) << QPointF(dPx, dPy);
    return polygon;
}

QVector<double> StackTags(const QVector<double>& wanted, double dHeight, double dTop, double dBottom)
{
    const int nTags = wanted.size();
    QVector<double> centres(nTags);
    if (nTags == 0)
        return centres;
    if (!IsFinitePositive(dHeight))
        dHeight = 0.0;
    const double dHighest = dTop + dHeight / 2;
    const double dLowest = std::max(dHighest, dBottom - dHeight / 2);
    // In the order of the wanted centres, before they are brought into the
    // widget (two tags beyond its top keep their order).
    QVector<double> key(nTags), want(nTags);
    QVector<int> order(nTags);
    for (int i = 0; i < nTags; ++i) {
        key[i] = std::isnan(wanted.at(i)) ? -std::numeric_limits<double>::infinity() : wanted.at(i);
        want[i] = std::clamp(key.at(i), dHighest, dLowest);
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return key.at(a) < key.at(b); });

    // Runs of boxes that touch, top to bottom. A run lies at the mean of its
    // members' wanted centres less their offsets in the run; a run that
    // reaches into the one above merges with it.
    struct Run
    {
        int nFirst;
        int nCount;
        double dSum; // of want - offset in the run x height
        double Top() const { return dSum / nCount; }
    };
    QVector<Run> runs;
    for (int k = 0; k < nTags; ++k) {
        Run run{k, 1, want.at(order.at(k))};
        while (!runs.isEmpty()) {
            const Run& above = runs.last();
            if (above.Top() + above.nCount * dHeight <= run.Top())
                break;
            run = Run{above.nFirst, above.nCount + run.nCount,
                      above.dSum + run.dSum - double(run.nCount) * above.nCount * dHeight};
            runs.removeLast();
        }
        runs.append(run);
    }
    QVector<double> sorted(nTags);
    for (const Run& run : qAsConst(runs))
        for (int j = 0; j < run.nCount; ++j)
            sorted[run.nFirst + j] = run.Top() + j * dHeight;

    // Into the widget: down from the top, up from the bottom, and down again
    // when they do not all fit (then the lowest run past the bottom).
    const auto pushDown = [&] {
        sorted[0] = std::max(sorted.at(0), dHighest);
        for (int k = 1; k < nTags; ++k)
            sorted[k] = std::max(sorted.at(k), sorted.at(k - 1) + dHeight);
    };
    pushDown();
    sorted[nTags - 1] = std::min(sorted.at(nTags - 1), dLowest);
    for (int k = nTags - 2; k >= 0; --k)
        sorted[k] = std::min(sorted.at(k), sorted.at(k + 1) - dHeight);
    pushDown();
    for (int k = 0; k < nTags; ++k)
        centres[order.at(k)] = sorted.at(k);
    return centres;
}

double ShiftInto(double dStart, double dLength, double dLow, double dHigh)
{
    if (std::isnan(dStart))
        return dLow;
    if (dStart + dLength > dHigh)
        dStart = dHigh - dLength;
    if (dStart < dLow)
        dStart = dLow;
    return dStart;
}

QVector<bool> KeepApart(const QVector<QRectF>& boxes, const QVector<QPolygonF>& taken)
{
    QVector<bool> kept(boxes.size(), false);
    QVector<QRectF> placed;
    for (int i = 0; i < boxes.size(); ++i) {
        const QRectF& box = boxes.at(i);
        if (!(box.width() > 0 && box.height() > 0 && std::isfinite(box.x()) && std::isfinite(box.y())))
            continue;
        const QPolygonF outline(box);
        const bool bFree = std::none_of(placed.cbegin(), placed.cend(),
                                        [&](const QRectF& other) { return other.intersects(box); }) &&
                           std::none_of(taken.cbegin(), taken.cend(), [&](const QPolygonF& other) {
                               return other.boundingRect().intersects(box) && other.intersects(outline);
                           });
        if (bFree) {
            kept[i] = true;
            placed.append(box);
        }
    }
    return kept;
}

QRectF InkRect(const QFont& font, const QRectF& rect, int nFlags, const QString& strText)
{
    const QFontMetricsF metrics(font);
    const QRectF block = metrics.boundingRect(rect, nFlags, strText);
    const QStringList lines = strText.split(QLatin1Char('\n'));
    // The first baseline lies an ascent below the block's top, the last a
    // descent above its bottom.
    const QRectF first = metrics.tightBoundingRect(lines.first());
    const QRectF last = lines.size() == 1 ? first : metrics.tightBoundingRect(lines.last());
    const double dTop = block.top() + metrics.ascent() + first.top();
    const double dBottom = block.bottom() - metrics.descent() + last.bottom();
    // One line: its glyphs from the pen's start; more: the widest line's box.
    const double dLeft = lines.size() == 1 ? block.left() + last.left() : block.left();
    const double dWidth = lines.size() == 1 ? last.width() : block.width();
    return QRectF(dLeft, dTop, dWidth, std::max(0.0, dBottom - dTop));
}

namespace {
// The size in [nSmallest, nLargest] found by bisection: the largest for which
// fits() holds (which is assumed to hold for all smaller ones), else nSmallest.
template <typename Fits> int LargestFitting(int nSmallest, int nLargest, Fits fits)
{
    if (nLargest <= nSmallest || fits(nLargest))
        return std::max(nSmallest, nLargest);
    int nLow = nSmallest, nHigh = nLargest; // fits(nHigh) is false
    while (nHigh - nLow > 1) {
        const int nMiddle = nLow + (nHigh - nLow) / 2;
        (fits(nMiddle) ? nLow : nHigh) = nMiddle;
    }
    return nLow;
}

QFont Sized(QFont font, int nPointSize)
{
    font.setPointSize(nPointSize);
    return font;
}

QString WidestLine(const QFont& font, const QStringList& lines)
{
    const QFontMetricsF metrics(font);
    QString strWidest;
    for (const QString& line : lines)
        if (metrics.horizontalAdvance(line) > metrics.horizontalAdvance(strWidest))
            strWidest = line;
    return strWidest;
}

bool FitsWidth(const QFont& font, const QStringList& lines, double dRoom)
{
    const QFontMetricsF metrics(font);
    return std::all_of(lines.cbegin(), lines.cend(),
                       [&](const QString& line) { return metrics.horizontalAdvance(line) <= dRoom; });
}
} // namespace

PanelTexts CentreAndFoot(const QRectF& rect, const QFont& big, const QString& strBig, const QFont& foot,
                         const QStringList& footChoices)
{
    PanelTexts texts{big, foot, QString(), false};
    bool bFootFits = footChoices.isEmpty();
    for (const QString& strChoice : footChoices) {
        const QStringList lines = strChoice.split(QLatin1Char('\n'));
        texts.foot = DisplayFont::Fitted(foot, WidestLine(foot, lines), rect.width());
        texts.strFoot = strChoice;
        bFootFits = FitsWidth(texts.foot, lines, rect.width());
        if (bFootFits)
            break;
    }
    const double dFootTop =
        texts.strFoot.isEmpty()
            ? rect.bottom()
            : InkRect(texts.foot, rect, Qt::AlignHCenter | Qt::AlignBottom, texts.strFoot).top();
    const auto clear = [&](int nSize) {
        return InkRect(Sized(big, nSize), rect, Qt::AlignCenter, strBig).bottom() + kTextGap <= dFootTop;
    };
    const int nSmallest = DisplayFont::LegiblePointSize();
    texts.big = DisplayFont::Fitted(big, strBig, rect.width());
    texts.big.setPointSize(LargestFitting(nSmallest, texts.big.pointSize(), clear));
    texts.bFits = bFootFits && FitsWidth(texts.big, {strBig}, rect.width()) && clear(texts.big.pointSize());
    return texts;
}

QSizeF CentreAndFootMinimum(const QFont& big, const QStringList& bigTexts, const QFont& foot,
                            const QStringList& footLines, int nFootLines)
{
    const int nLegible = DisplayFont::LegiblePointSize();
    const QFontMetricsF bigMetrics(Sized(big, nLegible)), footMetrics(Sized(foot, nLegible));
    double dWidth = 0.0;
    for (const QString& text : bigTexts)
        dWidth = std::max(dWidth, bigMetrics.horizontalAdvance(text));
    for (const QString& line : footLines)
        dWidth = std::max(dWidth, footMetrics.horizontalAdvance(line));
    const double dFoot = (std::max(1, nFootLines) - 1) * footMetrics.lineSpacing() + footMetrics.height();
    return QSizeF(std::ceil(dWidth), std::ceil(bigMetrics.height() + 2 * (dFoot + kTextGap)));
}

QFont FitLines(const QFont& font, const QStringList& lines, double dRoom, double dHeight)
{
    const QFont fitted = DisplayFont::Fitted(font, WidestLine(font, lines), dRoom);
    const int nLines = std::max(1, int(lines.size()));
    return Sized(fitted, LargestFitting(DisplayFont::LegiblePointSize(), fitted.pointSize(), [&](int nSize) {
                     return LinesThatFit(Sized(fitted, nSize), nLines, dHeight) == nLines;
                 }));
}

int LinesThatFit(const QFont& font, int nLines, double dHeight)
{
    const QFontMetricsF metrics(font);
    int nFit = std::max(0, nLines);
    while (nFit > 0 && (nFit - 1) * metrics.lineSpacing() + metrics.height() > dHeight)
        --nFit;
    return nFit;
}

QSizeF FitLinesMinimum(const QFont& font, const QStringList& lines)
{
    const QFontMetricsF metrics(Sized(font, DisplayFont::LegiblePointSize()));
    double dWidth = 0.0;
    for (const QString& line : lines)
        dWidth = std::max(dWidth, metrics.horizontalAdvance(line));
    return QSizeF(std::ceil(dWidth),
                  std::ceil((std::max(1, int(lines.size())) - 1) * metrics.lineSpacing() + metrics.height()));
}

} // namespace ChartGeometry
