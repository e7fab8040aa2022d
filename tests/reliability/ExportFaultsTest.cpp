// SPDX-License-Identifier: GPL-3.0-or-later
// The File commands against paths that cannot take the file, swept in one
// place, idle and while recording: each says what went wrong in an "error"
// box and in the status pane, claims no success, and leaves the list, the
// buttons and the run as they were.
#include "CommandIds.h"
#include "Files.h"
#include "WindowFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace {

QString sysText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

struct Fault {
    const char *name;
    int command;
    QString answer; // what the save dialog returns
    QString reason; // what the message must say about it
};

struct ExportFaults : WindowFixture {
    QTemporaryDir dir;

    QString at(const QString &name) { return dir.filePath(name); }

    void SetUp() override
    {
        WindowFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        // A regular file where a folder should be.
        QFile plain(at(QStringLiteral("plain")));
        ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
        // Names that lead to the full device (the window appends ".txt"
        // and ".xls" itself).
        for (const char *name : {"full.txt", "full.xls", "full.bmp"})
            ASSERT_EQ(symlink("/dev/full", at(QString::fromLatin1(name)).toLocal8Bit().constData()), 0);
        // Folders under the names the files would take.
        for (const char *name : {"folder.txt", "folder.xls", "folder.bmp"})
            ASSERT_EQ(mkdir(at(QString::fromLatin1(name)).toLocal8Bit().constData(), 0755), 0);
    }

    std::vector<Fault> faults()
    {
        const QString notADirectory = sysText(ENOTDIR);
        const QString isADirectory = sysText(EISDIR);
        const QString full = sysText(ENOSPC);
        // sysfs takes no new file, not even from root.
        const QString denied = sysText(EACCES);
        return {
            {"text, unwritable folder", command_id::saveText, QStringLiteral("/sys/breezon-export"), denied},
            {"sheet, unwritable folder", command_id::saveExcel, QStringLiteral("/sys/breezon-export"), denied},
            {"graph, unwritable folder", command_id::exportGraph, QStringLiteral("/sys/breezon-export.bmp"), denied},
            {"text, folder is a file", command_id::saveText, at(QStringLiteral("plain/data")), notADirectory},
            {"sheet, folder is a file", command_id::saveExcel, at(QStringLiteral("plain/data")), notADirectory},
            {"graph, folder is a file", command_id::exportGraph, at(QStringLiteral("plain/data.bmp")), notADirectory},
            {"text, full device", command_id::saveText, at(QStringLiteral("full")), full},
            {"sheet, full device", command_id::saveExcel, at(QStringLiteral("full")),
             QStringLiteral("not a regular file")},
            {"graph, full device", command_id::exportGraph, at(QStringLiteral("full.bmp")), full},
            {"text, name is a folder", command_id::saveText, at(QStringLiteral("folder")), isADirectory},
            {"sheet, name is a folder", command_id::saveExcel, at(QStringLiteral("folder")), isADirectory},
            {"graph, name is a folder", command_id::exportGraph, at(QStringLiteral("folder.bmp")), isADirectory},
        };
    }

    static QString what(int command)
    {
        return command == command_id::saveText ? QStringLiteral("text file")
               : command == command_id::saveExcel ? QStringLiteral("spreadsheet")
                                                  : QStringLiteral("graph");
    }

