#ifndef NMEAREPLAY_H
#define NMEAREPLAY_H

// A capture of a real receiver's NMEA output, cut into epochs once when it
// is loaded and then played back one epoch per service second, over and over.

#include "nmeaepoch.h"

#include <QString>
#include <QVector>

class CNmeaReplay
{
public:
    // Captures are a few hundred kilobytes; anything over this is refused.
    enum : qint64
    {
        MAX_FILE_SIZE = 64 * 1024 * 1024
    };

    bool Load(const QString& strFileName, QString* pError = nullptr);
    // Cuts text already in memory (lines end in LF or CR LF).
    void LoadBytes(const QByteArray& text);

    bool IsEmpty() const { return m_Epochs.isEmpty(); }
    int EpochCount() const { return m_Epochs.size(); }
    const NMEA_EPOCH& Epoch(int i) const { return m_Epochs.at(i); }
    // What the reader made of the file's lines.
    const NMEA_COUNTERS& Counters() const { return m_Counters; }

    // The next epoch in turn; after the last one the capture starts again
    // and *pbRestarted is set. Must not be called while IsEmpty().
    const NMEA_EPOCH& Next(bool* pbRestarted = nullptr);
    int Pass() const { return m_nPass; }

private:
    QVector<NMEA_EPOCH> m_Epochs;
    NMEA_COUNTERS m_Counters;
    int m_nNext = 0;
    int m_nPass = 1;
};

#endif // NMEAREPLAY_H
