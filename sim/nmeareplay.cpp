#include "nmeareplay.h"

#include <QFile>

bool CNmeaReplay::Load(const QString& strFileName, QString* pError)
{
    QFile file(strFileName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (pError)
            *pError = QString("cannot open %1: %2").arg(strFileName, file.errorString());
        return false;
    }
    if (file.size() > MAX_FILE_SIZE) {
        if (pError)
            *pError = QString("%1 is larger than %2 bytes").arg(strFileName).arg(qint64(MAX_FILE_SIZE));
        return false;
    }
    LoadBytes(file.readAll());
    if (IsEmpty()) {
        if (pError)
            *pError = QString("%1 holds no NMEA sentence").arg(strFileName);
        return false;
    }
    return true;
}

void CNmeaReplay::LoadBytes(const QByteArray& text)
{
    m_Epochs.clear();
    m_nNext = 0;
    m_nPass = 1;
    CNmeaEpochAssembler assembler;
    NMEA_EPOCH epoch;
    for (const QByteArray& line : text.split('\n')) {
        if (assembler.AddLine(line, epoch))
            m_Epochs.append(epoch);
    }
    if (assembler.Flush(epoch))
        m_Epochs.append(epoch);
    m_Counters = assembler.Counters();
}

const NMEA_EPOCH& CNmeaReplay::Next(bool* pbRestarted)
{
    if (pbRestarted)
        *pbRestarted = false;
    if (m_nNext >= m_Epochs.size()) {
        m_nNext = 0;
        ++m_nPass;
        if (pbRestarted)
            *pbRestarted = true;
    }
    return m_Epochs.at(m_nNext++);
}
