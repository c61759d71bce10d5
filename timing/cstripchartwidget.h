#ifndef CSTRIPCHARTWIDGET_H
#define CSTRIPCHARTWIDGET_H

#include "chartcsv.h"
#include "chartgeometry.h"

#include <QColor>
#include <QPoint>
#include <QRectF>
#include <QString>
#include <QVector>
#include <QWidget>

class QPainter;
class QPen;

// A chart of up to 16 growing data sets against a horizontal sample axis,
// either fitted to everything recorded ("Scale Extent") or scrolling one unit
// per pixel over the newest points ("Scale Window").
//
// Every point is kept until EraseData. A paint measures the value range of
// the points it is about to draw, rescales (in window mode the vertical range
// follows that measure, so every drawn point lies inside the plot), and draws
// the plot area, both axes with grid and labels, the latest-value tags, the
// traces and the title. Labels stay inside the widget and clear of each other
// and of the tags; tags whose values are close are stacked. A paint visits
// only the tail of each data set that fits the horizontal range, thinned to
// about two points per pixel column, so its cost does not grow with the
// history.
class CStripChartWidget : public QWidget
{
    Q_OBJECT

public:
    enum : int
    {
        NUM_DATA_SETS = 16
    };
    enum : int
    {
        SCALE_EXTENT = 0,
        SCALE_WINDOW = 3
    };
    enum : int
    {
        STYLE_LINE = 0,
        STYLE_BAND = 1
    };

    // dX, dY (the value; for a band, its half-height) and dZ (the centre of
    // a band; carried but not drawn for a line): the same record the CSV
    // export writes, so that an export shares the points instead of copying them.
    using DATA_POINT = ChartCsv::Point;

    struct DATA_SET
    {
        QVector<DATA_POINT> arrayPoints; // every point since the last erase, oldest first
        bool bHidden = false;
        QColor colorTrace;
        int nStyle = STYLE_LINE;
        bool bValueTag = false;
    };

    explicit CStripChartWidget(QWidget* pParent);

    void SetYRange(double dMin, double dMax, bool bRepaint);
    void SetYRangeAndMinimum(double dMin, double dMax, bool bRepaint);
    void SetXRange(double dMin, double dMax, bool bRepaint);
    void SetScaleMode(int nMode, bool bRepaint);
    // pszFormat must live as long as the chart (a literal).
    void SetValueFormat(const char* pszFormat, bool bRepaint);
    void SetValueTag(int nIndex, bool bShow, bool bRepaint);
    void SetDataSetHidden(int nIndex, bool bHidden, bool bRepaint);
    void SetDataSetStyle(int nIndex, int nStyle);
    void SetDataSetColor(int nIndex, const QColor& color);
    // The setters repaint at once when asked; a new point only asks for a
    // paint at the next turn of the event loop (records can come in floods).
    void AddPoint(int nIndex, double dX, double dY, double dZ, bool bRepaint);
    void EraseData(bool bRepaint);
    // The name a data set's column has in an exported table; only named sets
    // are exported, in the order they were named.
    void SetDataSetName(int nIndex, const QString& strName);

    // Read access for the owner.
    const DATA_SET& DataSet(int nIndex) const { return m_arrayDataSet.at(nIndex); }
    int ScaleMode() const { return m_nScaleMode; }
    double XMin() const { return m_dXMin; }
    double XMax() const { return m_dXMax; }
    double YMin() const { return m_dYMin; }
    double YMax() const { return m_dYMax; }
    // Largest value among the points the last paint drew (-ChartGeometry::kSentinel when none).
    double VisibleYMax() const { return m_dVisibleYMax; }

    QString m_strTitle;
    QString m_strYLabel;
    QString m_strXName = QStringLiteral("x"); // the exported table's first column

