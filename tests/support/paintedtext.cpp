#include "paintedtext.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRawFont>
#include <QTextLayout>
#include <QWidget>

#include <climits>
#include <cmath>

namespace {

// The glyphs' outlines united, relative to the start of the baseline, as the
// device lays the text out. QFontMetricsF::tightBoundingRect adds up rounded
// advances and comes out up to 12 px wider than the ink at 47 pt; the glyph
// metrics' boxes are rounded out to whole pixels (two more when scaling turns
// hinting off). The outlines are within a pixel's coverage of the ink.
QRectF InkBox(const QString& strText, const QFont& font, QPaintDevice* pDevice)
{
    QTextLayout layout(strText, font, pDevice);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    QRectF box;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QVector<quint32> glyphs = run.glyphIndexes();
        const QVector<QPointF> positions = run.positions();
        for (int i = 0; i < glyphs.size(); ++i) {
            const QRectF outline = run.rawFont().pathForGlyph(glyphs[i]).boundingRect();
            box |= (outline.isEmpty() ? run.rawFont().boundingRect(glyphs[i]) : outline)
                       .translated(positions[i]);
        }
    }
    return box.isNull() ? QFontMetricsF(font, pDevice).tightBoundingRect(strText)
                        : box.translated(0, -line.ascent());
}

// Takes the primitives as the painter hands them over (untransformed, the
// transform in the state, since the engine claims every feature) and keeps
// texts and filled shapes in device coordinates.
class RecordingEngine : public QPaintEngine
{
public:
    RecordingEngine() : QPaintEngine(AllFeatures) {}

    QVector<PaintedText> m_texts;
    QVector<PaintedShape> m_shapes;

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    Type type() const override { return User; }

    // The engine's defaults pass integer shapes, rectangles, ellipses and lines
    // on to these as floating-point paths and polygons (lines as polylines), and
    // images and tiles to drawPixmap; points would come back as filled rectangles.
    void drawPath(const QPainterPath& path) override { Fill(path.boundingRect()); }
    void drawPolygon(const QPointF* p, int n, PolygonDrawMode mode) override
    {
        if (mode != PolylineMode)
            Fill(QPolygonF(QVector<QPointF>(p, p + n)).boundingRect());
    }
    void drawPoints(const QPointF*, int) override {}
    void drawPixmap(const QRectF& r, const QPixmap&, const QRectF&) override
    {
        m_shapes.append({state->transform().mapRect(r), QColor(), true, m_texts.size()});
    }

    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        PaintedText t;
        t.text = item.text();
        if (t.text.trimmed().isEmpty())
            return;
        const QTransform m = state->transform();
        t.font = item.font();
        t.pen = state->pen().color();
        t.nDpi = paintDevice()->logicalDpiY();
        t.glyphs = m.mapRect(InkBox(t.text, t.font, paintDevice()).translated(p));
        t.line =
            m.mapRect(QRectF(p.x(), p.y() - item.ascent(), item.width(), item.ascent() + item.descent()));
        // The painter keeps its clip in logical coordinates; the device's own
        // clip (the region being painted) comes on top.
        t.clip = QRectF(QPointF(0, 0), QSizeF(paintDevice()->width(), paintDevice()->height()));
        if (painter()->hasClipping())
            t.clip &= m.mapRect(painter()->clipBoundingRect());
        if (!systemClip().isEmpty())
            t.clip &= QRectF(systemClip().boundingRect());
        for (int i = m_shapes.size() - 1; i >= 0 && !t.fill.isValid(); --i)
            if (!m_shapes[i].bMarker && m_shapes[i].rect.contains(t.glyphs.center()))
                t.fill = m_shapes[i].brush;
        m_texts.append(t);
    }

private:
    void Fill(const QRectF& r)
    {
        if (state->brush().style() != Qt::NoBrush)
            m_shapes.append({state->transform().mapRect(r), state->brush().color(), false, m_texts.size()});
    }
};

// A device of the widget's size and resolutions, one device pixel per pixel
// of the widget.
class RecordingDevice : public QPaintDevice
{
public:
    RecordingDevice(QSize size, int nLogicalDpiX, int nLogicalDpiY, int nPhysicalDpiX, int nPhysicalDpiY)
        : m_size(size), m_aDpi{nLogicalDpiX, nLogicalDpiY, nPhysicalDpiX, nPhysicalDpiY}
    {}
    QPaintEngine* paintEngine() const override { return &m_engine; }
    mutable RecordingEngine m_engine;

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return m_size.width();
        case PdmHeight:
            return m_size.height();
        case PdmWidthMM:
            return qRound(m_size.width() * 25.4 / m_aDpi[2]);
        case PdmHeightMM:
            return qRound(m_size.height() * 25.4 / m_aDpi[3]);
        case PdmNumColors:
            return INT_MAX;
        case PdmDepth:
            return 32;
        case PdmDpiX:
            return m_aDpi[0];
        case PdmDpiY:
            return m_aDpi[1];
        case PdmPhysicalDpiX:
            return m_aDpi[2];
        case PdmPhysicalDpiY:
            return m_aDpi[3];
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    QSize m_size;
    int m_aDpi[4];
};

double Luminance(const QColor& c)
{
    const auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

} // namespace

QVector<PaintedText> RecordText(QWidget* w, QVector<PaintedShape>* pShapes)
{
    RecordingDevice device(w->size().expandedTo(QSize(1, 1)), w->logicalDpiX(), w->logicalDpiY(),
                           w->physicalDpiX(), w->physicalDpiY());
    w->render(&device);
    if (pShapes)
        *pShapes = device.m_engine.m_shapes;
    return device.m_engine.m_texts;
}

bool Clipped(const PaintedText& t, QSize widget)
{
    return !t.clip.contains(t.glyphs) || !QRectF(QPointF(0, 0), QSizeF(widget)).contains(t.glyphs);
}

double CapHeightPx(const PaintedText& t)
{
    const RecordingDevice device(QSize(1, 1), t.nDpi, t.nDpi, t.nDpi, t.nDpi);
    return QFontMetricsF(t.font, &device).capHeight();
}

double Contrast(const QColor& a, const QColor& b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool Overlap(const PaintedText& a, const PaintedText& b)
{
    return a.glyphs.intersects(b.glyphs);
}