    // Runs every fault; the run is as `recording` says before and after.
    void sweep(bool recording)
    {
        for (const Fault &f : faults()) {
            SCOPED_TRACE(f.name);
            ASSERT_EQ(wave().isRunning(), recording);
            const QStringList before = rows();
            const std::vector<SampleFrame> framesBefore = storedFrames();
            ASSERT_FALSE(before.isEmpty());
            dialogs.messages.clear();
            dialogs.paths.push_back(f.answer);
            app->onCommand(f.command);

            ASSERT_EQ(dialogs.messages.size(), 1u) << dialogs.texts().join(',').toStdString();
            const RecordedMessage &m = dialogs.messages[0];
            EXPECT_EQ(m.caption, QStringLiteral("error"));
            EXPECT_TRUE(m.text.contains(QStringLiteral("was not saved to"))) << m.text.toStdString();
            EXPECT_TRUE(m.text.contains(what(f.command))) << m.text.toStdString();
            EXPECT_TRUE(m.text.contains(f.reason)) << m.text.toStdString();
            EXPECT_EQ(status(), m.text);

            // Nothing the user had is gone, and the controls are back.
            if (recording) {
                EXPECT_TRUE(keptAsPrefix(before, rows()));
                EXPECT_TRUE(keptAsPrefix(framesBefore, storedFrames()));
                EXPECT_EQ(caption(), QStringLiteral("STOP"));
                EXPECT_FALSE(portBox()->isEnabled());
            } else {
                EXPECT_EQ(rows(), before);
                EXPECT_TRUE(idle());
            }
            EXPECT_EQ(wave().isRunning(), recording);
            EXPECT_TRUE(button(control_id::startStop)->isEnabled());
            EXPECT_TRUE(button(control_id::reset)->isEnabled());
            EXPECT_EQ(wave().resumeAfterExport, 0u);
        }
    }
};

TEST_F(ExportFaults, EachFaultIsReportedAndTheListKeptWhileIdle)
{
    pressStartStop();
    ASSERT_TRUE(waitForRows(3));
    pressStartStop();
    sweep(false);
}

TEST_F(ExportFaults, EachFaultIsReportedAndTheRunResumedWhileRecording)
{
    pressStartStop();
    ASSERT_TRUE(waitForRows(2));
    sweep(true);
    // The run still records.
    const int n = list().itemCount();
    EXPECT_TRUE(waitForRows(n + 1));
    pressStartStop();
}

// A name outside ASCII is no fault: each file lands under exactly that name.
TEST_F(ExportFaults, NonAsciiNamesAreSavedUnderTheirOwnName)
{
    pressStartStop();
    ASSERT_TRUE(waitForRows(2));
    const QString name = QStringLiteral(u"Messung-Ø-温度-ünd ½");
    const struct {
        int command;
        QString answer;
        QString file;
        QString success;
    } cases[] = {
        {command_id::saveText, at(name), name + QStringLiteral(".txt"), QStringLiteral("save txt file successfully")},
        {command_id::saveExcel, at(name), name + QStringLiteral(".xls"),
         QStringLiteral("save excel file successfully")},
        {command_id::exportGraph, at(name + QStringLiteral(".bmp")), name + QStringLiteral(".bmp"), QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        const int rowsAtExport = list().itemCount();
        dialogs.paths.push_back(c.answer);
        app->onCommand(c.command);
        EXPECT_TRUE(dialogs.messages.empty()) << dialogs.texts().join(',').toStdString();
        if (!c.success.isEmpty()) {
            EXPECT_EQ(status(), c.success);
        }
        EXPECT_TRUE(wave().isRunning());
        const QFileInfo saved(at(c.file));
        EXPECT_TRUE(saved.isFile());
        if (c.command == command_id::saveText)
            EXPECT_EQ(saved.size(), qint64(rowsAtExport) * 87 * 2);
        else
            EXPECT_GT(saved.size(), 54);
    }
    pressStartStop();

    // On disk the names are the UTF-8 bytes of what the user chose, and
    // nothing else was left in the folder (no temporary file).
    QStringList onDisk;
    DIR *d = opendir(dir.path().toLocal8Bit().constData());
    ASSERT_NE(d, nullptr);
    while (dirent *e = readdir(d)) {
        const QByteArray raw(e->d_name);
        if (raw != "." && raw != ".." && !raw.startsWith("full.") && !raw.startsWith("folder.") && raw != "plain")
            onDisk << QString::fromUtf8(raw);
    }
    closedir(d);
    onDisk.sort();
    QStringList expected;
    for (const auto &c : cases)
        expected << c.file;
    expected.sort();
    EXPECT_EQ(onDisk, expected);
}

} // namespace
