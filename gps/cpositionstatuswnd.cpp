#include "cpositionstatuswnd.h"

#include "cnavconversions.h"
#include "displayfont.h"
#include "gpsgeometry.h"
#include "positiontext.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>

#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QStringList>

#include <ctime>

namespace {
QString FromUtf8(const std::string& str)
{
    return QString::fromUtf8(str.data(), int(str.size()));
}
} // namespace

CPositionStatusWnd::CPositionStatusWnd(CNavConversions* pNavConversions, QWidget* pParent)
    : QWidget(pParent), m_pNavConversions(pNavConversions)
{
    setAccessibleName(QStringLiteral("Position"));
}

CPositionStatusWnd::~CPositionStatusWnd() = default;

QSize CPositionStatusWnd::sizeHint() const
{
    return QSize(200, 200);
}

void CPositionStatusWnd::SetData(CGPSDisplayData data)
{
    m_Data.SetData(data);
    QString aTitles[GpsGeometry::POSITION_BOX_COUNT];
    QString aValues[GpsGeometry::POSITION_BOX_COUNT];
    BoxTexts(aTitles, aValues);
    // One paint per turn of the event loop, however many records arrive, and
    // of the boxes that change (from second to second, the GPS time), against
    // what was last asked for, also in another notation.
    for (int i = 0; i < GpsGeometry::POSITION_BOX_COUNT; ++i) {
        if (aTitles[i] != m_aAskedTitles[i] || aValues[i] != m_aAskedValues[i] ||
            (i == 6 && TimeStyle() != m_nAskedStyle))
            update(GpsGeometry::PaintReach(GpsGeometry::PositionBox(i, size())));
        m_aAskedTitles[i] = aTitles[i];
        m_aAskedValues[i] = aValues[i];
    }
    m_nAskedStyle = TimeStyle();
    // Assistive technology hears what the panel paints.
    QStringList lines;
    for (int i = 0; i < GpsGeometry::POSITION_BOX_COUNT; ++i)
        lines << (aTitles[i].trimmed() + QStringLiteral(": ") + aValues[i]);
    setAccessibleDescription(lines.join(QLatin1Char('\n')));
}

void CPositionStatusWnd::OnNewPositionUpdateGPS()
{
    repaint();
}

void CPositionStatusWnd::BoxTexts(QString* aTitles, QString* aValues) const
{
    // The panel shows the second after the reported one: the service reports
    // the second that has just begun.
    const time_t tShown = time_t(GpsGeometry::ShownGPSTime(m_Data.nGPSTime));
    struct tm tmShown = {};
    char szAsc[32] = {};
    if (!gmtime_r(&tShown, &tmShown) || !asctime_r(&tmShown, szAsc))
        szAsc[0] = '\0';

    if (m_pNavConversions) {
        aValues[0] = FromUtf8(m_pNavConversions->FormatLatitude(m_Data.dLatitude));
        aValues[1] = FromUtf8(m_pNavConversions->FormatLongitude(m_Data.dLongitude));
        aValues[2] = FromUtf8(m_pNavConversions->GridSquare(m_Data.dLatitude, m_Data.dLongitude));
        aValues[3] = FromUtf8(m_pNavConversions->FormatAltitude(m_Data.dAltitude));
    }
    aValues[4] = QString::asprintf("%d", m_Data.nSatsTracked);
    aValues[5] = QString::asprintf("%d", m_Data.nSatsInView);
    aValues[6] = QString::asprintf("%02d:%02d:%02d", tmShown.tm_hour, tmShown.tm_min, tmShown.tm_sec);
    // asctime's text keeps its double space before one-digit days and its
    // closing newline: "Thu Jan  1 00:00:00 1970\n".
    const QString aNames[GpsGeometry::POSITION_BOX_COUNT] = {QStringLiteral("Latitude"),
                                                             QStringLiteral("Longitude"),
                                                             QStringLiteral("Grid Square"),
                                                             QStringLiteral("Altitude"),
                                                             QStringLiteral("Satellites Tracked"),
                                                             QStringLiteral("Satellites In View"),
                                                             QStringLiteral("GPS Time ") +
                                                                 QString::fromUtf8(szAsc)};

    for (int i = 0; i < GpsGeometry::POSITION_BOX_COUNT; ++i)
        aTitles[i] = aNames[i];
}

