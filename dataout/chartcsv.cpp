#include "chartcsv.h"

#include <QIODevice>
#include <QSaveFile>

#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

namespace ChartCsv {

namespace {
// Rows between progress reports and the bytes gathered before a write.
const int kRowsPerBlock = 64 * 1024;
const int kWriteSize = 1024 * 1024;
const int kMaxField = 32;

QString CsvField(const QString& strText)
{
    if (!strText.contains(QLatin1Char(',')) && !strText.contains(QLatin1Char('"')) &&
        !strText.contains(QLatin1Char('\n')) && !strText.contains(QLatin1Char('\r')))
        return strText;
    QString strQuoted = strText;
    strQuoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + strQuoted + QLatin1Char('"');
}

bool Included(const Table& table, double dX)
{
    return table.bAll || (dX >= table.dXMin && dX <= table.dXMax);
}
} // namespace

QString Header(const Table& table)
{
    QStringList fields{CsvField(table.strXName)};
    for (const Series& series : table.series) {
        if (series.bBand) {
            fields << CsvField(series.strName + QStringLiteral(" centre"))
                   << CsvField(series.strName + QStringLiteral(" half-height"));
        } else {
            fields << CsvField(series.strName);
        }
    }
    return fields.join(QLatin1Char(','));
}

int FormatNumber(double dValue, char* pBuffer)
{
    if (std::isnan(dValue)) {
        std::memcpy(pBuffer, "nan", 3);
        return 3;
    }
    if (std::isinf(dValue)) {
        std::memcpy(pBuffer, dValue < 0 ? "-inf" : "inf", dValue < 0 ? 4 : 3);
        return dValue < 0 ? 4 : 3;
    }
    // As printf's "%.17g" in the C locale, without its locale lookups.
    const std::to_chars_result result =
        std::to_chars(pBuffer, pBuffer + kMaxField, dValue, std::chars_format::general, 17);
    return int(result.ptr - pBuffer);
}

qint64 PointCount(const Table& table)
{
    qint64 nCount = 0;
    for (const Series& series : table.series)
        nCount += series.points.size();
    return nCount;
}

bool Write(const Table& table, QIODevice& device, const std::function<bool(qint64, qint64)>& fnProgress)
{
    const QByteArray header = Header(table).toUtf8() + '\n';
    if (device.write(header) != header.size())
        return false;

    const int nSeries = table.series.size();
    int nFields = 1;
    for (const Series& series : table.series)
        nFields += series.bBand ? 2 : 1;
    const int nRowMax = nFields * (kMaxField + 1) + 1;
    std::vector<char> buffer(std::size_t(kWriteSize + nRowMax));
    char* const pStart = buffer.data();
    char* p = pStart;

    std::vector<int> next(std::size_t(nSeries), 0);
    const qint64 nTotal = PointCount(table);
    qint64 nVisited = 0;
    int nRowsInBlock = 0;
    for (;;) {
        // Each series' next included point; the row's x is the smallest of
        // them. The series whose point sets x is always written (a NaN x is
        // equal to nothing), so every row takes at least one point.
        int nPick = -1;
        double dX = 0.0;
        for (int k = 0; k < nSeries; ++k) {
            const QVector<Point>& points = table.series[k].points;
            int& i = next[std::size_t(k)];
            while (i < points.size() && !Included(table, points[i].dX)) {
                ++i;
                ++nVisited;
            }
            if (i < points.size() && (nPick < 0 || points[i].dX < dX)) {
                nPick = k;
                dX = points[i].dX;
            }
        }
        if (nPick < 0)
            break;

        p += FormatNumber(dX, p);
        for (int k = 0; k < nSeries; ++k) {
            const Series& series = table.series[k];
            int& i = next[std::size_t(k)];
            const bool bHere = i < series.points.size() && (k == nPick || series.points[i].dX == dX);
            *p++ = ',';
            if (bHere) {
                const Point& point = series.points[i];
                if (series.bBand) {
                    p += FormatNumber(point.dZ, p);
                    *p++ = ',';
                }
                p += FormatNumber(point.dY, p);
                ++i;
                ++nVisited;
            } else if (series.bBand) {
                *p++ = ',';
            }
        }
        *p++ = '\n';

        if (p - pStart >= kWriteSize) {
            if (device.write(pStart, p - pStart) != p - pStart)
                return false;
            p = pStart;
        }
        if (++nRowsInBlock == kRowsPerBlock) {
            nRowsInBlock = 0;
            if (fnProgress && !fnProgress(nVisited, nTotal))
                return false;
        }
    }
    if (p != pStart && device.write(pStart, p - pStart) != p - pStart)
        return false;
    return !fnProgress || fnProgress(nTotal, nTotal);
}

Result Save(const Table& table, const QString& strPath, const std::atomic<bool>& bCancel,
            std::atomic<qint64>& nDone, QString* pstrError)
{
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly)) {
        if (pstrError)
            *pstrError = file.errorString();
        return Result::Failed;
    }
    const bool bWritten = Write(table, file, [&](qint64 nVisited, qint64) {
        nDone.store(nVisited, std::memory_order_relaxed);
        return !bCancel.load(std::memory_order_relaxed);
    });
    if (!bWritten) {
        const bool bFailed = file.error() != QFileDevice::NoError;
        if (pstrError)
            *pstrError = bFailed ? file.errorString() : QString();
        file.cancelWriting();
        return bFailed ? Result::Failed : Result::Cancelled;
    }
    if (!file.commit()) {
        if (pstrError)
            *pstrError = file.errorString();
        return Result::Failed;
    }
    return Result::Written;
}

} // namespace ChartCsv
