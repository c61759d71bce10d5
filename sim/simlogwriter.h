#ifndef SIMLOGWRITER_H
#define SIMLOGWRITER_H

// One of the service's two data logs: a file that a start request names,
// written line by line until a stop request (or the end of the service).
//
// Result bytes sent back to the panel:
//   0 RESULT_OK           the file was opened (start) or closed (stop)
//   1 RESULT_CANNOT_OPEN  the name is empty, names something other than a
//                         regular file, or the file cannot be opened
//   2 RESULT_ALREADY_OPEN a start while the log is running; it keeps running
//   3 RESULT_NOT_OPEN     a stop while no log is running

#include "brfncodec.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

class CSimLogWriter
{
public:
    enum Result : int8_t
    {
        RESULT_OK = 0,
        RESULT_CANNOT_OPEN = 1,
        RESULT_ALREADY_OPEN = 2,
        RESULT_NOT_OPEN = 3
    };

    // Opens (and empties) the file and writes the header, if any.
    int8_t Start(const QString& strFileName, const QByteArray& header = QByteArray());
    int8_t Stop();
    bool IsOpen() const { return m_File.isOpen(); }
    // The name of the open file; empty while no log runs.
    QString FileName() const { return m_File.isOpen() ? m_File.fileName() : QString(); }
    // Appends and flushes, so the file is complete at any moment.
    void Write(const QByteArray& bytes);

    // The control-loop log as CSV: one row per status record.
    static QByteArray StatusCsvHeader();
    static QByteArray StatusCsvRow(const QDateTime& utc, const BRFN::CMD_DATA_CONTROL_LOOP_STATUS& s);

private:
    QFile m_File;
};

#endif // SIMLOGWRITER_H
