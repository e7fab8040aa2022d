// SPDX-License-Identifier: GPL-3.0-or-later
// Every export of the window replaces a file only when the new one is
// complete: a failure keeps the old file, and a kept file keeps its
// permissions and the link that names it.
#include "BmpFile.h"
#include "ExportTestSupport.h"
#include "PosixFile.h"
#include "SpreadsheetExport.h"
#include "TextExport.h"

#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace export_test;

// A sync the disk refuses (a failing disk, a full network share) while a
// test sets failSync; the system's own otherwise. This program's calls come
// here rather than to the C library.
static bool failSync = false;
extern "C" int fsync(int fd)
{
    if (failSync) {
        errno = EIO;
        return -1;
    }
    return int(::syscall(SYS_fsync, fd));
}

namespace {

struct Writer {
    const char *name;
    ExportResult (*write)(const QString &path);
};

ExportResult textFile(const QString &path)
{
    ReadingListModel m;
    fillRows(m, 3000);
    return writeTextFile(path, m);
}

ExportResult graph(const QString &path)
{
    const QByteArray pixels(400 * 300 * 4, '\x7f');
    return writeWholeFile(path, bmpFile(reinterpret_cast<const std::uint8_t *>(pixels.constData()), 400, 300, 1600));
}

ExportResult spreadsheet(const QString &path)
{
    ReadingListModel m;
    fillRows(m, 3000);
    return exportSpreadsheet(m, path, {});
}

const Writer kWriters[] = {{"Save TXT", textFile}, {"Export Graph", graph}, {"Save Excel", spreadsheet}};

// Writes past 64 KiB fail, as on a full disk; then the sync fails.
TEST(ReplaceFile, AFailedExportKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("old");
    ASSERT_TRUE(writeFile(target, "an older file"));
    expectUnderFileSizeLimit(64 * 1024, [&]() -> std::string {
        for (const Writer &w : kWriters)
            if (w.write(target).ok || readAll(target) != "an older file" || filesIn(dir.path()) != QStringList{"old"})
                return std::string(w.name) + ": lost the old file or claimed success";
        return {};
    });
    // A sync that fails: the new file takes the name only once it is on the disk.
    failSync = true;
    for (const Writer &w : kWriters)
        EXPECT_TRUE(!w.write(target).ok && readAll(target) == "an older file" && filesIn(dir.path()) == QStringList{"old"})
            << w.name;
    failSync = false;
}

TEST(ReplaceFile, KeepsPermissionsAndWritesThroughALink)
{
    for (const Writer &w : kWriters) {
        QTemporaryDir dir;
        const QString real = dir.filePath("real"), link = dir.filePath("link");
        ASSERT_TRUE(writeFile(real, "an older file"));
        ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
        ASSERT_TRUE(QFile::link(real, link));
        const ExportResult r = w.write(link);
        ASSERT_TRUE(r.ok) << w.name << qPrintable(r.error);
        EXPECT_TRUE(QFileInfo(link).isSymLink()) << w.name;
        EXPECT_NE(readAll(real), "an older file") << w.name;
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u) << w.name;
        EXPECT_EQ(filesIn(dir.path()), (QStringList{"link", "real"})) << w.name;
    }
}

TEST(ReplaceFile, AFileAnotherBreezonIsWritingIsRefused)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("live.csv");
    ASSERT_TRUE(writeFile(target, "a recorder's rows\r\n"));
    // Held as the recorder holds it, from another open file.
    const int fd = posix_file::openForAppend(target);
    ASSERT_TRUE(posix_file::lockForThisProcess(fd));
    for (const Writer &w : kWriters) {
        const ExportResult r = w.write(target);
        EXPECT_FALSE(r.ok) << w.name;
        EXPECT_TRUE(r.error.contains(posix_file::inUseText())) << w.name << qPrintable(r.error);
    }
    ::close(fd);
    EXPECT_EQ(readAll(target), "a recorder's rows\r\n");
}

} // namespace
