#include "csystemstatuswidget.h"

#include "chartgeometry.h"
#include "displayfont.h"

#include <QPainter>

namespace {
// One row of the service-state table.
struct STATE_LOOK
{
    const char* pszText;
    QColor colorFill;
    QColor colorText; // outline and text
};

const int kLoopStateCount = 9;
const STATE_LOOK kNoService = {"No Service", QColor(192, 0, 0), QColor(0, 0, 0)};
const STATE_LOOK kUnknown = {"Unknown", QColor(255, 0, 0), QColor(255, 242, 0)};
// By loop state 0..8.
const STATE_LOOK kStates[kLoopStateCount] = {
    {"Off", QColor(192, 192, 192), QColor(0, 0, 0)},
    {"No Disc", QColor(0, 0, 192), QColor(192, 192, 192)},
    {"NO GPS", QColor(255, 0, 0), QColor(255, 242, 0)},
    {"Starting...", QColor(255, 242, 0), QColor(0, 0, 128)},
    {"Searching", QColor(255, 100, 0), QColor(0, 0, 128)},
    {"Synching", QColor(255, 242, 0), QColor(0, 0, 128)},
    {"Locked", QColor(0, 128, 0), QColor(255, 255, 255)},
    {"Holdover", QColor(255, 242, 0), QColor(0, 0, 128)},
    {"Recovery", QColor(0, 0, 128), QColor(255, 255, 255)},
};
const int kLoopStateLocked = 6;

// The connection decides first: without one it is "No Service" whatever the
// last record said; then the loop state, "Unknown" outside 0..8.
STATE_LOOK StateLook(bool bConnected, int nLoopState)
{
    if (!bConnected)
        return kNoService;
    if (nLoopState < 0 || nLoopState >= kLoopStateCount)
        return kUnknown;
    return kStates[nLoopState];
}

// "Estimated Time Error: ..." in seconds above 0.5 s, else in milliseconds;
// only a locked loop (state 6) has one.
QString ErrorText(int nLoopState, double dEstTimeError)
{
    if (nLoopState != kLoopStateLocked)
        return QStringLiteral("Estimated Time Error: Not Available");
    if (dEstTimeError > 0.5)
        return QString::asprintf("Estimated Time Error: %0.3f Seconds", dEstTimeError);
    return QString::asprintf("Estimated Time Error: %0.3f Milliseconds", dEstTimeError * 1000);
}

// The error line as it is drawn: on one line where it fits the panel's width,
// else broken after its colon.
QStringList ErrorLines(const QString& strError)
{
    QString strBroken = strError;
    strBroken.replace(QStringLiteral(": "), QStringLiteral(":\n"));
    return {strError, strBroken};
}
} // namespace

CSystemStatusWidget::CSystemStatusWidget(const CBRFNProtocolQt* pLink, QWidget* pParent)
    : QWidget(pParent), m_pLink(pLink)
{
    m_Status = CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS();
    setAccessibleName(QStringLiteral("Service state"));
}

void CSystemStatusWidget::OnSignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS Data)
{
    m_Status = Data;
    update(); // merged per turn of the event loop, as the charts' paints
    // Assistive technology hears what the panel paints.
    {
        const STATE_LOOK look = StateLook(m_pLink->m_bConnected, Data.nLoopState);
        setAccessibleDescription(QString::fromLatin1(look.pszText) + QStringLiteral(". ") +
                                 ErrorText(Data.nLoopState, Data.dEstTimeError));
    }
}

// The connection flag is read here, at every paint: a lost link shows at the
// next repaint (the window sends an all-zero record right after it).
void CSystemStatusWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    const QRectF rect(0, 0, width() - 1, height() - 1);
    const STATE_LOOK look = StateLook(m_pLink->m_bConnected, m_Status.nLoopState);

    painter.setBrush(QBrush(look.colorFill));
    painter.setPen(QPen(look.colorText, 1));
    painter.drawRoundedRect(rect, 10.0, 10.0, Qt::AbsoluteSize);

    // Both sizes follow the width; the texts shrink where they would not fit
    // the panel's width or would run into each other, never below legible.
    const QString strState = QString::fromLatin1(look.pszText);
    const ChartGeometry::PanelTexts texts = ChartGeometry::CentreAndFoot(
        rect, DisplayFont::Face(ChartGeometry::PointSize(width() - 1, 0.15, logicalDpiX())), strState,
        DisplayFont::Face(ChartGeometry::PointSize(width() - 1, 0.03, logicalDpiX())),
        ErrorLines(ErrorText(m_Status.nLoopState, m_Status.dEstTimeError)));
    painter.setFont(texts.big);
    painter.drawText(rect, Qt::AlignHCenter | Qt::AlignVCenter, strState);
    painter.setFont(texts.foot);
    painter.drawText(rect, Qt::AlignHCenter | Qt::AlignBottom, texts.strFoot);
}

QSize CSystemStatusWidget::minimumSizeHint() const
{
    QStringList words = {QString::fromLatin1(kNoService.pszText), QString::fromLatin1(kUnknown.pszText)};
    for (const STATE_LOOK& look : kStates)
        words << QString::fromLatin1(look.pszText);
    const QStringList errorLines =
        ErrorLines(ErrorText(kLoopStateLocked, -0.5)).last().split(QLatin1Char('\n'));
    const QSizeF room =
        ChartGeometry::CentreAndFootMinimum(DisplayFont::Face(1), words, DisplayFont::Face(1), errorLines, 2);
    // The panel's rectangle is a pixel smaller than the widget.
    return QSize(int(room.width()) + 1, int(room.height()) + 1);
}
