// SPDX-License-Identifier: GPL-3.0-or-later
// The window keeps every run in a recording file and reopens one: rows,
// recorded times, frames, pages and exports as the live run had them.
#include "CommandIds.h"
#include "Files.h"
#include "InstrumentName.h"
#include "RecordingFileReader.h"
#include "RecordingFileWriter.h"
#include "SmallDisk.h"
#include "TextExport.h"
#include "WindowFixture.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

struct Snapshot {
    QStringList cells;
    std::vector<Timestamp> times;
    std::vector<SampleFrame> frames;
    PageState pages;
};

// Each window keeps its runs in `folder`.
struct WindowJournal : WindowFixture {
    QTemporaryDir folder;

    void SetUp() override
    {
        WindowFixture::SetUp();
        app->frame().journal().setFolder(folder.path());
    }
    void newWindow()
    {
        WindowFixture::newWindow();
        app->frame().journal().setFolder(folder.path());
    }
    QStringList journalFiles() { return QDir(folder.path()).entryList({QStringLiteral("*.breezon")}); }

    void recordUntil(int rows)
    {
        wave().startStop();
        ASSERT_TRUE(wave().isRunning());
        ASSERT_TRUE(QTest::qWaitFor([&] { return list().itemCount() >= rows; }, 15000));
        wave().startStop();
    }
    // The cells stand for the Save TXT file, made of them alone.
    Snapshot snapshot()
    {
        Snapshot s;
        s.cells = rows();
        for (int r = 0; r < list().itemCount(); ++r)
            s.times.push_back(list().model().timestamp(r));
        s.frames = storedFrames();
        s.pages = wave().pages();
        return s;
    }
    // Rows in `path` within `ms`: the journal writes in the background.
    bool fileHolds(const QString &path, int rows, int ms = 3000)
    {
        return QTest::qWaitFor([&] {
            RecordingFileReader reader;
            return reader.open(path).ok && reader.rowCount() == rows;
        }, ms);
    }
};

TEST_F(WindowJournal, ARunIsKeptAndReopensAsItWas)
{
    recordUntil(2);
    recordUntil(4); // STOP and START go on in the same recording
    const Snapshot live = snapshot();
    ASSERT_EQ(journalFiles().size(), 1);
    const QString file = folder.filePath(journalFiles().first());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d\\.breezon$"))
                    .match(journalFiles().first())
                    .hasMatch());
    ASSERT_TRUE(fileHolds(file, list().itemCount()));
    // The journaled recording heads the File menu's recent files.
    EXPECT_EQ(app->recentFiles().value(0), file);

    newWindow();
    dialogs.paths = {file};
    app->onCommand(command_id::fileOpen);
    ASSERT_EQ(dialogs.openDialogs.size(), 1u);
    EXPECT_EQ(dialogs.openDialogs[0].filter, QStringLiteral("Breezon recording (*.breezon)"));
    EXPECT_EQ(dialogs.openDialogs[0].folder, folder.path());
    const Snapshot reopened = snapshot();
    EXPECT_EQ(reopened.cells, live.cells);
    EXPECT_EQ(reopened.times, live.times);
    EXPECT_EQ(reopened.frames, live.frames);
    EXPECT_EQ(reopened.pages.pageCount, live.pages.pageCount);
    EXPECT_EQ(reopened.pages.currentPage, live.pages.currentPage);
    EXPECT_TRUE(dialogs.messages.empty());
    // The recorder makes the window's own rows of its recording: the text
    // file it makes is the one Save TXT makes.
    const QString converted = folder.filePath(QStringLiteral("converted.txt"));
    const QString saved = folder.filePath(QStringLiteral("saved.txt"));
    EXPECT_EQ(QProcess::execute(QStringLiteral(BREEZON_RECORD_PATH), {"--from", file, "--txt", converted}), 0);
    ASSERT_TRUE(writeTextFile(saved, list().model()).ok);
    QFile a(converted), b(saved);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
    // Its rows keep the instrument the window recorded, named by its port.
    QProcess json;
    json.start(QStringLiteral(BREEZON_RECORD_PATH), {"--from", file, "--stdout", "jsonl"});
    ASSERT_TRUE(json.waitForFinished(10000));
    EXPECT_TRUE(json.readAllStandardOutput().contains(
        "\"instrument\":\"" + defaultInstrumentName(QSysInfo::machineHostName(), link.qpath()).toUtf8() + '"'));

    // START goes on in the reopened recording and its file.
    recordUntil(list().itemCount() + 2);
    EXPECT_TRUE(fileHolds(file, list().itemCount()));
    EXPECT_EQ(journalFiles().size(), 1);

    // Dropped on a window, the file opens there too.
    const int rows = list().itemCount();
    newWindow();
    QMimeData urls;
    urls.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &urls, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&app->frame(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &urls, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&app->frame(), &drop);
    EXPECT_EQ(list().itemCount(), rows);

    // RESET begins a new recording, in a file of its own.
    wave().resetRecording();
    recordUntil(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return journalFiles().size() == 2; }, 3000));
}

