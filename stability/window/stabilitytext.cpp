#include "stabilitytext.h"

#include <cmath>

using Stability::Kind;

namespace StabilityText {

namespace {
// Every field of the CSV: exact when read back, empty when not finite.
QString Exact(double d)
{
    return std::isfinite(d) ? QString::number(d, 'g', 17) : QString();
}

QString Deviation(double d)
{
    return std::isfinite(d) ? QString::number(d, 'e', 3) : QString();
}

} // namespace

const QVector<Kind>& OfferedKinds()
{
    static const QVector<Kind> kinds = {Kind::Oadev, Kind::Mdev,   Kind::Tdev,
                                        Kind::Hdev,  Kind::Totdev, Kind::Mtie};
    return kinds;
}

QString KindTitle(Kind kind)
{
    return QString::fromLatin1(Stability::KindTitle(kind));
}

QString ValueAxisTitle(Kind kind)
{
    return Stability::InSeconds(kind) ? QStringLiteral("x (s)") : QStringLiteral("\u03C3(\u03C4)");
}

QString TauAxisTitle()
{
    return QStringLiteral("\u03C4 (s)");
}

QStringList TableHeaders(Kind kind)
{
    QStringList headers = {QStringLiteral("AF"), QStringLiteral("\u03C4 (s)"), QStringLiteral("N")};
    if (!Stability::HasBounds(kind))
        return headers << StabilityText::KindTitle(kind) + QStringLiteral(" (s)");
    const QString strSigma = kind == Kind::Tdev ? QStringLiteral("\u03C3x (s)") : QStringLiteral("\u03C3");
    return headers << QStringLiteral("Noise") << QStringLiteral("min ") + strSigma << strSigma
                   << QStringLiteral("max ") + strSigma;
}

QStringList TableCells(Kind kind, const Stability::Row& row)
{
    QStringList cells = {QString::number(row.nFactor), QString::number(row.dTau, 'g', 6),
                         QString::number(row.nTerms)};
    if (!Stability::HasBounds(kind))
        return cells << Deviation(row.dValue);
    return cells << QString::fromLatin1(Stability::NoiseAbbreviation(row.nAlpha)) << Deviation(row.dMin)
                 << Deviation(row.dValue) << Deviation(row.dMax);
}

QString Csv(Kind kind, const std::vector<Stability::Row>& rows)
{
    const QString strName = QString::fromLatin1(Stability::KindName(kind));
    const bool bBounds = Stability::HasBounds(kind);
    QString strCsv = QStringLiteral("af,tau_s,n,");
    if (bBounds)
        strCsv += QStringLiteral("noise,edf,%1_min,%1,%1_max\n").arg(strName);
    else
        strCsv += strName + QStringLiteral("_s\n");
    for (const Stability::Row& row : rows) {
        QStringList fields = {QString::number(row.nFactor), Exact(row.dTau), QString::number(row.nTerms)};
        if (bBounds)
            fields << QString::fromLatin1(Stability::NoiseAbbreviation(row.nAlpha)) << Exact(row.dEdf)
                   << Exact(row.dMin) << Exact(row.dValue) << Exact(row.dMax);
        else
            fields << Exact(row.dValue);
        strCsv += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return strCsv;
}

QString Duration(double dSeconds)
{
    if (!std::isfinite(dSeconds) || dSeconds < 0.0)
        return QString();
    if (dSeconds < 9.95)
        return QString::number(dSeconds, 'f', 1) + QStringLiteral(" s");
    // Past 2^53 s nothing is exact any more; 1e15 s is 31 million years.
    const qint64 n = qint64(std::round(std::min(dSeconds, 1e15)));
    const auto two = [](qint64 v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    if (n < 60)
        return QStringLiteral("%1 s").arg(n);
    if (n < 3600)
        return QStringLiteral("%1 min %2 s").arg(n / 60).arg(two(n % 60));
    if (n < 86400)
        return QStringLiteral("%1 h %2 min").arg(n / 3600).arg(two(n / 60 % 60));
    return QStringLiteral("%1 d %2 h").arg(n / 86400).arg(two(n / 3600 % 24));
}

QString Status(std::size_t nPoints, double dTau0, const QDateTime& computed, bool bComputing)
{
    const QString strDot = QStringLiteral(" \u00B7 ");
    QString strStatus = QStringLiteral("%1 points").arg(qulonglong(nPoints));
    if (dTau0 > 0.0 && std::isfinite(dTau0) && nPoints >= 2) {
        strStatus += strDot + QStringLiteral("\u03C40 %1 s").arg(QString::number(dTau0, 'g', 4));
        strStatus += strDot + QStringLiteral("run ") + Duration(double(nPoints - 1) * dTau0);
    }
    if (computed.isValid())
        strStatus += strDot + QStringLiteral("computed ") + computed.toString(QStringLiteral("HH:mm:ss"));
    if (bComputing)
        strStatus += strDot + QStringLiteral("computing\u2026");
    return strStatus;
}

QString Collecting(std::size_t nPoints)
{
    return QStringLiteral("Collecting data: %1 of at least 3 points").arg(qulonglong(nPoints));
}

} // namespace StabilityText
