// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Files as tests read and prepare them, and a disk that fills up.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

// The whole file, or nothing when it cannot be read.
inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// All that was written to `f`, from its start.
inline QByteArray readStream(std::FILE *f)
{
    std::fflush(f);
    std::rewind(f);
    QByteArray out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, qsizetype(n));
    return out;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Files in `dir` (hidden ones too), to see that no temporary is left behind.
inline QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A disk that fills up: in a child process (which keeps the limit) every
// write past `bytes` fails, as on a full disk, after a short write up to the
// limit. `check` runs there and returns what went wrong, or nothing.
inline void expectUnderFileSizeLimit(rlim_t bytes, const std::function<std::string()> &check)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto child = [&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, bytes};
        const std::string wrong = setrlimit(RLIMIT_FSIZE, &limit) == 0 ? check() : "no file-size limit";
        std::fprintf(stderr, "%s\n", wrong.empty() ? "failed as it should" : wrong.c_str());
        _exit(wrong.empty() ? 0 : 1);
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "failed as it should");
}