TEST_F(WindowJournal, AFileThatIsNotARecordingIsRefusedAndTheRunOnShowKept)
{
    recordUntil(2);
    const Snapshot before = snapshot();
    const QString notOurs = folder.filePath(QStringLiteral("notes.txt"));
    ASSERT_TRUE(writeFile(notOurs, "first line\n"));
    wave().startStop();
    dialogs.paths = {notOurs};
    app->onCommand(command_id::fileOpen);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("cannot be opened"))) << dialogs.messages[0].text.toStdString();
    EXPECT_EQ(snapshot().cells, before.cells);
    // The run goes on, in its own file.
    EXPECT_TRUE(wave().isRunning());
    wave().startStop();
    recordUntil(list().itemCount() + 1);
    ASSERT_EQ(journalFiles().size(), 1);
    EXPECT_TRUE(fileHolds(folder.filePath(journalFiles().first()), list().itemCount()));
}

// A recording that another breezon writes, or that lies where it cannot be
// written, opens with its rows so far; START then goes on in a recording of
// its own, and says why.
TEST_F(WindowJournal, ARecordingThatCannotBeWrittenHereOpensAndIsLeftAsItIs)
{
    recordUntil(2);
    ASSERT_EQ(journalFiles().size(), 1);
    const QString file = folder.filePath(journalFiles().first());
    ASSERT_TRUE(fileHolds(file, 2));
    const QString shelf = folder.filePath(QStringLiteral("shelf"));
    ASSERT_TRUE(QDir().mkpath(shelf) && QFile::copy(file, shelf + QStringLiteral("/kept.breezon")));
    for (const QString &reason : {QStringLiteral("in use by another breezon"), QStringLiteral("read-only")}) {
        const bool held = reason.startsWith(QLatin1String("in use"));
        const QString opened = held ? file : shelf + QStringLiteral("/kept.breezon");
        newWindow(); // the last one's journal lets go of the file
        RecordingFileWriter other;
        std::string why;
        ASSERT_TRUE(!held || other.open(QFile::encodeName(file).toStdString(), &why)) << why;
        ReadOnlyView readOnly(shelf);
        if (!held && !readOnly.mounted)
            GTEST_SKIP() << "mounting is not permitted here";
        const int files = int(journalFiles().size());
        ASSERT_TRUE(app->openRecording(opened));
        EXPECT_EQ(list().itemCount(), 2);
        recordUntil(3);
        EXPECT_TRUE(app->frame().statusText().contains(reason)) << app->frame().statusText().toStdString();
        EXPECT_TRUE(QTest::qWaitFor([&] { return journalFiles().size() == files + 1; }, 3000)) << reason.toStdString();
        other.close();
        EXPECT_TRUE(fileHolds(opened, 2));
    }
}

