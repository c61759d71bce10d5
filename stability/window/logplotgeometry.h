#ifndef LOGPLOTGEOMETRY_H
#define LOGPLOTGEOMETRY_H

// Geometry of the stability plot: both axes are logarithmic and span whole
// decades. Every function here is pure (no widget, no state), so that the
// paint and the tests call the same code, and each returns for any input:
// zero, negative, infinite and NaN values are left out of ranges and map to
// NaN pixels, which the paint skips.

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVector>

namespace LogPlot {

// The decades 10^nLow .. 10^nHigh of an axis, nLow < nHigh when valid.
struct Decades
{
    int nLow = 0;
    int nHigh = 0;
    bool IsValid() const { return nHigh > nLow; }
    int Count() const { return nHigh - nLow; }
};

// The whole decades that hold every finite positive value: floor(log10 min)
// to ceil(log10 max), one decade at least. Values within 1e-9 of a decade
// (in log10) count as on it. {0.5, 3}: 1e-1 .. 1e1; {1, 1000}: 1e0 .. 1e3;
// {2, 5}: 1e0 .. 1e1; {10}: 1e1 .. 1e2. Invalid when no value is finite and
// positive.
Decades DecadeRange(const QVector<double>& values);

// Pixel of a value given as its log10, on an axis that runs from dPixelLow
// (at 10^nLow) to dPixelHigh (at 10^nHigh); either may be the larger, so one
// function serves the horizontal axis (left to right) and the vertical one
// (bottom to top). NaN for invalid decades or a non-finite log10.
// Decades 0 .. 2 over pixels 100 .. 300: log10 1 (10) -> 200.
double PixelOfLog(double dLog10, Decades decades, double dPixelLow, double dPixelHigh);

// PixelOfLog(log10 dValue, ...); NaN for a value that is not finite and > 0.
double Pixel(double dValue, Decades decades, double dPixelLow, double dPixelHigh);

// Minor lines (2 .. 9 x 10^n) are drawn when a decade is at least this long.
constexpr double kMinorDecadePixels = 60.0;

struct GridLine
{
    double dLog10; // where the line lies: n + log10(k)
    int nExponent; // n of k x 10^n
    bool bMajor;   // k == 1, a decade
};

// The lines of an axis dAxisPixels long, lowest first: every decade from
// nLow to nHigh, and with kMinorDecadePixels or more per decade the eight
// lines between each two. Empty for invalid decades. 0 .. 1 on 100 px: the
// lines 1, 2, ..., 9, 10.
QVector<GridLine> Grid(Decades decades, double dAxisPixels);

// Which decades carry a label: every dStep-th, from multiples of it, so that
// labels dLabelPixels long (with their gap) do not crowd. The step is the
// first of 1, 2, 5, 10, 20, 50, ... whose stretch of decades is at least
// dLabelPixels long, or else the first longer than the axis (one label).
// 12 decades on 240 px, labels 30 px: step 2.
int LabelStep(Decades decades, double dAxisPixels, double dLabelPixels);

// The exponents labelled with a step: each n in nLow .. nHigh that is a
// multiple of nStep, or nLow alone when none is.
QVector<int> LabelledExponents(Decades decades, int nStep);

// "0.001", "0.01", ..., "1000" for exponents -3 .. 3; "1e-9", "1e4" beyond.
QString DecadeLabel(int nExponent);

// Boxes for the texts beside their points: for each point in turn, the first
// of upper right, lower right, upper left and lower left (dGap from the point
// both ways) that lies within bounds and overlaps neither a taken box nor a
// box placed before. A null QRectF where none does, or where the point or
// the size is not usable. Boxes that only touch do not overlap.
// Point (100, 100), size 30 x 10, gap 4: upper right is (104, 86, 30, 10).
QVector<QRectF> PlaceLabels(const QVector<QPointF>& points, const QVector<QSizeF>& sizes,
                            const QVector<QRectF>& taken, const QRectF& bounds, double dGap);

} // namespace LogPlot

#endif // LOGPLOTGEOMETRY_H
