#ifndef CHARTCSV_H
#define CHARTCSV_H

#include <QString>
#include <QVector>

#include <atomic>
#include <functional>

class QIODevice;

// A chart's points as CSV, free of widgets so that the export's worker
// thread, the tests and the benchmark share it.
//
// One row per sample: the x value, then each series' value (a band's centre
// and half-height in two columns), after a header line of the names. Series
// that have no sample at a row's x leave their fields empty. Numbers are
// written as printf's "%.17g" in the C locale whatever the user's locale
// (the file reads back to the same doubles); infinities as "inf" and "-inf",
// any NaN as "nan".
namespace ChartCsv {

struct Point
{
    double dX = 0.0;
    double dY = 0.0; // value; for a band, its half-height
    double dZ = 0.0; // centre of a band
};

struct Series
{
    QString strName;
    bool bBand = false;
    QVector<Point> points; // as recorded, oldest first
};

struct Table
{
    QString strXName;
    QVector<Series> series;
    // Only samples with dXMin <= x <= dXMax are written, unless bAll.
    bool bAll = true;
    double dXMin = 0.0;
    double dXMax = 0.0;
};

// The header line, without its line end. Names holding a comma, a quote or
// a line break are quoted.
QString Header(const Table& table);

// Writes one field; returns its length. pBuffer holds at least 32 bytes.
int FormatNumber(double dValue, char* pBuffer);

// Counts the points to visit (the total that progress is measured against).
qint64 PointCount(const Table& table);

// Writes the header and the rows to device in blocks. After each block
// fnProgress gets the points visited so far and the total; it returns false
// to stop. Returns false when stopped or when the device refused a write.
bool Write(const Table& table, QIODevice& device, const std::function<bool(qint64, qint64)>& fnProgress);

enum class Result
{
    Written,
    Cancelled,
    Failed
};

// Writes strPath whole or not at all (a temporary file beside it replaces it
// only when complete). Checks bCancel between blocks and stores the points
// visited so far in nDone. On failure, *pstrError says why. A cancelled or
// failed export leaves no file behind and an older strPath as it was.
Result Save(const Table& table, const QString& strPath, const std::atomic<bool>& bCancel,
            std::atomic<qint64>& nDone, QString* pstrError);

} // namespace ChartCsv

// Three doubles: QVector may move points with memcpy when it grows.
Q_DECLARE_TYPEINFO(ChartCsv::Point, Q_PRIMITIVE_TYPE);

#endif // CHARTCSV_H
