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

    // Both sizes follow the width only, so the text scales with the panel.
    const QString strState = QString::fromLatin1(look.pszText);
    painter.setFont(DisplayFont::Fitted(ChartGeometry::PointSize(width() - 1, 0.15, logicalDpiX()),
                                              strState, rect.width()));
    painter.drawText(rect, Qt::AlignHCenter | Qt::AlignVCenter, strState);
    painter.setFont(DisplayFont::Face(ChartGeometry::PointSize(width() - 1, 0.03, logicalDpiX())));
    painter.drawText(rect, Qt::AlignHCenter | Qt::AlignBottom,
                     ErrorText(m_Status.nLoopState, m_Status.dEstTimeError));
}
