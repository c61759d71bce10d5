#include "chartcsv.h"

#include <QIODevice>
#include <QSaveFile>
#include <QThread>

#include <charconv>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

namespace ChartCsv {

namespace {
// Rows written together (by one thread, then in one write).
const int kRowsPerBlock = 16 * 1024;
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

namespace {
// Where the merge of the series stands: each series' next point, and the
// points passed so far.
struct Cursor
{
    std::vector<int> next;
    qint64 nVisited = 0;
};

// Takes up to nRows rows from the cursor; with a buffer, writes them there
// (nRows times the longest row fits) and stores their length in *pnLength.
// Returns the rows taken: fewer than nRows at the end.
int TakeRows(const Table& table, Cursor& cursor, int nRows, char* pOut, qint64* pnLength)
{
    const int nSeries = table.series.size();
    char* p = pOut;
    int nTaken = 0;
    for (; nTaken < nRows; ++nTaken) {
        // Each series' next included point; the row's x is the smallest of
        // them. The series whose point sets x is always written (a NaN x is
        // equal to nothing), so every row takes at least one point.
        int nPick = -1;
        double dX = 0.0;
        for (int k = 0; k < nSeries; ++k) {
            const QVector<Point>& points = table.series[k].points;
            int& i = cursor.next[std::size_t(k)];
            while (i < points.size() && !Included(table, points[i].dX)) {
                ++i;
                ++cursor.nVisited;
            }
            if (i < points.size() && (nPick < 0 || points[i].dX < dX)) {
                nPick = k;
                dX = points[i].dX;
            }
        }
        if (nPick < 0)
            break;

        if (p)
            p += FormatNumber(dX, p);
        for (int k = 0; k < nSeries; ++k) {
            const Series& series = table.series[k];
            int& i = cursor.next[std::size_t(k)];
            const bool bHere = i < series.points.size() && (k == nPick || series.points[i].dX == dX);
            if (!p) {
                if (bHere) {
                    ++i;
                    ++cursor.nVisited;
                }
                continue;
            }
            *p++ = ',';
            if (bHere) {
                const Point& point = series.points[i];
                if (series.bBand) {
                    p += FormatNumber(point.dZ, p);
                    *p++ = ',';
                }
                p += FormatNumber(point.dY, p);
                ++i;
                ++cursor.nVisited;
            } else if (series.bBand) {
                *p++ = ',';
            }
        }
        if (p)
            *p++ = '\n';
    }
    if (pnLength)
        *pnLength = p - pOut;
    return nTaken;
}

// Blocks of rows being written by their threads into their buffers.
struct Batch
{
    std::vector<std::vector<char>> buffers;
    std::vector<qint64> lengths;
    std::vector<std::thread> threads;
    int nBlocks = 0;
    qint64 nVisited = 0; // points passed at the end of the batch

    void Join()
    {
        for (std::thread& thread : threads)
            thread.join();
        threads.clear();
    }
    ~Batch() { Join(); }
};
} // namespace

bool Write(const Table& table, QIODevice& device, const std::function<bool(qint64, qint64)>& fnProgress)
{
    const QByteArray header = Header(table).toUtf8() + '\n';
    if (device.write(header) != header.size())
        return false;

    int nFields = 1;
    for (const Series& series : table.series)
        nFields += series.bBand ? 2 : 1;
    const std::size_t nRowMax = std::size_t(nFields) * (kMaxField + 1) + 1;
    const qint64 nTotal = PointCount(table);

    // Writing numbers is most of the cost: the rows are written in batches
    // of blocks, one block per core, each by its own thread, while the
    // batch before is handed to the device. A quick pass of the merge alone
    // finds where each block starts.
    const int nBlocks = qBound(1, QThread::idealThreadCount(), 4);
    Batch batches[2];
    for (Batch& batch : batches) {
        batch.buffers.assign(std::size_t(nBlocks), std::vector<char>(std::size_t(kRowsPerBlock) * nRowMax));
        batch.lengths.assign(std::size_t(nBlocks), 0);
    }
    Cursor cursor;
    cursor.next.assign(std::size_t(table.series.size()), 0);
    auto launch = [&](Batch& batch) {
        batch.nBlocks = 0;
        for (int b = 0; b < nBlocks; ++b) {
            Cursor start = cursor;
            if (TakeRows(table, cursor, kRowsPerBlock, nullptr, nullptr) == 0)
                break;
            batch.threads.emplace_back([&table, &batch, b, start]() mutable {
                TakeRows(table, start, kRowsPerBlock, batch.buffers[std::size_t(b)].data(),
                         &batch.lengths[std::size_t(b)]);
            });
            ++batch.nBlocks;
        }
        batch.nVisited = cursor.nVisited;
    };
    int nCurrent = 0;
    launch(batches[0]);
    while (batches[nCurrent].nBlocks > 0) {
        Batch& batch = batches[nCurrent];
        batch.Join();
        launch(batches[1 - nCurrent]);
        for (std::size_t b = 0; b < std::size_t(batch.nBlocks); ++b)
            if (device.write(batch.buffers[b].data(), batch.lengths[b]) != batch.lengths[b])
                return false; // the batches join their threads as they go
        if (fnProgress && !fnProgress(batch.nVisited, nTotal))
            return false;
        nCurrent = 1 - nCurrent;
    }
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
