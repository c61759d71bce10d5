#ifndef TESTS_LINK_WIRE_H
#define TESTS_LINK_WIRE_H

// Packets built by hand, independently of the framing under test.

#include <QByteArray>

inline QByteArray frame(quint16 nCommand, const QByteArray& payload, quint16 nReserved = 0,
                        int nChecksumDelta = 0)
{
    QByteArray a;
    a.append(char(0x42)).append(char(0x52));
    a.append(char(nReserved >> 8)).append(char(nReserved & 0xFF));
    a.append(char(nCommand >> 8)).append(char(nCommand & 0xFF));
    a.append(char(payload.size() >> 8)).append(char(payload.size() & 0xFF));
    a.append(payload);
    unsigned sum = 0;
    for (int i = 2; i < a.size(); ++i)
        sum += uint8_t(a[i]);
    a.append(char((sum + nChecksumDelta) & 0xFF));
    return a;
}

#endif // TESTS_LINK_WIRE_H
