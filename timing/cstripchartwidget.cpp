#include "cstripchartwidget.h"

#include "cchartexport.h"
#include "chartgeometry.h"
#include "displayfont.h"
#include "imageexport.h"
#include "savefile.h"

#include <QContextMenuEvent>
#include <QDebug>
#include <QFontMetrics>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

namespace {
// Glyph boxes measured from font metrics may be a fraction of a pixel short of
// the antialiased ink: labels moved into the widget keep this much room.
const double kInkMargin = 1.0;
} // namespace
#include <QPalette>
#include <QStringList>
#include <QWheelEvent>

#include <cmath>

using ChartGeometry::kSentinel;

namespace {
// Default trace colours by data-set index modulo 8.
const QColor kDefaultColors[8] = {
    QColor(0, 0, 128),   QColor(255, 0, 0),   QColor(0, 128, 0), QColor(128, 128, 0),
    QColor(0, 128, 128), QColor(128, 0, 128), QColor(0, 0, 0),   QColor(128, 128, 128),
};
// Qt 5's QVector aborts near 2 GiB; one set stops growing well before that
// (64 M points, about two years of records at one a second).
const int kMaxPointsPerSet = 64 * 1024 * 1024;
const int kMinGrowth = 1024; // points, 24 KB

const QColor kGridColor(128, 128, 128);
const QColor kZeroLineColor(255, 0, 255);

// Every pen the chart builds: solid, square caps, bevel joins.
QPen ChartPen(const QColor& color, double dWidth)
{
    return QPen(QBrush(color), dWidth, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

QString FormatValue(const char* pszFormat, double dValue)
{
    return QString::asprintf(pszFormat, dValue);
}

// Saturating, for clip rectangles built from plot geometry of any size.
int ToInt(double d)
{
    return std::isnan(d) ? 0 : int(qBound(-2147483648.0, d, 2147483647.0));
}
} // namespace

CStripChartWidget::CStripChartWidget(QWidget* pParent) : QWidget(pParent)
{
    Reset();
    m_strTitle = QStringLiteral("Untitled");
    m_strYLabel = QStringLiteral("Untitled");
    m_arrayDataSet.resize(NUM_DATA_SETS);
    for (int i = 0; i < m_arrayDataSet.size(); ++i)
        m_arrayDataSet[i].colorTrace = kDefaultColors[i % 8];
    m_arrayNames.resize(NUM_DATA_SETS);
    m_arrayHeld.resize(NUM_DATA_SETS);
    // A click gives the chart focus, so that the menu key opens its menu; Tab
    // passes it by as before.
    setFocusPolicy(Qt::ClickFocus);
    m_pszValueFormat = "%.03f";
    m_dVisibleYMin = -10.0;
    m_dVisibleYMax = 10.0;
    m_dMinSpanLow = -0.05;
    m_dMinSpanHigh = 0.05;
}

void CStripChartWidget::Reset()
{
    m_bHasData = false;
    m_dYMax = m_dXMax = -kSentinel;
    m_dYMin = m_dXMin = kSentinel;
    m_dExtentXMax = m_dExtentYMax = -kSentinel;
    m_dExtentXMin = m_dExtentYMin = kSentinel;
    m_dVisibleYMin = kSentinel;
    m_dVisibleYMax = -kSentinel;
    m_arrayDataSet.clear();
    qDebug() << "m_arrayDataSet.size(): " << m_arrayDataSet.size();
}

void CStripChartWidget::SetYRange(double dMin, double dMax, bool bRepaint)
{
    m_dYMin = dMin;
    m_dYMax = dMax;
    if (bRepaint)
        repaint();
}

void CStripChartWidget::SetYRangeAndMinimum(double dMin, double dMax, bool bRepaint)
{
    m_dMinSpanLow = dMin;
    m_dMinSpanHigh = dMax;
    SetYRange(dMin, dMax, bRepaint);
}

void CStripChartWidget::SetXRange(double dMin, double dMax, bool bRepaint)
{
    m_dXMin = dMin;
    m_dXMax = dMax;
    if (bRepaint)
        repaint();
}

void CStripChartWidget::SetScaleMode(int nMode, bool bRepaint)
{
    m_nScaleMode = nMode;
    if (bRepaint)
        repaint();
}

void CStripChartWidget::SetValueFormat(const char* pszFormat, bool bRepaint)
{
    m_pszValueFormat = pszFormat;
    if (bRepaint)
        repaint();
}

void CStripChartWidget::SetValueTag(int nIndex, bool bShow, bool bRepaint)
{
    if (!IsValidIndex(nIndex))
        return;
    m_arrayDataSet[nIndex].bValueTag = bShow;
    if (bRepaint)
        repaint();
}

void CStripChartWidget::SetDataSetHidden(int nIndex, bool bHidden, bool bRepaint)
{
    if (!IsValidIndex(nIndex))
        return;
    m_arrayDataSet[nIndex].bHidden = bHidden;
    if (bRepaint)
        repaint();
}

void CStripChartWidget::SetDataSetStyle(int nIndex, int nStyle)
{
    if (IsValidIndex(nIndex))
        m_arrayDataSet[nIndex].nStyle = nStyle;
}

void CStripChartWidget::SetDataSetColor(int nIndex, const QColor& color)
{
    if (IsValidIndex(nIndex))
        m_arrayDataSet[nIndex].colorTrace = color;
}

void CStripChartWidget::AddPoint(int nIndex, double dX, double dY, double dZ, bool bRepaint)
{
    if (!IsValidIndex(nIndex))
        return;
    m_bHasData = true;
    DATA_POINT point;
    point.dX = dX;
    point.dY = dY;
    point.dZ = dZ;
    if (m_nExportsRunning > 0)
        m_arrayHeld[nIndex].append(point);
    else
        StorePoint(nIndex, point);
    const DATA_SET& set = m_arrayDataSet[nIndex];

    if (dY > m_dExtentYMax)
        m_dExtentYMax = dY;
    if (dY < m_dExtentYMin)
        m_dExtentYMin = dY;
    if (dX > m_dExtentXMax)
        m_dExtentXMax = dX;
    if (dX < m_dExtentXMin)
        m_dExtentXMin = dX;
    if (set.nStyle == STYLE_BAND) {
        // A band's half-height counts on both sides of zero, not around its centre.
        if (-dY > m_dExtentYMax)
            m_dExtentYMax = -dY;
        if (-dY < m_dExtentYMin)
            m_dExtentYMin = -dY;
    }
    m_LastPoint.dX = dX;
    m_LastPoint.dY = dY;
    m_LastPoint.dZ = dZ;
    // Assistive technology hears the chart's title and the newest value of
    // each shown data set.
    {
        QStringList values;
        for (const DATA_SET& shown : qAsConst(m_arrayDataSet))
            if (!shown.bHidden && !shown.arrayPoints.isEmpty())
                values << QString::number(shown.arrayPoints.last().dY, 'g', 4);
        setAccessibleName(m_strTitle);
        setAccessibleDescription(QStringLiteral("Newest values: ") + values.join(QStringLiteral(", ")));
    }

    Rescale();
    // Asked for, not done at once: Qt merges the requests into one paint per
    // turn of the event loop, so a socket read full of records ends with one
    // paint of the newest state. Painting every point kept a panel flooded
    // with 10,000 records a second busy for minutes after the flood ended.
    if (bRepaint)
        update();
}

void CStripChartWidget::StorePoint(int nIndex, const DATA_POINT& point)
{
    DATA_SET& set = m_arrayDataSet[nIndex];
    if (set.arrayPoints.size() < kMaxPointsPerSet) {
        // Grow by a quarter rather than QVector's doubling: a chart that runs
        // for months keeps at most 25 % unused room (150 bytes per status
        // record), and a growth step holds 2.25 times the points, not 3.
        const int nSize = set.arrayPoints.size();
        if (nSize == set.arrayPoints.capacity())
            set.arrayPoints.reserve(qMin(kMaxPointsPerSet, nSize + qMax(kMinGrowth, nSize / 4)));
        set.arrayPoints.append(point);
    } else if (set.arrayPoints.size() == kMaxPointsPerSet) {
        qDebug() << "CStripChartWidget::AddPoint(): data set" << nIndex << "is full";
    }
}

void CStripChartWidget::EraseData(bool bRepaint)
{
    for (DATA_SET& set : m_arrayDataSet)
        set.arrayPoints = QVector<DATA_POINT>(); // clear() would keep the capacity
    for (QVector<DATA_POINT>& held : m_arrayHeld)
        held = QVector<DATA_POINT>();
    m_bHasData = false;
    m_dExtentXMax = m_dExtentYMax = -kSentinel;
    m_dExtentXMin = m_dExtentYMin = kSentinel;
    m_dVisibleYMin = kSentinel;
    m_dVisibleYMax = -kSentinel;
    if (bRepaint)
        repaint();
}

void CStripChartWidget::Rescale()
{
    RescaleX();
    RescaleY();
}

// In window mode one horizontal unit per pixel, ending at the newest point.
void CStripChartWidget::RescaleX()
{
    if (m_nScaleMode != SCALE_WINDOW) {
        m_dXMin = m_dExtentXMin;
        m_dXMax = m_dExtentXMax;
        return;
    }
    m_dXMax = m_LastPoint.dX;
    m_dXMin = m_LastPoint.dX - m_dPlotWidth;
}

// In window mode the vertical range follows the visible range: a paint
// measures it over the points it is about to draw; between paints it is the
// last paint's.
void CStripChartWidget::RescaleY()
{
    const ChartGeometry::Range y =
        m_nScaleMode != SCALE_WINDOW
            ? ChartGeometry::ExtentYRange(m_dExtentYMin, m_dExtentYMax)
            : ChartGeometry::WindowYRange(m_dVisibleYMin, m_dVisibleYMax, m_dMinSpanLow, m_dMinSpanHigh);
    m_dYMin = y.dMin;
    m_dYMax = y.dMax;
}

// Calls visit(point, px) for each point of the set that a paint draws: the
// visited tail of the points, thinned, strictly inside the plot horizontally.
// The horizontal range and factor must be those of the paint.
template <typename Visit> void CStripChartWidget::VisitDrawnPoints(const DATA_SET& set, Visit visit) const
{
    const int nPoints = set.arrayPoints.size();
    if (nPoints == 0 || set.bHidden || m_dPlotWidth < 1.0)
        return;
    const ChartGeometry::VisitPlan plan =
        ChartGeometry::PlanVisit(nPoints, m_dPlotLeft, m_dPlotWidth, m_dXFactor, m_dXMin);
    const double dRight = m_dPlotLeft + m_dPlotWidth;
    const DATA_POINT* pPoints = set.arrayPoints.constData();
    for (qint64 j = plan.nFirst; j < nPoints; j += plan.nStep) {
        const DATA_POINT& point = pPoints[j];
        const double dPx = ChartGeometry::PixelX(point.dX, m_dXMin, m_dPlotLeft, m_dXFactor);
        if (m_dPlotLeft < dPx && dPx < dRight) // others are skipped without breaking the line
            visit(point, dPx);
    }
}

// The value range of the points this paint draws: y of every point, and for a
// band its lower end as well (not its upper end).
void CStripChartWidget::MeasureVisibleRange()
{
    double dMin = kSentinel, dMax = -kSentinel;
    const auto fold = [&](double d) {
        if (d < dMin)
            dMin = d;
        if (d > dMax)
            dMax = d;
    };
    for (const DATA_SET& set : qAsConst(m_arrayDataSet)) {
        const bool bBand = set.nStyle == STYLE_BAND;
        VisitDrawnPoints(set, [&](const DATA_POINT& point, double) {
            fold(point.dY);
            if (bBand)
                fold(point.dZ - point.dY);
        });
    }
    m_dVisibleYMin = dMin;
    m_dVisibleYMax = dMax;
}

void CStripChartWidget::paintEvent(QPaintEvent*)
{
    using namespace ChartGeometry;
    QPainter painter(this);
    const QPalette palette;
    const QColor textColor = palette.color(QPalette::Current, QPalette::ButtonText);
    const QColor fillColor = palette.color(QPalette::Current, QPalette::Button);
    const QFont labelFont = DisplayFont::Legible(DisplayFont::PointSize(10.0, logicalDpiX()));
    const QFont titleFont = DisplayFont::Legible(DisplayFont::PointSize(14.0, logicalDpiX()));
    painter.setFont(labelFont);

    bool bAnyTag = false;
    for (const DATA_SET& set : m_arrayDataSet)
        bAnyTag = bAnyTag || set.bValueTag;
    const double dTagWidth = 10.0 * painter.fontMetrics().horizontalAdvance(QLatin1Char('X'));
    const QRectF plot = PlotRect(size(), bAnyTag ? dTagWidth : 0.0);
    m_dPlotLeft = plot.x();
    m_dPlotTop = plot.y();
    m_dPlotWidth = plot.width();
    m_dPlotHeight = plot.height();

    // The horizontal range decides which points are drawn; the vertical range
    // is then fitted to them, so that a new extreme is inside the plot in the
    // first paint that draws it.
    if (m_bHasData)
        RescaleX();
    m_dXFactor = ScaleFactor(m_dPlotWidth, m_dXMax - m_dXMin);
    MeasureVisibleRange();
    if (m_bHasData)
        RescaleY();
    m_dYFactor = ScaleFactor(m_dPlotHeight, m_dYMax - m_dYMin);

    painter.setPen(ChartPen(palette.color(QPalette::Current, QPalette::Mid), 1.0));
    painter.setBrush(QBrush(fillColor));
    painter.drawRect(plot);

    // Tags first, then the vertical labels from the top down, then the
    // horizontal labels from the newest down: a label that would cover one
    // placed before it is left out (its grid line stays).
    const double dHalfTag = painter.fontMetrics().height() * 1.5 / 2;
    const QVector<TAG> tags = PlaceValueTags(dHalfTag);
    QVector<QPolygonF> outlines;
    for (const TAG& tag : tags)
        outlines << TagPolygon(m_dPlotLeft + m_dPlotWidth + 1, tag.dTipY, tag.dCentre, dHalfTag, dTagWidth);
    const QVector<GridLine> xLines =
        m_dPlotWidth < 1.0 ? QVector<GridLine>()
                           : HorizontalGrid(m_dXMin, m_dXMax, m_dXFactor, m_dPlotLeft, m_dPlotWidth);
    const bool bYAxis = VerticalGridStep(std::fabs(m_dYMax - m_dYMin)).nLines > 0;
    const QVector<GridLine> yLines =
        bYAxis ? VerticalGrid(m_dYMin, m_dYMax, m_dYFactor, m_dPlotTop, m_dPlotHeight) : QVector<GridLine>();
    QVector<LABEL> yLabels = VerticalLabels(yLines, labelFont);
    QVector<LABEL> xLabels = HorizontalLabels(xLines, labelFont);
    QVector<QRectF> inks;
    for (const LABEL& label : qAsConst(yLabels) + qAsConst(xLabels))
        inks << label.ink;
    const QVector<bool> kept = KeepApart(inks, outlines);
    for (int i = 0; i < yLabels.size(); ++i)
        yLabels[i].bShown = kept.at(i);
    for (int i = 0; i < xLabels.size(); ++i)
        xLabels[i].bShown = kept.at(yLabels.size() + i);

    const QPen gridPen = ChartPen(kGridColor, 1.0);
    PaintHorizontalAxis(painter, gridPen, textColor, xLines, xLabels);
    if (bYAxis)
        PaintVerticalAxis(painter, gridPen, textColor, yLines, yLabels, labelFont, titleFont);
    PaintValueTags(painter, tags, dHalfTag, dTagWidth, fillColor);

    painter.save();
    painter.setClipRect(
        QRect(ToInt(m_dPlotLeft), ToInt(m_dPlotTop), ToInt(m_dPlotWidth), ToInt(m_dPlotHeight)));
    PaintTraces(painter);
    PaintTitle(painter, titleFont, textColor);
    painter.restore();
}

// Each label at its line's height, right-aligned 5 pixels left of the plot,
// moved down or up as far as needed for its glyphs to lie inside the widget.
QVector<CStripChartWidget::LABEL>
CStripChartWidget::VerticalLabels(const QVector<ChartGeometry::GridLine>& lines, const QFont& labelFont) const
{
    const QFontMetrics metrics(labelFont);
    const double dHeight = metrics.height();
    QVector<LABEL> labels;
    for (const ChartGeometry::GridLine& line : lines) {
        LABEL label{FormatValue(m_pszValueFormat, line.dValue),
                    QRectF(0, line.dPixel - dHeight / 2, m_dPlotLeft - 5, dHeight), QRectF(), true};
        label.ink =
            ChartGeometry::InkRect(labelFont, label.rect, Qt::AlignRight | Qt::AlignTop, label.strText);
        const double dShift =
            ChartGeometry::ShiftInto(label.ink.top(), label.ink.height(), kInkMargin, height() - kInkMargin) -
            label.ink.top();
        label.rect.translate(0, dShift);
        label.ink.translate(0, dShift);
        labels << label;
    }
    return labels;
}

// Each label centred under its line, moved left or right as far as needed for
// its glyphs to lie inside the widget.
QVector<CStripChartWidget::LABEL>
CStripChartWidget::HorizontalLabels(const QVector<ChartGeometry::GridLine>& lines,
                                    const QFont& labelFont) const
{
    const QFontMetrics metrics(labelFont);
    const double dBottom = m_dPlotTop + m_dPlotHeight;
    QVector<LABEL> labels;
    for (const ChartGeometry::GridLine& line : lines) {
        const QString strText = QString::asprintf("%g", line.dValue);
        const double dWidth = metrics.horizontalAdvance(strText);
        LABEL label{
            strText,
            QRectF(line.dPixel - (dWidth + m_dPlotLeft) / 2, dBottom, dWidth + m_dPlotLeft, metrics.height()),
            QRectF(), true};
        label.ink = ChartGeometry::InkRect(labelFont, label.rect, Qt::AlignHCenter | Qt::AlignTop, strText);
        const double dShift =
            ChartGeometry::ShiftInto(label.ink.left(), label.ink.width(), kInkMargin, width() - kInkMargin) -
            label.ink.left();
        label.rect.translate(dShift, 0);
        label.ink.translate(dShift, 0);
        labels << label;
    }
    return labels;
}

void CStripChartWidget::PaintHorizontalAxis(QPainter& painter, const QPen& gridPen, const QColor& textColor,
                                            const QVector<ChartGeometry::GridLine>& lines,
                                            const QVector<LABEL>& labels)
{
    const double dBottom = m_dPlotTop + m_dPlotHeight;
    for (int i = 0; i < lines.size(); ++i) {
        painter.setPen(gridPen);
        painter.drawLine(QPointF(lines.at(i).dPixel, m_dPlotTop), QPointF(lines.at(i).dPixel, dBottom));
        painter.setPen(textColor);
        if (labels.at(i).bShown)
            painter.drawText(labels.at(i).rect, Qt::AlignHCenter | Qt::AlignTop, labels.at(i).strText);
    }
}

// The caption goes with the axis: no grid, no caption.
void CStripChartWidget::PaintVerticalAxis(QPainter& painter, const QPen& gridPen, const QColor& textColor,
                                          const QVector<ChartGeometry::GridLine>& lines,
                                          const QVector<LABEL>& labels, const QFont& labelFont,
                                          const QFont& titleFont)
{
    const QPen zeroPen = ChartPen(kZeroLineColor, 2.0);
    for (int i = 0; i < lines.size(); ++i) {
        const ChartGeometry::GridLine& line = lines.at(i);
        painter.setPen(line.bZero ? zeroPen : gridPen);
        painter.drawLine(QPointF(m_dPlotLeft, line.dPixel), QPointF(m_dPlotLeft + m_dPlotWidth, line.dPixel));
        painter.setPen(textColor);
        if (labels.at(i).bShown)
            painter.drawText(labels.at(i).rect, Qt::AlignRight | Qt::AlignTop, labels.at(i).strText);
    }

    // Reads upwards, centred along the left edge, in the pen of the last
    // label drawn (the outline's colour when no grid line was drawn); cut
    // short with "…" when longer than the widget is high.
    painter.setFont(titleFont);
    const QFontMetrics titleMetrics = painter.fontMetrics();
    const QString strCaption = DisplayFont::Elided(titleFont, m_strYLabel, height());
    const int nTextWidth = titleMetrics.horizontalAdvance(strCaption);
    if (nTextWidth <= height()) {
        painter.save();
        painter.translate(QPoint(titleMetrics.height(), height() / 2 + nTextWidth / 2));
        painter.rotate(-90.0);
        painter.drawText(QPoint(0, 0), strCaption);
        painter.restore();
    }
    painter.setFont(labelFont);
}

// A tag per data set with one, hidden ones too, in index order; boxes that
// would overlap are stacked apart within the widget.
QVector<CStripChartWidget::TAG> CStripChartWidget::PlaceValueTags(double dHalfHeight) const
{
    QVector<TAG> tags;
    QVector<double> wanted;
    const double dLowest = height() - 1;
    for (const DATA_SET& set : m_arrayDataSet) {
        if (set.arrayPoints.isEmpty() || !set.bValueTag)
            continue;
        const double dValue = set.arrayPoints.last().dY;
        const double dPy = ChartGeometry::PixelY(dValue, m_dYMin, m_dPlotTop, m_dPlotHeight, m_dYFactor);
        tags << TAG{&set, dValue, dPy, dPy};
        wanted << dPy;
    }
    const QVector<double> centres = ChartGeometry::StackTags(wanted, 2 * dHalfHeight, 0.0, dLowest);
    for (int i = 0; i < tags.size(); ++i) {
        TAG& tag = tags[i];
        tag.dCentre = centres.at(i);
        // A value beyond the widget is pointed at from its edge.
        tag.dTipY = std::isnan(tag.dTipY) ? tag.dCentre : qBound(0.0, tag.dTipY, dLowest);
    }
    return tags;
}

// Right of the plot, outside the clip; a hidden trace keeps its tag.
void CStripChartWidget::PaintValueTags(QPainter& painter, const QVector<TAG>& tags, double dHalfHeight,
                                       double dTagWidth, const QColor& fillColor)
{
    QColor tagFill = fillColor;
    tagFill.setAlphaF(0.8);
    const double dPx = m_dPlotLeft + m_dPlotWidth + 1;
    for (const TAG& tag : tags) {
        painter.setPen(ChartPen(tag.pSet->colorTrace, 1.0));
        painter.setBrush(QBrush(tagFill));
        painter.drawPolygon(ChartGeometry::TagPolygon(dPx, tag.dTipY, tag.dCentre, dHalfHeight, dTagWidth),
                            Qt::OddEvenFill);
        painter.drawText(QRectF(dPx + 5, tag.dCentre - dHalfHeight, dTagWidth - 5, 2 * dHalfHeight),
                         Qt::AlignCenter, FormatValue(m_pszValueFormat, tag.dValue));
    }
}

// Draws the points the paint measured, strictly inside the plot. In window
// mode the newest point lies on the right edge, so a trace ends at the second
// newest point.
void CStripChartWidget::PaintTraces(QPainter& painter)
{
    QPolygonF polyline;
    QVector<QLineF> bars;
    for (const DATA_SET& set : qAsConst(m_arrayDataSet)) {
        const bool bBand = set.nStyle == STYLE_BAND;
        polyline.clear();
        bars.clear();
        VisitDrawnPoints(set, [&](const DATA_POINT& point, double dPx) {
            if (bBand)
                bars.append(QLineF(dPx,
                                   ChartGeometry::PixelY(point.dZ + point.dY, m_dYMin, m_dPlotTop,
                                                         m_dPlotHeight, m_dYFactor),
                                   dPx,
                                   ChartGeometry::PixelY(point.dZ - point.dY, m_dYMin, m_dPlotTop,
                                                         m_dPlotHeight, m_dYFactor)));
            else
                polyline.append(QPointF(
                    dPx, ChartGeometry::PixelY(point.dY, m_dYMin, m_dPlotTop, m_dPlotHeight, m_dYFactor)));
        });
        painter.setPen(ChartPen(set.colorTrace, 1.0));
        if (!bars.isEmpty())
            painter.drawLines(bars);
        if (polyline.size() >= 2)
            painter.drawPolyline(polyline);
    }
}

// Top right in the plot; cut short with "…" when wider than the plot less
// 10 pixels, left out when not even that fits.
void CStripChartWidget::PaintTitle(QPainter& painter, const QFont& titleFont, const QColor& textColor)
{
    painter.setFont(titleFont);
    const QFontMetrics metrics = painter.fontMetrics();
    const double dRoom = m_dPlotWidth - 10;
    const QString strTitle = DisplayFont::Elided(titleFont, m_strTitle, dRoom);
    const double dWidth = metrics.horizontalAdvance(strTitle);
    if (dWidth > dRoom && !strTitle.isEmpty())
        return;
    painter.setPen(textColor);
    painter.drawText(
        QRectF(m_dPlotLeft + m_dPlotWidth - dWidth - 5, m_dPlotTop + 3, dWidth, metrics.height()),
        Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, strTitle); // whole pixels may be a fraction short
}

void CStripChartWidget::mousePressEvent(QMouseEvent* pEvent)
{
    qDebug() << "Press";
    m_ptPress = QPoint(qRound(pEvent->localPos().x()), qRound(pEvent->localPos().y()));
}

void CStripChartWidget::mouseMoveEvent(QMouseEvent* pEvent)
{
    const QPoint ptNow(qRound(pEvent->localPos().x()), qRound(pEvent->localPos().y()));
    m_ptDragDiff = m_ptPress - ptNow;
    qDebug() << "Difference:" << m_ptDragDiff;
    repaint();
}

void CStripChartWidget::mouseReleaseEvent(QMouseEvent*)
{
    qDebug() << "Release";
}

void CStripChartWidget::wheelEvent(QWheelEvent*)
{
    qDebug() << "Wheel";
}

// ---- Data out ----------------------------------------------------------------

void CStripChartWidget::SetDataSetName(int nIndex, const QString& strName)
{
    if (!IsValidIndex(nIndex))
        return;
    m_arrayExportOrder.removeAll(nIndex);
    if (!strName.isEmpty())
        m_arrayExportOrder.append(nIndex);
    m_arrayNames[nIndex] = strName;
}

ChartCsv::Table CStripChartWidget::ExportTable(bool bAll) const
{
    ChartCsv::Table table;
    table.strXName = m_strXName;
    table.bAll = bAll;
    table.dXMin = m_dXMin;
    table.dXMax = m_dXMax;
    for (int nIndex : m_arrayExportOrder) {
        const DATA_SET& set = m_arrayDataSet.at(nIndex);
        table.series.append(
            ChartCsv::Series{m_arrayNames.at(nIndex), set.nStyle == STYLE_BAND, set.arrayPoints});
    }
    return table;
}

void CStripChartWidget::contextMenuEvent(QContextMenuEvent* pEvent)
{
    QMenu menu(this);
    DataOut::AddImageActions(&menu, this, m_strTitle);
    menu.addSeparator();
    bool bHasPoints = false;
    for (int nIndex : m_arrayExportOrder)
        bHasPoints = bHasPoints || !m_arrayDataSet.at(nIndex).arrayPoints.isEmpty();
    QAction* pVisible = menu.addAction(tr("Export Visible Data…"));
    QAction* pAll = menu.addAction(tr("Export All Data…"));
    pVisible->setEnabled(bHasPoints);
    pAll->setEnabled(bHasPoints);
    connect(pVisible, &QAction::triggered, this, [this] { ExportData(false); });
    connect(pAll, &QAction::triggered, this, [this] { ExportData(true); });
    // The menu key gives no useful position: the menu opens over the chart's middle.
    menu.exec(pEvent->reason() == QContextMenuEvent::Keyboard ? mapToGlobal(rect().center())
                                                              : pEvent->globalPos());
}

void CStripChartWidget::ExportData(bool bAll)
{
    const QString strTitle = bAll ? tr("Export All Data") : tr("Export Visible Data");
    QString strFilter = tr("CSV table (*.csv)");
    const QString strPath = DataOut::AskSaveFileName(this, strTitle, DataOut::FileStem(m_strTitle) + ".csv",
                                                     {strFilter}, &strFilter);
    if (strPath.isEmpty())
        return;
    // The table is taken now, as the chart stands; points that arrive while
    // it is written are held back and join the chart when the export ends.
    auto* pExport = new CChartExport(this, ExportTable(bAll), strPath, strTitle);
    ++m_nExportsRunning;
    connect(pExport, &CChartExport::finished, this, &CStripChartWidget::ReleaseHeldPoints);
    pExport->Start();
}

void CStripChartWidget::ReleaseHeldPoints()
{
    if (--m_nExportsRunning > 0)
        return;
    for (int i = 0; i < m_arrayHeld.size(); ++i) {
        for (const DATA_POINT& point : qAsConst(m_arrayHeld[i]))
            StorePoint(i, point);
        m_arrayHeld[i] = QVector<DATA_POINT>();
    }
    update();
}
