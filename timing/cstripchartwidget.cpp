#include "cstripchartwidget.h"

#include <QDebug>
#include <QPainter>

#include <cmath>

namespace {
// Default trace colours by data-set index modulo 8.
const QColor kDefaultColors[8] = {
    QColor(0, 0, 128), QColor(255, 0, 0),   QColor(0, 128, 0), QColor(128, 128, 0),
    QColor(0, 128, 128), QColor(128, 0, 128), QColor(0, 0, 0), QColor(128, 128, 128),
};
// Qt 5's QVector aborts near 2 GiB; one set stops growing well before that
// (64 M points, about two years of records at one a second).
const int kMaxPointsPerSet = 64 * 1024 * 1024;
} // namespace

CStripChartWidget::CStripChartWidget(QWidget* pParent) : QWidget(pParent)
{
    Reset();
    m_strTitle = QStringLiteral("Untitled");
    m_strYLabel = QStringLiteral("Untitled");
    m_arrayDataSet.resize(NUM_DATA_SETS);
    for (int i = 0; i < m_arrayDataSet.size(); ++i)
        m_arrayDataSet[i].colorTrace = kDefaultColors[i % 8];
    m_pszValueFormat = "%.03f";
    m_dVisibleYMin = -10.0;
    m_dVisibleYMax = 10.0;
    m_dMinSpanLow = -0.05;
    m_dMinSpanHigh = 0.05;
}

void CStripChartWidget::Reset()
{
    m_bHasData = false;
    m_dYMax = m_dXMax = -1e20;
    m_dYMin = m_dXMin = 1e20;
    m_dExtentXMax = m_dExtentYMax = -1e20;
    m_dExtentXMin = m_dExtentYMin = 1e20;
    m_dVisibleYMin = 1e20;
    m_dVisibleYMax = -1e20;
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
    DATA_SET& set = m_arrayDataSet[nIndex];
    m_bHasData = true;
    if (set.arrayPoints.size() < kMaxPointsPerSet) {
        DATA_POINT point;
        point.dX = dX;
        point.dY = dY;
        point.dZ = dZ;
        set.arrayPoints.append(point);
    } else if (set.arrayPoints.size() == kMaxPointsPerSet) {
        qDebug() << "CStripChartWidget::AddPoint(): data set" << nIndex << "is full";
    }

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

    Rescale();
    if (bRepaint)
        repaint();
}

void CStripChartWidget::EraseData(bool bRepaint)
{
    for (DATA_SET& set : m_arrayDataSet)
        set.arrayPoints = QVector<DATA_POINT>(); // clear() would keep the capacity
    m_bHasData = false;
    m_dExtentXMax = m_dExtentYMax = -1e20;
    m_dExtentXMin = m_dExtentYMin = 1e20;
    m_dVisibleYMin = 1e20;
    m_dVisibleYMax = -1e20;
    if (bRepaint)
        repaint();
}

void CStripChartWidget::Rescale()
{
    if (m_nScaleMode != SCALE_WINDOW) {
        m_dXMin = m_dExtentXMin;
        m_dXMax = m_dExtentXMax;
        const double dMargin = 0.1 * std::fabs(m_dExtentYMax - m_dExtentYMin);
        m_dYMin = m_dExtentYMin - dMargin;
        m_dYMax = m_dExtentYMax + dMargin;
        return;
    }
    // One horizontal unit per pixel, ending at the newest point.
    m_dXMax = m_LastPoint.dX;
    m_dXMin = m_LastPoint.dX - m_dPlotWidth;
    // The vertical range follows the points drawn by the last paint, plus 10 %.
    const double dMargin = 0.1 * std::fabs(m_dVisibleYMax - m_dVisibleYMin);
    m_dYMax = m_dVisibleYMax + dMargin;
    m_dYMin = m_dVisibleYMin - dMargin;
    if (m_dYMin > m_dMinSpanLow && m_dMinSpanHigh > m_dYMax) {
        m_dYMin = m_dMinSpanLow;
        m_dYMax = m_dMinSpanHigh;
    }
    if (m_dYMax - m_dYMin == 0.0) {
        if (m_dYMax == 0.0) {
            m_dYMin = -1.0;
            m_dYMax = 1.0;
        } else {
            const double dMax = m_dYMax;
            m_dYMax = 1.5 * dMax;
            m_dYMin = m_dYMin - 0.5 * dMax;
        }
    }
}

void CStripChartWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
}
