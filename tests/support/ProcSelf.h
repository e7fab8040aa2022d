// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the process holds, read from /proc/self: open descriptors, threads,
// CPU time.

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <string>
#include <unistd.h>

namespace procself {

inline QStringList entries(const char *dir)
{
    return QDir(QString::fromLatin1(dir)).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
}

inline int fdCount() { return int(entries("/proc/self/fd").size()); }
inline int threadCount() { return int(entries("/proc/self/task").size()); }

// Descriptors of this process open on `path` (a closed pty still shows its
// old name, with " (deleted)" once the node is gone).
inline int fdsOpenOn(const std::string &path)
{
    int n = 0;
    for (const QString &fd : entries("/proc/self/fd")) {
        char target[4096];
        const std::string link = "/proc/self/fd/" + fd.toStdString();
        const ssize_t len = readlink(link.c_str(), target, sizeof target - 1);
        if (len <= 0)
            continue;
        const std::string t(target, std::size_t(len));
        if (t == path || t.rfind(path + " ", 0) == 0)
            ++n;
    }
    return n;
}

// User plus system time of the whole process, in seconds.
inline double cpuSeconds()
{
    QFile f(QStringLiteral("/proc/self/stat"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    // The command name may hold spaces and parentheses: fields start after
    // the last ')'. utime and stime are fields 14 and 15 (12 and 13 here).
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = double(fields[11].toLongLong() + fields[12].toLongLong());
    return ticks / double(sysconf(_SC_CLK_TCK));
}

} // namespace procself
