#ifndef CSTABILITYPLOT_H
#define CSTABILITYPLOT_H

#include "logplotgeometry.h"
#include "stability.h"

#include <QFont>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <vector>

// Log-log plot of one stability analysis: each row's value against its tau
// as a marker on a line through them, its confidence bounds as an error bar,
// the abbreviation of its noise type beside it where there is room, a grid at
// every decade (and between, where decades are long) with labels, and the
// axis titles. With no row to plot it shows a text instead ("Collecting
// data: ..."). Every text is painted at the legible size or larger.
class CStabilityPlot : public QWidget
{
    Q_OBJECT

public:
    explicit CStabilityPlot(QWidget* pParent = nullptr);

    // The rows to plot and their kind (which names the vertical axis).
    void SetRows(Stability::Kind kind, const std::vector<Stability::Row>& rows);
    const std::vector<Stability::Row>& Rows() const { return m_Rows; }
    Stability::Kind Kind() const { return m_nKind; }
    // Shown in place of the plot while no row has a positive tau and value.
    void SetEmptyText(const QString& strText);
    const QString& EmptyText() const { return m_strEmptyText; }

    // Where the plot lies in the widget at its present size, and the decades
    // its axes span; the decades are invalid while there is nothing to plot.
    struct Layout
    {
        QFont font;
        QRectF plot;
        LogPlot::Decades tau;
        LogPlot::Decades value;
        int nTauLabelStep = 1;
        int nValueLabelStep = 1;
    };
    Layout ComputeLayout() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    Stability::Kind m_nKind = Stability::Kind::Oadev;
    std::vector<Stability::Row> m_Rows;
    QString m_strEmptyText;
};

#endif // CSTABILITYPLOT_H