    // The named data sets as a table to export: all points, or those in the
    // horizontal range shown. Shares the points with the chart.
    ChartCsv::Table ExportTable(bool bAll) const;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    // The mouse neither zooms nor pans: drags are only traced to the debug log.
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;
    // Copy Image, Save Image…, Export Visible Data… and Export All Data…;
    // also from the keyboard's menu key once a click has given the chart focus.
    void contextMenuEvent(QContextMenuEvent* pEvent) override;

private:
    // A value tag: where its tip points (the value's height at the plot's
    // right edge, kept inside the widget) and where its box is centred after
    // stacking it clear of the other tags.
    struct TAG
    {
        const DATA_SET* pSet;
        double dValue;
        double dTipY;
        double dCentre;
    };
    // An axis label: its text, the rectangle it is drawn into (with the
    // axis's alignment), where its glyphs land, and whether it is drawn.
    struct LABEL
    {
        QString strText;
        QRectF rect;
        QRectF ink;
        bool bShown;
    };

    void Reset();
    void Rescale();
    void RescaleX();
    void RescaleY();
    template <typename Visit> void VisitDrawnPoints(const DATA_SET& set, Visit visit) const;
    void MeasureVisibleRange();
    QVector<TAG> PlaceValueTags(double dHalfHeight) const;
    QVector<LABEL> VerticalLabels(const QVector<ChartGeometry::GridLine>& lines,
                                  const QFont& labelFont) const;
    QVector<LABEL> HorizontalLabels(const QVector<ChartGeometry::GridLine>& lines,
                                    const QFont& labelFont) const;
    void PaintHorizontalAxis(QPainter& painter, const QPen& gridPen, const QColor& textColor,
                             const QVector<ChartGeometry::GridLine>& lines, const QVector<LABEL>& labels);
    void PaintVerticalAxis(QPainter& painter, const QPen& gridPen, const QColor& textColor,
                           const QVector<ChartGeometry::GridLine>& lines, const QVector<LABEL>& labels,
                           const QFont& labelFont, const QFont& titleFont);
    void PaintValueTags(QPainter& painter, const QVector<TAG>& tags, double dHalfHeight, double dTagWidth,
                        const QColor& fillColor);
    void PaintTraces(QPainter& painter);
    void PaintTitle(QPainter& painter, const QFont& titleFont, const QColor& textColor);
    bool IsValidIndex(int nIndex) const { return nIndex >= 0 && nIndex < m_arrayDataSet.size(); }
    void StorePoint(int nIndex, const DATA_POINT& point);
    void ExportData(bool bAll);
    void ReleaseHeldPoints();

    QVector<DATA_SET> m_arrayDataSet;
    int m_nScaleMode = SCALE_WINDOW;
    // Ranges start inverted at the sentinels so that the first value replaces both ends.
    double m_dYMin = ChartGeometry::kSentinel, m_dYMax = -ChartGeometry::kSentinel;
    double m_dXMin = ChartGeometry::kSentinel, m_dXMax = -ChartGeometry::kSentinel;
    double m_dMinSpanLow = -0.05, m_dMinSpanHigh = 0.05;
    double m_dExtentXMin = ChartGeometry::kSentinel, m_dExtentXMax = -ChartGeometry::kSentinel;
    double m_dExtentYMin = ChartGeometry::kSentinel, m_dExtentYMax = -ChartGeometry::kSentinel;
    double m_dVisibleYMin = -10.0, m_dVisibleYMax = 10.0; // measured by each paint
    DATA_POINT m_LastPoint;
    bool m_bHasData = false;
    // Computed by every paint; window scaling reads the plot width.
    double m_dPlotLeft = 0.0, m_dPlotTop = 0.0, m_dPlotWidth = 0.0, m_dPlotHeight = 0.0;
    double m_dXFactor = 0.0, m_dYFactor = 0.0; // pixels per unit
    const char* m_pszValueFormat = "%.03f";
    QPoint m_ptPress;
    QPoint m_ptDragDiff;
    QVector<QString> m_arrayNames;   // by data-set index; empty for a set not exported
    QVector<int> m_arrayExportOrder; // named sets, in the order they were named
    // While exports read the points, new points wait here (a point appended
    // to a shared array would copy all of it); they join the sets when the
    // last export ends.
    int m_nExportsRunning = 0;
    QVector<QVector<DATA_POINT>> m_arrayHeld;
};

#endif // CSTRIPCHARTWIDGET_H
