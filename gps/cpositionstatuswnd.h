#ifndef CPOSITIONSTATUSWND_H
#define CPOSITIONSTATUSWND_H

#include "cgpsdisplaydata.h"
#include "gpsgeometry.h"

#include <QFont>
#include <QWidget>

class CNavConversions;

// The current fix as seven labelled boxes: latitude, longitude, grid square,
// altitude, satellites tracked, satellites in view and GPS time. Position and
// altitude follow the notation and units of the main window's navigation
// conversions; the GPS time box turns black on yellow for a time flagged
// invalid and yellow on dark red for a valid one before 2020.
class CPositionStatusWnd : public QWidget
{
    Q_OBJECT

public:
    // pNavConversions belongs to the main window and outlives this panel.
    CPositionStatusWnd(CNavConversions* pNavConversions, QWidget* pParent);
    ~CPositionStatusWnd() override;

    QSize sizeHint() const override;

    // Keeps a copy of the record and has the boxes it changes drawn as soon as
    // the event loop runs.
    void SetData(CGPSDisplayData data);

public slots:
    // Draws the kept record again, e.g. in a new notation.
    void OnNewPositionUpdateGPS();

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    // Copy Position (as shown), Copy as Decimal Degrees, Copy geo: URI and
    // Copy Grid Square.
    void contextMenuEvent(QContextMenuEvent* pEvent) override;

private:
    // Titles and values of the seven boxes, as painted and as read out.
    void BoxTexts(QString* aTitles, QString* aValues) const;
    int TimeStyle() const; // of the GPS time box
    void DrawBox(QPainter& painter, int nIndex, const QRectF& box, const QString& strTitle,
                 const QString& strValue, int nStyle);

    CGPSDisplayData m_Data;
    CNavConversions* m_pNavConversions;
    GpsGeometry::PanelFontSizes m_Sizes{1, 1}; // follow the row height, set at every paint
    // The texts and time style of the last paint asked for.
    QString m_aAskedTitles[GpsGeometry::POSITION_BOX_COUNT];
    QString m_aAskedValues[GpsGeometry::POSITION_BOX_COUNT];
    int m_nAskedStyle = 0;
    // Each box's text layout and what it was made from.
    struct BOX_TEXT
    {
        QRectF textRect;
        QString strTitle;
        QString strValue;
        int nTitleSize = 0;
        int nValueSize = 0;
        GpsGeometry::BoxTextLayout layout;
    };
    BOX_TEXT m_aBoxTexts[GpsGeometry::POSITION_BOX_COUNT];
};

#endif // CPOSITIONSTATUSWND_H
