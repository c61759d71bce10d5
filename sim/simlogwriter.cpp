#include "simlogwriter.h"

#include <QFileInfo>

int8_t CSimLogWriter::Start(const QString& strFileName, const QByteArray& header)
{
    if (m_File.isOpen())
        return RESULT_ALREADY_OPEN;
    // Only a regular file: opening a pipe would block the service until
    // someone reads it, and a device is no log.
    if (strFileName.isEmpty() || (QFileInfo::exists(strFileName) && !QFileInfo(strFileName).isFile()))
        return RESULT_CANNOT_OPEN;
    m_File.setFileName(strFileName);
    if (!m_File.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return RESULT_CANNOT_OPEN;
    if (!header.isEmpty())
        Write(header);
    return RESULT_OK;
}

int8_t CSimLogWriter::Stop()
{
    if (!m_File.isOpen())
        return RESULT_NOT_OPEN;
    m_File.close();
    return RESULT_OK;
}

void CSimLogWriter::Write(const QByteArray& bytes)
{
    if (!m_File.isOpen())
        return;
    m_File.write(bytes);
    m_File.flush();
}

QByteArray CSimLogWriter::StatusCsvHeader()
{
    return "UTC,TimeDiff,EstTimeError,ControlValue,FitSlope,FitIntercept,StdDev,Samples,AuxFlag,"
           "Fit2Slope,Fit2Intercept,StdDev2,Samples2,LoopState\r\n";
}

QByteArray CSimLogWriter::StatusCsvRow(const QDateTime& utc, const BRFN::CMD_DATA_CONTROL_LOOP_STATUS& s)
{
    // Seventeen significant digits give back the exact double.
    auto d = [](double v) { return QByteArray::number(v, 'g', 17); };
    return utc.toUTC().toString(Qt::ISODateWithMs).toLatin1() + "," + d(s.dTimeDiff) + "," +
           d(s.dEstTimeError) + "," + d(s.dControlValue) + "," + d(s.dFitSlope) + "," + d(s.dFitIntercept) +
           "," + d(s.dStdDev) + "," + QByteArray::number(s.nSamples) + "," + QByteArray::number(s.nAuxFlag) +
           "," + d(s.dFit2Slope) + "," + d(s.dFit2Intercept) + "," + d(s.dStdDev2) + "," +
           QByteArray::number(s.nSamples2) + "," + QByteArray::number(s.nLoopState) + "\r\n";
}
