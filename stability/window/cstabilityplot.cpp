#include "cstabilityplot.h"

#include "displayfont.h"
#include "stabilitytext.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace {
// Texts are sized for 9 pt at 96 DPI and never below the legible size.
const double kTextPoints = 9.0;

bool Plottable(const Stability::Row& row)
{
    return row.dTau > 0.0 && std::isfinite(row.dTau) && row.dValue > 0.0 && std::isfinite(row.dValue);
}

QColor Blend(const QColor& a, const QColor& b, double dB)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * dB,
                            a.greenF() + (b.greenF() - a.greenF()) * dB,
                            a.blueF() + (b.blueF() - a.blueF()) * dB);
}

// The tau labels' top below the plot: clear of the lowest value label,
// which is centred on the plot's bottom line.
double TauLabelOffset(double dLine)
{
    return std::ceil(dLine / 2.0) + 1.0;
}

// Room around texts and between a text and what it labels.
double Gap(const QFontMetricsF& metrics)
{
    return std::max(4.0, std::round(metrics.height() / 3.0));
}
} // namespace

CStabilityPlot::CStabilityPlot(QWidget* pParent) : QWidget(pParent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CStabilityPlot::SetRows(Stability::Kind kind, const std::vector<Stability::Row>& rows)
{
    m_nKind = kind;
    m_Rows = rows;
    update();
}

void CStabilityPlot::SetEmptyText(const QString& strText)
{
    m_strEmptyText = strText;
    update();
}

QSize CStabilityPlot::sizeHint() const
{
    return QSize(560, 340);
}

QSize CStabilityPlot::minimumSizeHint() const
{
    return QSize(240, 160);
}

CStabilityPlot::Layout CStabilityPlot::ComputeLayout() const
{
    Layout layout;
    layout.font = DisplayFont::Legible(DisplayFont::PointSize(kTextPoints, logicalDpiX()));
    const QFontMetricsF metrics(layout.font);
    const double dLine = metrics.height(), dGap = Gap(metrics);
    const QRectF whole(0, 0, width() - 1, height() - 1);

    QVector<double> taus, values;
    for (const Stability::Row& row : m_Rows)
        if (Plottable(row)) {
            taus << row.dTau;
            values << row.dValue << row.dMin << row.dMax;
        }
    layout.tau = LogPlot::DecadeRange(taus);
    layout.value = LogPlot::DecadeRange(values);
    if (!layout.tau.IsValid() || !layout.value.IsValid()) {
        layout.tau = layout.value = LogPlot::Decades();
        layout.plot = whole;
        return layout;
    }

    // Half a value label stands above the top line and half one below the
    // bottom line; below that come the tau labels and the tau title, left of
    // the plot the value title (turned) and the value labels.
    const double dTop = std::ceil(dLine / 2.0) + dGap;
    const double dBottom = TauLabelOffset(dLine) + dLine + dGap / 2 + dLine + dGap / 2;
    const double dPlotHeight = whole.height() - dTop - dBottom;
    layout.nValueLabelStep = LogPlot::LabelStep(layout.value, dPlotHeight, dLine * 1.5);
    double dValueLabels = 0.0;
    for (int n : LogPlot::LabelledExponents(layout.value, layout.nValueLabelStep))
        dValueLabels = std::max(dValueLabels, metrics.horizontalAdvance(LogPlot::DecadeLabel(n)));
    double dTauLabels = 0.0;
    for (int n = layout.tau.nLow; n <= layout.tau.nHigh; ++n)
        dTauLabels = std::max(dTauLabels, metrics.horizontalAdvance(LogPlot::DecadeLabel(n)));
    const double dLeft = dGap + dLine + dGap + std::ceil(dValueLabels) + dGap;
    const double dRight = std::ceil(dTauLabels / 2) + dGap;
    layout.plot =
        QRectF(whole.left() + dLeft, whole.top() + dTop, whole.width() - dLeft - dRight, dPlotHeight);
    layout.nTauLabelStep = LogPlot::LabelStep(layout.tau, layout.plot.width(), dTauLabels + 2 * dGap);
    return layout;
}

void CStabilityPlot::paintEvent(QPaintEvent*)
{
    const QPalette palette;
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    const QColor data = palette.color(QPalette::Highlight);
    const QColor major = palette.color(QPalette::Mid);
    const QColor minor = Blend(base, major, 0.4);

    QPainter painter(this);
    painter.fillRect(rect(), base);
    const Layout layout = ComputeLayout();
    painter.setFont(layout.font);
    const QFontMetricsF metrics(layout.font);
    const double dLine = metrics.height(), dGap = Gap(metrics);

    if (!layout.tau.IsValid()) {
        // On one line, else broken into lines between words, else cut short.
        const QRectF room = layout.plot.adjusted(dGap, 0, -dGap, 0);
        const QFont font = DisplayFont::Fitted(layout.font, m_strEmptyText, room.width());
        const QRectF wrapped =
            QFontMetricsF(font).boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, m_strEmptyText);
        painter.setFont(font);
        painter.setPen(text);
        if (room.contains(wrapped))
            painter.drawText(room, Qt::AlignCenter | Qt::TextWordWrap, m_strEmptyText);
        else
            painter.drawText(room, Qt::AlignCenter, DisplayFont::Elided(font, m_strEmptyText, room.width()));
        return;
    }
    const QRectF plot = layout.plot;
    if (!(plot.width() >= 1.0) || !(plot.height() >= 1.0))
        return;
    const auto x = [&](double dTau) { return LogPlot::Pixel(dTau, layout.tau, plot.left(), plot.right()); };
    const auto y = [&](double dValue) {
        return LogPlot::Pixel(dValue, layout.value, plot.bottom(), plot.top());
    };

    // Grid: minor lines first, so that the decades lie on top.
    for (bool bMajor : {false, true}) {
        painter.setPen(QPen(bMajor ? major : minor, 0));
        for (const LogPlot::GridLine& line : LogPlot::Grid(layout.tau, plot.width()))
            if (line.bMajor == bMajor) {
                const double dX = LogPlot::PixelOfLog(line.dLog10, layout.tau, plot.left(), plot.right());
                painter.drawLine(QPointF(dX, plot.top()), QPointF(dX, plot.bottom()));
            }
        for (const LogPlot::GridLine& line : LogPlot::Grid(layout.value, plot.height()))
            if (line.bMajor == bMajor) {
                const double dY = LogPlot::PixelOfLog(line.dLog10, layout.value, plot.bottom(), plot.top());
                painter.drawLine(QPointF(plot.left(), dY), QPointF(plot.right(), dY));
            }
    }
    painter.setPen(QPen(palette.color(QPalette::Dark), 0));
    painter.drawRect(plot);

    // Decade labels, the value title turned up the left side, the tau title.
    painter.setPen(text);
    for (int n : LogPlot::LabelledExponents(layout.tau, layout.nTauLabelStep)) {
        const double dX = LogPlot::PixelOfLog(n, layout.tau, plot.left(), plot.right());
        painter.drawText(QRectF(dX - 100, plot.bottom() + TauLabelOffset(dLine), 200, dLine),
                         Qt::AlignHCenter | Qt::AlignTop, LogPlot::DecadeLabel(n));
    }
    for (int n : LogPlot::LabelledExponents(layout.value, layout.nValueLabelStep)) {
        const double dY = LogPlot::PixelOfLog(n, layout.value, plot.bottom(), plot.top());
        painter.drawText(QRectF(0, dY - dLine / 2, plot.left() - dGap, dLine),
                         Qt::AlignRight | Qt::AlignVCenter, LogPlot::DecadeLabel(n));
    }
    const QString strTau = DisplayFont::Elided(layout.font, StabilityText::TauAxisTitle(), plot.width());
    painter.drawText(
        QRectF(plot.left(), plot.bottom() + TauLabelOffset(dLine) + dLine + dGap / 2, plot.width(), dLine),
        Qt::AlignHCenter | Qt::AlignTop, strTau);
    painter.save();
    painter.translate(dGap, plot.center().y());
    painter.rotate(-90);
    const QString strValue =
        DisplayFont::Elided(layout.font, StabilityText::ValueAxisTitle(m_nKind), plot.height());
    painter.drawText(QRectF(-plot.height() / 2, 0, plot.height(), dLine), Qt::AlignHCenter | Qt::AlignTop,
                     strValue);
    painter.restore();

    // The rows: a line through the values, error bars from the lower to the
    // upper bound with caps, a marker on each value.
    const double dRadius = std::max(3.0, std::round(dLine / 5.0));
    const double dCap = dRadius;
    QVector<QPointF> points;
    QVector<QRectF> taken;
    QStringList noises;
    for (const Stability::Row& row : m_Rows)
        if (Plottable(row)) {
            points << QPointF(x(row.dTau), y(row.dValue));
            noises << QString::fromLatin1(Stability::NoiseAbbreviation(row.nAlpha));
        }
    painter.setClipRect(plot.adjusted(-dRadius - 1, -dRadius - 1, dRadius + 1, dRadius + 1));
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (points.size() > 1) {
        painter.setPen(QPen(Blend(base, data, 0.6), 1.5));
        painter.drawPolyline(points.constData(), points.size());
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(data, 0));
    int i = 0;
    for (const Stability::Row& row : m_Rows) {
        if (!Plottable(row))
            continue;
        const QPointF p = points[i++];
        const double dHigh = y(row.dMax);
        // A lower bound of zero or below runs to the bottom of the plot.
        const double dLow = std::isfinite(row.dMin) ? (row.dMin > 0.0 ? y(row.dMin) : plot.bottom()) : NAN;
        if (std::isfinite(dHigh) && std::isfinite(dLow)) {
            painter.drawLine(QPointF(p.x(), dHigh), QPointF(p.x(), dLow));
            painter.drawLine(QPointF(p.x() - dCap, dHigh), QPointF(p.x() + dCap, dHigh));
            painter.drawLine(QPointF(p.x() - dCap, dLow), QPointF(p.x() + dCap, dLow));
            taken << QRectF(p.x() - dCap, dHigh, 2 * dCap, dLow - dHigh).adjusted(-1, -1, 1, 1);
        }
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(data.darker(130), 1));
    painter.setBrush(data);
    for (const QPointF& p : qAsConst(points)) {
        painter.drawEllipse(p, dRadius, dRadius);
        taken << QRectF(p.x() - dRadius - 1, p.y() - dRadius - 1, 2 * dRadius + 2, 2 * dRadius + 2);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);

    // Noise types beside their markers, on the background colour so that the
    // line under them does not cross the letters; those that find no free
    // place are left out.
    QVector<QSizeF> sizes;
    for (const QString& strNoise : qAsConst(noises))
        sizes << (strNoise.isEmpty()
                      ? QSizeF()
                      : QSizeF(std::ceil(metrics.horizontalAdvance(strNoise)) + 2, std::ceil(dLine)));
    const QVector<QRectF> boxes = LogPlot::PlaceLabels(points, sizes, taken, plot, dGap / 2 + dRadius / 2);
    painter.setClipping(false);
    painter.setPen(text);
    for (int n = 0; n < boxes.size(); ++n)
        if (!boxes[n].isNull()) {
            painter.fillRect(boxes[n], base);
            painter.drawText(boxes[n], Qt::AlignCenter, noises[n]);
        }
}
