#include "logplotgeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace LogPlot {

namespace {
// log10 of a value this close to a decade is taken as on it: 1000 may come
// out of a computation as 999.9999999999999.
const double kOnDecade = 1e-9;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
} // namespace

Decades DecadeRange(const QVector<double>& values)
{
    double dLow = std::numeric_limits<double>::infinity();
    double dHigh = -dLow;
    for (double d : values) {
        if (!(d > 0.0) || !std::isfinite(d))
            continue;
        const double dLog = std::log10(d);
        dLow = std::min(dLow, dLog);
        dHigh = std::max(dHigh, dLog);
    }
    Decades decades;
    if (!(dLow <= dHigh))
        return decades; // invalid: no usable value
    // Doubles span 1e-324 .. 1e309, so the exponents always fit an int.
    decades.nLow = int(std::floor(dLow + kOnDecade));
    decades.nHigh = std::max(int(std::ceil(dHigh - kOnDecade)), decades.nLow + 1);
    return decades;
}

double PixelOfLog(double dLog10, Decades decades, double dPixelLow, double dPixelHigh)
{
    if (!decades.IsValid() || !std::isfinite(dLog10))
        return kNaN;
    return dPixelLow + (dLog10 - decades.nLow) / decades.Count() * (dPixelHigh - dPixelLow);
}

double Pixel(double dValue, Decades decades, double dPixelLow, double dPixelHigh)
{
    if (!(dValue > 0.0) || !std::isfinite(dValue))
        return kNaN;
    return PixelOfLog(std::log10(dValue), decades, dPixelLow, dPixelHigh);
}

QVector<GridLine> Grid(Decades decades, double dAxisPixels)
{
    QVector<GridLine> lines;
    if (!decades.IsValid())
        return lines;
    const bool bMinor = dAxisPixels / decades.Count() >= kMinorDecadePixels;
    for (int n = decades.nLow; n <= decades.nHigh; ++n) {
        lines.append({double(n), n, true});
        if (bMinor && n < decades.nHigh)
            for (int k = 2; k <= 9; ++k)
                lines.append({n + std::log10(double(k)), n, false});
    }
    return lines;
}

int LabelStep(Decades decades, double dAxisPixels, double dLabelPixels)
{
    // Exponents run over at most 633 decades, so 1000 labels one at most.
    static const int kSteps[] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};
    const double dPerDecade = decades.IsValid() ? dAxisPixels / decades.Count() : 0.0;
    // A step longer than the axis leaves one label at most.
    for (int nStep : kSteps)
        if (nStep * dPerDecade >= dLabelPixels || nStep > decades.Count())
            return nStep;
    return 1000;
}

QVector<int> LabelledExponents(Decades decades, int nStep)
{
    QVector<int> exponents;
    if (!decades.IsValid())
        return exponents;
    nStep = std::max(nStep, 1);
    for (int n = decades.nLow; n <= decades.nHigh; ++n)
        if (n % nStep == 0)
            exponents.append(n);
    if (exponents.isEmpty())
        exponents.append(decades.nLow);
    return exponents;
}

QString DecadeLabel(int nExponent)
{
    if (nExponent >= -3 && nExponent < 0)
        return QStringLiteral("0.") + QString(-nExponent - 1, QLatin1Char('0')) + QLatin1Char('1');
    if (nExponent >= 0 && nExponent <= 3)
        return QLatin1Char('1') + QString(nExponent, QLatin1Char('0'));
    return QStringLiteral("1e%1").arg(nExponent);
}

QVector<QRectF> PlaceLabels(const QVector<QPointF>& points, const QVector<QSizeF>& sizes,
                            const QVector<QRectF>& taken, const QRectF& bounds, double dGap)
{
    QVector<QRectF> placed(points.size());
    const auto isFree = [&](const QRectF& box, int nBefore) {
        if (!bounds.contains(box))
            return false;
        for (const QRectF& other : taken)
            if (box.intersects(other))
                return false;
        for (int i = 0; i < nBefore; ++i)
            if (!placed[i].isNull() && box.intersects(placed[i]))
                return false;
        return true;
    };
    for (int i = 0; i < points.size() && i < sizes.size(); ++i) {
        const QPointF p = points[i];
        const double w = sizes[i].width(), h = sizes[i].height();
        if (!std::isfinite(p.x()) || !std::isfinite(p.y()) || !(w > 0.0) || !(h > 0.0) || !std::isfinite(w) ||
            !std::isfinite(h))
            continue;
        const QRectF candidates[] = {
            QRectF(p.x() + dGap, p.y() - dGap - h, w, h), // upper right
            QRectF(p.x() + dGap, p.y() + dGap, w, h),     // lower right
            QRectF(p.x() - dGap - w, p.y() - dGap - h, w, h),
            QRectF(p.x() - dGap - w, p.y() + dGap, w, h),
        };
        for (const QRectF& box : candidates)
            if (isFree(box, i)) {
                placed[i] = box;
                break;
            }
    }
    return placed;
}

} // namespace LogPlot
