#pragma once

#include <QByteArray>
#include <QFile>

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"), or -1.
inline qint64 processStatusKiB(const QByteArray& field) {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Clears the peak of resident memory, so that VmHWM then tells the peak from here on.
inline void resetPeakMemory() {
    QFile clear("/proc/self/clear_refs");
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}
