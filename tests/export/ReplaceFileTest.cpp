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

#include <csignal>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace export_test;

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

// Writes past 64 KiB fail, as on a full disk; in a child, which keeps the limit.
void replaceUnderALimit(const QString &folder)
{
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64 * 1024, 64 * 1024};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        _exit(3);
    for (const Writer &w : kWriters) {
        const QString target = folder + "/old";
        if (w.write(target).ok || readAll(target) != "an older file" || filesIn(folder) != QStringList{"old"}) {
            fprintf(stderr, "%s: lost the old file or claimed success\n", w.name);
            _exit(1);
        }
    }
    fprintf(stderr, "every old file kept\n");
    _exit(0);
}

TEST(ReplaceFile, AFailedExportKeepsTheOldFile)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.filePath("old"), "an older file"));
    EXPECT_EXIT(replaceUnderALimit(dir.path()), ::testing::ExitedWithCode(0), "every old file kept");
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
