#ifndef BENCHUTIL_H
#define BENCHUTIL_H

#include <QByteArray>
#include <QFile>
#include <QList>

#include <cstdint>

// Resident memory of this process in bytes (0 where /proc is not readable).
inline int64_t ResidentBytes()
{
    QFile file(QStringLiteral("/proc/self/statm"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = file.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * 4096 : 0;
}

#endif // BENCHUTIL_H
