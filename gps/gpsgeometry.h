#ifndef GPSGEOMETRY_H
#define GPSGEOMETRY_H

// Geometry of the GPS displays: the sky plot's square and projection, the
// signal bars' slots, the position panel's boxes, the font sizes of all three
// and the colours that stand for a satellite's state or a time's validity.
//
// Every function here is pure (no widget, no state), so the paints and the
// tests call the same code. Every input gives an answer: a satellite count
// beyond the record's 96 slots draws 96, a negative count draws none, font
// sizes follow DisplayFont::PointSize (never below 1), and casts of doubles
// to integers saturate.

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QVector>

#include <cstdint>

namespace GpsGeometry {

// ---- Sky plot -------------------------------------------------------------------

// Side D = min(w, h) - 1 of the plot square, centred along the longer side:
// 301 x 201 -> (50, 0, 200, 200); 201 x 301 -> (0, 50, 200, 200).
QRectF SkySquare(QSize widget);

// Where a satellite at azimuth and elevation (whole degrees) is drawn: north
// up, east right, the zenith at the centre and elevation 0 on the circle of
// diameter dWidth. Each part truncated toward zero:
// x = trunc(sin a * z * k) + trunc(cx + 0.5), k = (w / 2) / 90, z = 90 - e,
// with pi taken as 3.14159265359.
QPoint SkyProjection(int nAzimuth, int nElevation, QPointF centre, double dWidth);

// Marker of side D * 0.08 centred on the projected point.
QRectF SkyMarkerRect(QPoint point, double dSide);
// The same marker in whole pixels, its side rounded (at least 1): the images
// are scaled to it once and drawn unscaled, so a marker painted in part looks
// as one painted whole. Points far outside any widget are held a million
// pixels out.
QRect SkyMarkerPixels(QPoint point, double dSide);

// PRN labels: trunc(D * 0.045 * 96 / dpi) (the paint raises it to a legible size).
int SkyLabelPointSize(double dSide, int nLogicalDpiX);

// Where the PRN labels go, given every drawn satellite's marker rectangle
// and the size of its label's text (same order): the box of each text.
// A label takes its usual place, centred on the marker's lower half and the
// line below it, when that lies inside dBounds and clear of the labels placed
// before it and of other markers; else the first place beside the marker
// (below, above, right, left, then the corners) clear of both, else of the
// labels only (a label may lie on a marker, which is drawn first); then the
// same directions a line further out, up to six lines; else its usual place.
// Labels keep 2 px apart. Every box is moved
// inside dBounds (a text wider than the bounds starts at their left edge).
// Markers are drawn before all labels, so a label may lie on a marker and is
// still read; no label covers another.
QVector<QRectF> PlaceSkyLabels(const QVector<QRectF>& markers, const QVector<QSizeF>& texts,
                               const QRectF& bounds);

// ---- Signal bars --------------------------------------------------------------

enum : int
{
    EMPTY_SLOT_COUNT = 12, // slots shown while no satellite is in view
    FULL_SCALE_SNR = 55,   // a bar of this SNR fills the bar area
    MAX_BAR_POINT_SIZE = 20,
};

// Slots drawn for a count in view: 12 for 0, at most the record's 96; a
// negative count draws none (returns 0).
int SlotCount(int nSatsInView);

// Slot width: widget width / slots in floating point; 0 when there are none.
double SlotWidth(int nWidgetWidth, int nSlots);

// trunc(b * 0.3 * 96 / dpi), at most 20.
int BarPointSize(double dSlotWidth, int nLogicalDpiX);

// Rows of PRN labels under the slots: 1 when every label fits its slot;
// else the fewest rows k such that the labels of one row (slots i, i + k,
// ...), each centred under its slot and kept inside [0, dWidth], stand at
// least 2 px apart. Between 1 and the number of labels.
int PrnRowCount(const QVector<double>& textWidths, double dSlotWidth, double dWidth);

// Height of the bar area above the PRN band: widget height - (rows + 0.25)
// line heights.
double BarAreaHeight(int nWidgetHeight, int nLineHeight, int nRows = 1);

// Bar of a slot at dX: grows up from the bottom of the bar area, 55 filling it.
QRectF BarRect(double dX, double dSlotWidth, double dAreaHeight, int nSNR);

// PRN label under a slot in one row: (trunc x, trunc A, trunc b, trunc(1.25 f)).
QRect PrnLabelRect(double dX, double dSlotWidth, double dAreaHeight, int nLineHeight);

// The line a PRN label stands on when there are several rows: the text's
// width centred under its slot, kept inside [0, dWidth], a line high, in row
// nSlot mod nRows of the band.
QRectF PrnTextBox(int nSlot, double dTextWidth, double dSlotWidth, double dWidth, double dAreaHeight,
                  int nLineHeight, int nRows);

// Where a bar's SNR text goes: at the top of the bar where the bar holds it,
// else on the slot just above the bar, and never above the widget; turned to
// read upwards when it is wider than the slot. box is the room it takes.
struct SnrPlace
{
    QRectF box;
    bool bUpright; // turned by -90 degrees
    bool bInBar;   // on the bar's colour, else on the slot's
};
SnrPlace SnrTextPlace(const QRectF& bar, double dAreaHeight, double dTextWidth, int nLineHeight);

// WCAG 2 contrast ratio of two colours (1 to 21).
double Contrast(const QColor& a, const QColor& b);
// The preferred text colour where it reaches 4.5:1 against the background,
// else black or white, whichever contrasts more.
QColor ReadableOn(const QColor& preferred, const QColor& background);

// A satellite outside the solution is greyed unless its state is 1.
bool BarIsShadowed(bool bUsed, int nStatus);

// Bar colour of a state code: 0 blue, 1 green, 2 red, 3 yellow, others magenta.
QColor StatusColour(int nStatus);

// ---- Position panel ---------------------------------------------------------------

// Title and value point sizes for a panel of this height: rows r = (h - 1) / 4,
// n = trunc(0.48 r), value trunc(96 / dpi * n), title trunc(n / 3 * 96 / dpi).
// 209 px at 96 DPI: r = 52, n = 24: title 8, value 24.
struct PanelFontSizes
{
    int nTitle;
    int nValue;
};
PanelFontSizes PositionFontSizes(QSize widget, int nLogicalDpiX);

enum : int
{
    POSITION_BOX_COUNT = 7
};

// Box i (0 latitude, 1 longitude, 2 grid square, 3 altitude, 4 satellites
// tracked, 5 in view, 6 GPS time) of a panel: four rows of height (h - 1) / 4
// across the width w - 1, in floating point.
QRectF PositionBox(int nIndex, QSize widget);

// The box outline: the box inset by a twentieth of its height each side.
QRectF BoxInnerRect(const QRectF& box);

// Where title and value go inside the outline: 3 px in from its top left.
QRectF BoxTextRect(const QRectF& inner);

// How a box's title and value are drawn in its text rectangle T. The title
// stands at the top left in the title size (at least legible), elided with
// "…" when wider than T. The value is centred in T in the value size, made
// smaller to fit T's width; where its glyphs would then come within 2 px of
// the title's, it is centred in the part of T below the title instead, and
// made smaller again (never below legible) until it fits there.
struct BoxTextLayout
{
    QFont titleFont;
    QString strTitle; // as drawn
    QFont valueFont;
    QRectF valueRect; // the value is centred in it
};
BoxTextLayout LayOutBoxText(const QRectF& textRect, const QString& strTitle, const QString& strValue,
                            int nTitlePointSize, int nValuePointSize);

// Box styles: 0 palette colours, 1 white on green, 2 black on yellow, 3
// yellow on dark red. Colours of styles 1 to 3; style 0 takes the palette's.
QColor StyleTextColour(int nStyle);
QColor StyleFillColour(int nStyle);

// The second shown for a GPS time: the one after the reported second, or
// 0 (1970) for a time that is not positive. In 64 bits: INT32_MAX + 1 fits.
int64_t ShownGPSTime(int32_t nGPSTime);

// 2 when the time is flagged invalid; 3 when it is valid but before
// 2020-01-01 00:00:00 UTC (receivers without an almanac report 1980 or the
// week-rollover years); 0 otherwise.
int GPSTimeStyle(int64_t tShown, int32_t nGPSTimeFlag);

constexpr int64_t kPlausibleTimeStart = 1577836800; // 2020-01-01 00:00:00 UTC

// ---- Partial repaints ---------------------------------------------------------------
// A record usually changes a few signal bars, a satellite or two and the GPS
// time: the displays repaint only what changed. Texts are clipped to their
// rectangles, so a slot's, marker's or box's paint stays inside it; this is
// what it may cover with pen and rounding: the rectangle aligned to pixels
// with 2 px more all round.
QRect PaintReach(const QRectF& rect);

} // namespace GpsGeometry

#endif // GPSGEOMETRY_H