// Closing the window while rows wait for a full disk asks what becomes of
// them, and does as answered: waits until they are written, writes them
// into another file, or drops them.
TEST_F(WindowJournal, ClosingWhileRowsWaitAsksWhatBecomesOfThem)
{
    const struct {
        int answer; // wait, save elsewhere, discard
        const char *name;
    } cases[] = {{0, "wait"}, {1, "elsewhere"}, {2, "discard"}};
    for (const auto &c : cases) {
        SmallDisk disk("256k");
        if (!disk.mounted)
            GTEST_SKIP() << "mounting a tmpfs is not permitted here";
        newWindow();
        const QString into = disk.path(QStringLiteral("journal"));
        app->frame().journal().setFolder(into);
        recordUntil(2);
        const QString filler = disk.fill();
        wave().startStop();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !app->frame().journal().unwritten().why.isEmpty(); }, 15000)) << c.name;
        const QString journal = into + QLatin1Char('/') + QDir(into).entryList({QStringLiteral("*.breezon")}).value(0);
        const QString elsewhere = folder.filePath(QString::fromLatin1(c.name) + QStringLiteral(".breezon"));
        dialogs.answers = {c.answer};
        dialogs.paths = {elsewhere};
        dialogs.questions.clear();
        app->frame().close();
        const std::int64_t written = RecordingFileReader::rowsIn(journal);
        const int listed = list().itemCount();
        ASSERT_EQ(dialogs.questions.size(), 1u) << c.name;
        EXPECT_TRUE(dialogs.questions[0].text.startsWith(QString::number(listed - written) + QStringLiteral(" rows")))
            << c.name << dialogs.questions[0].text.toStdString();
        if (c.answer == 0) {
            EXPECT_TRUE(app->frame().isVisible());
            QFile::remove(filler);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return !app->frame().isVisible(); }, 15000)) << c.name;
        const std::int64_t kept = RecordingFileReader::rowsIn(journal) + RecordingFileReader::rowsIn(elsewhere);
        EXPECT_EQ(kept, c.answer == 2 ? written : listed) << c.name;
    }
}

// The window killed is this test's own in a death test's process: it
// records into the folder it finds in the environment, and is killed once a
// reader sees three rows in its file.
TEST_F(WindowJournal, KillingTheWindowLosesNoRowItHadWritten)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char *const variable = "BREEZON_KILLED_WINDOW_FOLDER";
    if (!qEnvironmentVariableIsSet(variable))
        qputenv(variable, QFile::encodeName(folder.path()));
    const QString into = qEnvironmentVariable(variable);
    const auto rowsIn = [&] {
        const QStringList files = QDir(into).entryList({QStringLiteral("*.breezon")});
        RecordingFileReader reader;
        return files.size() == 1 && reader.open(into + QLatin1Char('/') + files[0]).ok ? reader.rowCount() : 0;
    };
    const auto recordUntilKilled = [&] {
        app->frame().journal().setFolder(into);
        wave().startStop();
        if (QTest::qWaitFor([&] { return rowsIn() >= 3; }, 20000))
            ::kill(::getpid(), SIGKILL);
    };
    EXPECT_EXIT(recordUntilKilled(), ::testing::KilledBySignal(SIGKILL), "");
    qunsetenv(variable);
    ASSERT_GE(rowsIn(), 3);
    ASSERT_TRUE(app->openRecording(folder.filePath(journalFiles().first())));
    EXPECT_EQ(list().itemCount(), rowsIn());
}

TEST_F(WindowJournal, AFolderThatCannotBeWrittenIsToldOnceAndRecordingGoesOn)
{
    QFile(folder.filePath(QStringLiteral("plain"))).open(QIODevice::WriteOnly);
    app->frame().journal().setFolder(folder.filePath(QStringLiteral("plain/recordings")));
    int told = 0;
    QObject::connect(&app->frame().journal(), &RunJournal::note, [&](const QString &) { ++told; });
    recordUntil(4);
    EXPECT_EQ(told, 1);
    EXPECT_TRUE(app->frame().statusText().contains(QStringLiteral("plain/recordings"))) << app->frame().statusText().toStdString();
    EXPECT_TRUE(dialogs.messages.empty());
}

} // namespace
