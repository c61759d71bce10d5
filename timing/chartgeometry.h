#ifndef CHARTGEOMETRY_H
#define CHARTGEOMETRY_H

// Geometry and scaling of the timing displays: font sizes, the strip chart's
// plot rectangle, its vertical rescale, grid steps, value-to-pixel mapping,
// the window of points a paint visits, the value tags' outline and stacking,
// and where the panels' and the chart's texts go so that they stay inside
// their widget, legible and clear of each other.
//
// Every function here is pure (no widget, no state), so that the paints and
// the tests call the same code. All of them return for any input: spans and
// factors that are zero, negative, infinite or NaN give an empty grid or a
// harmless plan, never an endless search or an index outside the points.

#include <QFont>
#include <QPolygonF>
#include <QRectF>
#include <QSize>
#include <QStringList>
#include <QVector>

namespace ChartGeometry {

// ---- Fonts ------------------------------------------------------------------

// DisplayFont::PointSize of dLength x dFraction. A 400 px status panel at
// 96 DPI: 399 x 0.15 -> 59 pt.
int PointSize(double dLength, double dFraction, int nLogicalDpiX);

// Clock: a flat panel (h <= w / 4.5) sizes its texts by the height (time 0.5 h,
// date 0.1 h), any other by the width (0.15 w, 0.02 w); w, h of the panel's
// rectangle, one pixel less than the widget's. 450 x 100: 50 and 10 pt;
// 449 x 100: 67 and 8 pt.
struct ClockSizes
{
    int nTime;
    int nDate;
};
ClockSizes ClockPointSizes(double dWidth, double dHeight, int nLogicalDpiX);

// ---- Ranges and mapping -------------------------------------------------------

struct Range
{
    double dMin;
    double dMax;
};

// Empty-range sentinels: a minimum starts above and a maximum below any value.
constexpr double kSentinel = 1e20;

// Room left of the plot for the vertical labels and caption, and below it for
// the horizontal labels.
constexpr double kPlotLeft = 80.0;
constexpr double kPlotBottomMargin = 15.0;

// Plot rectangle of a chart widget: left 80, top 0, (w - 1) - 80 - tag column
// wide, (h - 1) - 15 high. Width and height may come out at zero or below.
QRectF PlotRect(QSize widget, double dTagColumnWidth);

// Extent scaling: the bounds of every point plus 10 % of their span each side.
// y from -1 to 3: [-1.4, 3.4].
Range ExtentYRange(double dExtentMin, double dExtentMax);

// Window scaling: the range measured by the last paint plus 10 % each side;
// a range strictly inside the minimum span becomes that span; a zero range
// opens to [-1, 1] around 0, else to [min - 0.5 M, 1.5 M].
// Visible 0.001..0.003, span +-0.025: [0.0008, 0.0032] lies inside -> +-0.025.
Range WindowYRange(double dVisibleMin, double dVisibleMax, double dSpanLow, double dSpanHigh);

// Pixels per unit: dPixels / |dSpan|, or 1 when the span is exactly 0.
double ScaleFactor(double dPixels, double dSpan);

// Widget x of a value; larger values to the right.
inline double PixelX(double dX, double dXMin, double dLeft, double dFactor)
{
    return dLeft + (dX - dXMin) * dFactor;
}

// Widget y of a value; larger values higher up.
inline double PixelY(double dY, double dYMin, double dTop, double dHeight, double dFactor)
{
    return dTop + dHeight - (dY - dYMin) * dFactor;
}

// ---- Grid -------------------------------------------------------------------

struct GridLine
{
    double dValue; // shown value (exactly 0 for the zero line)
    double dPixel; // widget x of a vertical line, widget y of a horizontal one
    bool bZero;    // the vertical axis's zero line
};

// Horizontal step: 5 doubled until neighbouring lines are more than 50 px
// apart (1 px/unit: 5, 10, ... 80). 0 when the factor is not a finite
// positive number or 64 doublings do not get there.
double HorizontalStep(double dFactor);

// Vertical lines of the horizontal axis, newest value first: every multiple
// of the step from X max down across the span that lies in
// [left, left + width). Empty when there is no step.
// 0..300 on 300 px: lines at 240, 160, 80, 0.
QVector<GridLine> HorizontalGrid(double dXMin, double dXMax, double dFactor, double dLeft, double dWidth);

struct VerticalStep
{
    double dStep;
    int nLines; // 0: the vertical axis is not drawn at all
};

// Decade D: 1e-5 times 10 until D >= span (span <= 1e-5: D = 1e-5 and step
// 1e-6); 10 lines of D / 10 when two steps fit in the span, else the first of
// 20, 30, ... 100 lines of D / n that does. Span 0.05: D 0.1, 10 x 0.01;
// span 0.015: 20 x 0.005. No lines for a span that is not finite and > 0.
VerticalStep VerticalGridStep(double dSpan);

// Horizontal lines of the vertical axis, from the highest down, those with
// top <= y <= top + height. |v| < 1e-14 is the zero line, shown as 0.
QVector<GridLine> VerticalGrid(double dYMin, double dYMax, double dFactor, double dTop, double dHeight);

// ---- Traces -------------------------------------------------------------------

struct VisitPlan
{
    int nFirst; // index of the first point visited
    int nStep;  // visit every nStep-th point from there
};

// Points a paint visits: the last V + 1 of n, V the horizontal span in units
// (points are assumed to advance one unit each), thinned to about two per
// pixel column. 10,000 points over 0..9999 on 500 px: first 0, step 20.
VisitPlan PlanVisit(int nPoints, double dPlotLeft, double dPlotWidth, double dFactor, double dXMin);

// Outline of a value tag whose point touches the plot's right edge at
// (px, py) and whose box, dA above and below dCentre, fills the tag column
// dWidth wide. With the box centred on py it is an arrow head on a box.
QPolygonF TagPolygon(double dPx, double dPy, double dCentre, double dA, double dWidth);

// Centres of the value tags' boxes, dHeight high: each as near its wanted
// centre as the others allow, none overlapping another, all between dTop and
// dBottom. Tags that overlap are pushed apart around their common middle, in
// the order of their wanted centres (equal ones in the given order). Boxes
// that do not all fit are stacked down from dTop. A box with room keeps its
// wanted centre exactly. Wanted centres of +-infinity go to the ends, NaN to
// the top.
// Centres 100 and 104, height 20, within 0..200: 92 and 112.
QVector<double> StackTags(const QVector<double>& wanted, double dHeight, double dTop, double dBottom);

// ---- Text placement -------------------------------------------------------------

// dStart moved the least so that [dStart, dStart + dLength] lies within
// [dLow, dHigh]; unchanged when it does, dLow when it cannot. NaN gives dLow.
// A 16 px label wanted from -8 in a widget 0..200: 0.
double ShiftInto(double dStart, double dLength, double dLow, double dHigh);

// Which boxes, in order of priority, are kept: each one that overlaps none of
// the shapes taken already (such as the value tags) and no box kept before it
// (boxes that only touch do not overlap). Empty boxes are never kept.
QVector<bool> KeepApart(const QVector<QRectF>& boxes, const QVector<QPolygonF>& taken = {});

// Where the glyphs of strText land when drawn into rect with the alignment
// flags: from the top of the first line's glyphs to the bottom of the last
// line's; across, the glyphs of a single line, or the widest line's box of
// several (lines split at "\n").
QRectF InkRect(const QFont& font, const QRectF& rect, int nFlags, const QString& strText);

// A panel with a large text centred in rect and a small one on its bottom
// edge (the state word over the estimated error, the time over the date).
// The foot is the first of footChoices whose widest line fits the width at
// its fitted size (a later choice may break the text into lines); the large
// text fits the width and then shrinks until its glyphs end kTextGap above
// the foot's. Neither goes below the legible size: bFits tells whether they
// are apart and within the width there.
constexpr double kTextGap = 2.0;
struct PanelTexts
{
    QFont big;
    QFont foot;
    QString strFoot;
    bool bFits;
};
PanelTexts CentreAndFoot(const QRectF& rect, const QFont& big, const QString& strBig, const QFont& foot,
                         const QStringList& footChoices);

// The smallest rectangle that holds CentreAndFoot's texts at the legible
// size: as wide as the widest of bigTexts and footLines, as high as a large
// line centred clear of nFootLines foot lines below it.
QSizeF CentreAndFootMinimum(const QFont& big, const QStringList& bigTexts, const QFont& foot,
                            const QStringList& footLines, int nFootLines);

// Lines drawn from the top of a box dRoom wide and dHeight high: font at its
// size, made smaller until the widest line fits the width and the lines fit
// the height, never below the legible size.
QFont FitLines(const QFont& font, const QStringList& lines, double dRoom, double dHeight);

// How many of nLines lines, drawn from the top, lie wholly within dHeight.
int LinesThatFit(const QFont& font, int nLines, double dHeight);

// The smallest box that holds the lines at the legible size.
QSizeF FitLinesMinimum(const QFont& font, const QStringList& lines);

} // namespace ChartGeometry

#endif // CHARTGEOMETRY_H
