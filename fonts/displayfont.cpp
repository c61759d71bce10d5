#include "displayfont.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace DisplayFont {

QFont Face(int nPointSize)
{
    QFont font(QStringLiteral("Helvetica [Cronyx]"), nPointSize, -1, false);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

int PointSize(double dSizeAt96Dpi, int nLogicalDpiX)
{
    const double dScale = nLogicalDpiX > 0 ? 96.0 / nLogicalDpiX : 1.0;
    const double dTrunc = std::trunc(dSizeAt96Dpi * dScale);
    if (!(dTrunc >= 1.0)) // also NaN
        return 1;
    return dTrunc > 1e6 ? 1000000 : int(dTrunc);
}

int LegiblePointSize()
{
    // Asked at every paint of every display: kept per screen DPI.
    static QHash<int, int> cache;
    const QScreen* pScreen = QGuiApplication::primaryScreen();
    const int nDpi = pScreen ? qRound(pScreen->logicalDotsPerInchY() * 100) : 0;
    const auto it = cache.constFind(nDpi);
    if (it != cache.constEnd())
        return *it;
    int nSize = 1;
    for (; nSize < 72; ++nSize) {
        const QFontMetricsF metrics(Face(nSize));
        // A face without a cap height in its tables: its ascent's share.
        const double dCap = metrics.capHeight() > 0 ? metrics.capHeight() : metrics.ascent() * 0.7;
        if (dCap >= kMinCapHeight)
            break;
    }
    cache.insert(nDpi, nSize);
    return nSize;
}

QFont Legible(int nPointSize)
{
    return Face(std::max(nPointSize, LegiblePointSize()));
}

QFont Fitted(int nPointSize, const QString& strText, double dRoom)
{
    return Fitted(Face(nPointSize), strText, dRoom);
}

QFont Fitted(QFont font, const QString& strText, double dRoom)
{
    const int nSmallest = LegiblePointSize();
    font.setPointSize(std::max(font.pointSize(), nSmallest));
    const int nLargest = font.pointSize();
    const double dWidth = QFontMetricsF(font).horizontalAdvance(strText);
    if (!(dWidth > dRoom) || nLargest == nSmallest)
        return font;
    if (!(dRoom > 0.0)) {
        font.setPointSize(nSmallest);
        return font;
    }
    // The largest size that fits. Advance grows about linearly with the
    // size: one proportional step, then single points for the rounding of
    // hinted glyphs (a few at most).
    const auto fits = [&](int nSize) {
        QFont probe = font;
        probe.setPointSize(nSize);
        return QFontMetricsF(probe).horizontalAdvance(strText) <= dRoom;
    };
    int nSize = std::clamp(int(nLargest * dRoom / dWidth), nSmallest, nLargest - 1);
    while (nSize + 1 < nLargest && fits(nSize + 1))
        ++nSize;
    while (nSize > nSmallest && !fits(nSize))
        --nSize;
    font.setPointSize(nSize);
    return font;
}

QString Elided(const QFont& font, const QString& strText, double dRoom)
{
    const QFontMetricsF metrics(font);
    if (metrics.horizontalAdvance(strText) <= dRoom)
        return strText;
    const QString strCut = metrics.elidedText(strText, Qt::ElideRight, std::max(0.0, dRoom));
    return strCut.isEmpty() ? QString(QChar(0x2026)) : strCut;
}

} // namespace DisplayFont