int CPositionStatusWnd::TimeStyle() const
{
    return GpsGeometry::GPSTimeStyle(GpsGeometry::ShownGPSTime(m_Data.nGPSTime), m_Data.nGPSTimeFlag);
}

void CPositionStatusWnd::paintEvent(QPaintEvent* pEvent)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);

    m_Sizes = GpsGeometry::PositionFontSizes(size(), logicalDpiX());

    QString aTitles[GpsGeometry::POSITION_BOX_COUNT];
    QString aValues[GpsGeometry::POSITION_BOX_COUNT];
    BoxTexts(aTitles, aValues);
    for (int i = 0; i < GpsGeometry::POSITION_BOX_COUNT; ++i) {
        const QRectF box = GpsGeometry::PositionBox(i, size());
        if (pEvent->region().intersects(GpsGeometry::PaintReach(box)))
            DrawBox(painter, i, box, aTitles[i], aValues[i], i == 6 ? TimeStyle() : 0);
    }
}

void CPositionStatusWnd::contextMenuEvent(QContextMenuEvent* pEvent)
{
    QString aTitles[GpsGeometry::POSITION_BOX_COUNT];
    QString aValues[GpsGeometry::POSITION_BOX_COUNT];
    BoxTexts(aTitles, aValues);
    const double dLatitude = m_Data.dLatitude;
    const double dLongitude = m_Data.dLongitude;
    const bool bPlace = PositionText::IsPlace(dLatitude, dLongitude);
    auto copy = [](const QString& strText) { QApplication::clipboard()->setText(strText); };

    QMenu menu(this);
    const QString strShown = aValues[0] + QStringLiteral(", ") + aValues[1];
    menu.addAction(tr("Copy Position"), this, [=] { copy(strShown); });
    menu.addAction(tr("Copy as Decimal Degrees"), this,
                   [=] { copy(PositionText::DecimalDegrees(dLatitude, dLongitude)); })
        ->setEnabled(bPlace);
    const double dAltitude = m_Data.dAltitude;
    menu.addAction(tr("Copy geo: URI"), this,
                   [=] { copy(PositionText::GeoUri(dLatitude, dLongitude, dAltitude)); })
        ->setEnabled(bPlace);
    const QString strGrid = aValues[2];
    menu.addAction(tr("Copy Grid Square"), this, [=] { copy(strGrid); });
    menu.exec(pEvent->globalPos());
}

void CPositionStatusWnd::DrawBox(QPainter& painter, int nIndex, const QRectF& box, const QString& strTitle,
                                 const QString& strValue, int nStyle)
{
    const QPalette palette;
    const QRectF inner = GpsGeometry::BoxInnerRect(box);

    QColor text = palette.color(QPalette::WindowText);
    QColor fill = palette.color(QPalette::Button);
    if (nStyle >= 1 && nStyle <= 3) {
        text = GpsGeometry::StyleTextColour(nStyle);
        fill = GpsGeometry::StyleFillColour(nStyle);
    }

    painter.setPen(palette.color(QPalette::Dark));
    painter.setBrush(QBrush(fill, Qt::SolidPattern));
    painter.drawRoundedRect(inner, inner.height() / 10, inner.height() / 10, Qt::AbsoluteSize);

    painter.setPen(QPen(QBrush(text), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    const QRectF textRect = GpsGeometry::BoxTextRect(inner);
    // Measuring glyphs is most of a box's cost: a box whose texts and room
    // stay the same (all but the GPS time, second after second) keeps its layout.
    BOX_TEXT& kept = m_aBoxTexts[nIndex];
    if (kept.textRect != textRect || kept.strTitle != strTitle || kept.strValue != strValue ||
        kept.nTitleSize != m_Sizes.nTitle || kept.nValueSize != m_Sizes.nValue) {
        kept = BOX_TEXT{
            textRect,
            strTitle,
            strValue,
            m_Sizes.nTitle,
            m_Sizes.nValue,
            GpsGeometry::LayOutBoxText(textRect, strTitle, strValue, m_Sizes.nTitle, m_Sizes.nValue)};
    }
    const GpsGeometry::BoxTextLayout& layout = kept.layout;
    painter.setFont(layout.titleFont);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop, layout.strTitle);
    painter.setFont(layout.valueFont);
    painter.drawText(layout.valueRect, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextDontClip, strValue);
}
