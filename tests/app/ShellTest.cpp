// SPDX-License-Identifier: GPL-3.0-or-later
// The application shell: the main window, its menus and status bar, the
// fixed splitter, the about box and help.
#include "CMainFrame.h"
#include "CSplitOverride.h"
#include "CbreezonApp.h"
#include "Clist.h"
#include "CommandIds.h"
#include "Cwave.h"
#include "RecentFiles.h"
#include "RecordingFileOutput.h"
#include "ScriptedDialogs.h"
#include "UserGuide.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <utility>

// Receives what QDesktopServices would give the desktop's browser.
class Browser : public QObject {
    Q_OBJECT
public:
    QList<QUrl> shown;
public slots:
    void show(const QUrl &url) { shown << url; }
};

namespace {

QList<PortEntry> noPorts() { return {}; }

// 930 x 580, or 800 wide when the primary screen is at most 800 pixels wide.
TEST(Shell, MainWindowIsFixedCentredAndTitled)
{
    for (const auto &[screenWidth, width] : {std::pair{800, 800}, std::pair{801, 930}}) {
        CbreezonApp app(noPorts(), screenWidth);
        app.show();
        CMainFrame &frame = app.frame();
        EXPECT_EQ(frame.windowTitle(), QStringLiteral("Breezon"));
        EXPECT_EQ(frame.size(), QSize(width, 580));
        EXPECT_EQ(frame.minimumSize(), frame.maximumSize());
        EXPECT_FALSE(frame.windowFlags() & Qt::WindowMaximizeButtonHint);
        // Centred on the (offscreen) primary screen.
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        EXPECT_LE(std::abs(frame.geometry().center().x() - screen.center().x()), 1);
        EXPECT_LE(std::abs(frame.geometry().center().y() - screen.center().y()), 1);
        // The panes keep the size they were built for: the left one half the width.
        EXPECT_EQ(frame.wave().width(), width / 2);
        EXPECT_EQ(frame.wave().size(), frame.wave().clientSize());
        EXPECT_GT(frame.list().width(), 350);
    }
}

TEST(Shell, StoreIsZeroedAndOwnedByTheFrame)
{
    CbreezonApp app(noPorts(), 1920);
    SampleStore &store = app.frame().store();
    EXPECT_EQ(store.length(), 0u);
    for (std::uint32_t slot : {0u, 1u, SampleStore::kSlots / 2, SampleStore::kSlots - 1})
        for (std::uint8_t b : store.slot(slot).bytes)
            ASSERT_EQ(b, 0);
}

// Every pane sits in a sunken border (dark above, light below); an
// indicator that is off shows no text, one that is on shows its name.
TEST(Shell, StatusBarHasReadyAndThreeIndicators)
{
    CbreezonApp app(noPorts(), 1920);
    app.show();
    QStatusBar *bar = app.frame().statusBar();
    EXPECT_EQ(bar->objectName(), QStringLiteral("59393"));
    EXPECT_EQ(app.frame().statusText(), QStringLiteral("Ready"));
    for (const char *name : {"pane0", "CAP", "NUM", "SCRL"}) {
        auto *pane = bar->findChild<QLabel *>(QString::fromLatin1(name));
        ASSERT_NE(pane, nullptr) << name;
        const QImage image = pane->grab().toImage();
        const int middle = image.width() / 2;
        EXPECT_EQ(image.pixel(middle, 0), pane->palette().color(QPalette::Dark).rgb()) << name;
        EXPECT_EQ(image.pixel(middle, image.height() - 1), pane->palette().color(QPalette::Light).rgb()) << name;
        if (pane->objectName() == QLatin1String("pane0"))
            continue;
        // Inside the border: one colour while off, the name while on.
        auto colours = [&](const QImage &shown) {
            QSet<QRgb> seen;
            for (int y = 2; y < shown.height() - 2; ++y)
                for (int x = 2; x < shown.width() - 2; ++x)
                    seen.insert(shown.pixel(x, y));
            return seen.size();
        };
        pane->setEnabled(false);
        EXPECT_EQ(colours(pane->grab().toImage()), 1) << name;
        pane->setEnabled(true);
        EXPECT_GT(colours(pane->grab().toImage()), 1) << name;
    }
}

// While a menu is open the first pane shows the highlighted item's prompt,
// nothing for an item without one; "Ready" comes back when the menu closes.
TEST(Shell, StatusPaneFollowsTheMenus)
{
    CbreezonApp app(noPorts(), 1920);
    app.show();
    app.frame().setStatusText(QStringLiteral("save txt file successfully"));
    const QList<QAction *> top = app.frame().menuBar()->actions();
    const struct {
        int menu, item;
        const char *shown;
    } cases[] = {{0, 7, "Quit the application; prompts to save documents"}, {0, 0, ""}, {0, 2, ""}, {2, 0, ""}};
    for (const auto &c : cases) {
        QMenu *menu = top[c.menu]->menu();
        app.frame().menuBar()->setActiveAction(top[c.menu]); // opens it as a click would
        ASSERT_TRUE(menu->isVisible());
        menu->setActiveAction(menu->actions()[c.item]);
        EXPECT_EQ(app.frame().statusText(), QString::fromUtf8(c.shown)) << c.menu << c.item;
        menu->hide();
        EXPECT_EQ(app.frame().statusText(), QStringLiteral("Ready"));
        app.frame().setStatusText(QStringLiteral("save txt file successfully"));
    }
}

// On either frame width the first pane leaves the indicators their place,
// and a reason with its hint is shown whole, the port's name shortened.
TEST(Shell, AStatusTextTooLongKeepsItsReason)
{
    const QString reason = QStringLiteral(": permission denied \u2014 the user must be in the device's group dialout");
    const QString shortText = QStringLiteral("Cannot open ttyUSB0") + reason;
    const QString longText =
        QStringLiteral("Cannot open /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3D4E5F6-if00-port0") + reason;
    for (int screen : {800, 1920}) {
        CbreezonApp app(noPorts(), screen);
        app.show();
        app.frame().setStatusText(longText);
        QStatusBar *bar = app.frame().statusBar();
        auto *pane = bar->findChild<QLabel *>(QStringLiteral("pane0"));
        EXPECT_LT(pane->geometry().right(), bar->findChild<QLabel *>(QStringLiteral("CAP"))->geometry().left());
        const QFontMetrics metrics = pane->fontMetrics();
        const int width = pane->contentsRect().width();
        EXPECT_EQ(CMainFrame::fitStatusText(shortText, metrics, width), shortText) << screen;
        const QString shown = CMainFrame::fitStatusText(longText, metrics, width);
        EXPECT_TRUE(shown.startsWith(QStringLiteral("Cannot open /dev"))) << shown.toStdString();
        EXPECT_TRUE(shown.endsWith(reason)) << shown.toStdString();
        EXPECT_LE(metrics.horizontalAdvance(shown), width);
    }
}

TEST(Shell, MenusCarryTheirTextsAndCommands)
{
    CbreezonApp app(noPorts(), 1920);
    const QList<QAction *> top = app.frame().menuBar()->actions();
    ASSERT_EQ(top.size(), 3);
    EXPECT_EQ(top[0]->text(), QStringLiteral("&File"));
    EXPECT_EQ(top[1]->text(), QStringLiteral("&Statistics"));
    EXPECT_EQ(top[1]->data().toInt(), 32775);
    EXPECT_EQ(top[2]->text(), QStringLiteral("&Help"));

    // With no recent file, the framework's dimmed placeholder stands
    // between the separators.
    const QList<QAction *> file = top[0]->menu()->actions();
    ASSERT_EQ(file.size(), 8);
    const struct {
        const char *text;
        int id;
    } expected[] = {{"Open Recording\u2026\tCtrl+O", 57601}, {"Save TXT", 32771}, {"Save Excel", 32772},
                    {"Export Graph", 32773},           {"", 0},            {"Recent File", 0},
                    {"", 0},                           {"E&xit", 57665}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(file[i]->isSeparator(), i == 4 || i == 6) << i;
        EXPECT_EQ(file[i]->text(), QString::fromUtf8(expected[i].text)) << i;
        EXPECT_EQ(file[i]->data().toInt(), expected[i].id) << i;
    }
    EXPECT_FALSE(file[5]->isEnabled());
    EXPECT_EQ(file[7]->statusTip(), QStringLiteral("Quit the application; prompts to save documents"));

    const QList<QAction *> help = top[2]->menu()->actions();
    ASSERT_EQ(help.size(), 1);
    EXPECT_EQ(help[0]->text(), QStringLiteral("HelpTopic"));
    EXPECT_EQ(help[0]->data().toInt(), 32774);

    // F10 opens the menu bar.
    app.show();
    app.frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app.frame()));
    QTest::keyClick(&app.frame(), Qt::Key_F10);
    EXPECT_TRUE(top[0]->menu()->isVisible());
    top[0]->menu()->hide();
}

TEST(Shell, StandardAcceleratorsAreBound)
{
    CbreezonApp app(noPorts(), 1920);
    auto idOf = [&](QKeySequence key) {
        for (QAction *a : app.frame().actions())
            if (a->shortcuts().contains(key))
                return a->data().toInt();
        return 0;
    };
    EXPECT_EQ(idOf(QKeySequence(Qt::CTRL | Qt::Key_N)), 57600);
    EXPECT_EQ(idOf(QKeySequence(Qt::CTRL | Qt::Key_O)), 57601);
    EXPECT_EQ(idOf(QKeySequence(Qt::CTRL | Qt::Key_S)), 57603);
    EXPECT_EQ(idOf(QKeySequence(Qt::ALT | Qt::Key_Backspace)), 57643);
    EXPECT_EQ(idOf(QKeySequence(Qt::SHIFT | Qt::Key_Delete)), 57635);
    EXPECT_EQ(idOf(QKeySequence(Qt::CTRL | Qt::Key_Insert)), 57634);
    EXPECT_EQ(idOf(QKeySequence(Qt::SHIFT | Qt::Key_Insert)), 57637);
    EXPECT_EQ(idOf(QKeySequence(Qt::Key_F6)), 57680);
    EXPECT_EQ(idOf(QKeySequence(Qt::SHIFT | Qt::Key_F6)), 57681);
    EXPECT_EQ(idOf(QKeySequence(Qt::CTRL | Qt::Key_T)), 32775); // ours: Statistics
}

TEST(Shell, SplitterHandleCannotBeDragged)
{
    CbreezonApp app(noPorts(), 1920);
    app.show();
    CSplitOverride &splitter = app.frame().splitter();
    QSplitterHandle *handle = splitter.handle(1);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->cursor().shape(), Qt::ArrowCursor);
    const QList<int> before = splitter.sizes();
    const int leftBefore = app.frame().wave().width();
    QTest::mousePress(handle, Qt::LeftButton, {}, handle->rect().center());
    QTest::mouseMove(handle, handle->rect().center() - QPoint(150, 0));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, handle->rect().center() - QPoint(150, 0));
    EXPECT_EQ(splitter.sizes(), before);
    EXPECT_EQ(app.frame().wave().width(), leftBefore);
}

TEST(Shell, AboutBoxThroughItsCommand)
{
    CbreezonApp app(noPorts(), 1920);
    QString title, version, ok;
    QTimer::singleShot(0, [&] {
        QWidget *box = QApplication::activeModalWidget();
        if (!box)
            return;
        title = box->windowTitle();
        if (auto *label = box->findChild<QLabel *>(QStringLiteral("version")))
            version = label->text();
        if (auto *button = box->findChild<QPushButton *>(QStringLiteral("1"))) {
            ok = button->text();
            button->click();
        }
    });
    app.onCommand(command_id::appAbout);
    EXPECT_EQ(title, QStringLiteral("About breezon"));
    EXPECT_EQ(version, QStringLiteral("breezon Version 1.0"));
    EXPECT_EQ(ok, QStringLiteral("OK"));
}

TEST(Shell, TheIdleAcceleratorsSayNothing)
{
    ScriptedDialogs dialogs;
    CbreezonApp app(noPorts(), 1920);
    for (int id : {57600, 57601, 57603, 57634, 57635, 57637, 57643})
        app.onCommand(id);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.saveDialogs.empty());
}

// Help opens the user guide in the browser: the installed one, else the
// copy beside the program; where there is none, or no browser takes it
// (the offscreen platform has none), the first pane says where it is.
TEST(Shell, HelpOpensTheGuideOrSaysWhereItIs)
{
    QTemporaryDir prefix;
    QDir(prefix.path()).mkpath(QStringLiteral("bin"));
    QDir(prefix.path()).mkpath(QStringLiteral("share/doc/breezon"));
    const QString installed = prefix.filePath(QStringLiteral("share/doc/breezon/guide.html"));
    QFile(installed).open(QIODevice::WriteOnly);
    EXPECT_EQ(findUserGuide(prefix.filePath(QStringLiteral("bin"))), installed);

    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString beside = QDir(programFolder).filePath(QStringLiteral("guide.html"));
    QFile::remove(beside);
    struct RemoveAtEnd {
        QString path;
        ~RemoveAtEnd() { QFile::remove(path); }
    } removed{beside};
    CbreezonApp app(noPorts(), 1920);
    app.onCommand(command_id::helpTopic);
    EXPECT_EQ(app.frame().statusText(), QStringLiteral("The user guide is not installed: it belongs at %1")
                                            .arg(installedUserGuide(programFolder)));

    QFile(beside).open(QIODevice::WriteOnly);
    app.onCommand(command_id::helpTopic);
    EXPECT_EQ(app.frame().statusText(), QStringLiteral("No browser could show the user guide: open %1").arg(beside));

    Browser browser;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &browser, "show");
    app.frame().setStatusText(QStringLiteral("Ready"));
    app.onCommand(command_id::helpTopic);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_EQ(browser.shown, QList<QUrl>{QUrl::fromLocalFile(beside)});
    EXPECT_EQ(app.frame().statusText(), QStringLiteral("Ready"));
}

// A one-row recording at `path`.
void writeRecording(const QString &path)
{
    RecordingFileOutput output(path, OutputContext{}, RecordingFileOutput::Mode::Synchronous);
    ASSERT_TRUE(output.open().ok) << path.toStdString();
    RowRecord row;
    row.time = Timestamp::now();
    output.add(row);
    ASSERT_TRUE(output.finish().ok);
}

QSettings profile()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("breezon"));
}

// The File menu's recent files: the four recordings opened last, newest
// first, kept in the framework's profile when the program ends, for the
// next window; one that can no longer be opened leaves the list. Open
// Recording starts in the recordings folder.
TEST(Shell, RecentFilesAndTheOpenDialogsFolder)
{
    ScriptedDialogs dialogs;
    QTemporaryDir folder;
    profile().remove(QStringLiteral("Recent File List"));
    QStringList runs;
    for (int i = 0; i < 5; ++i) {
        runs << folder.filePath(QStringLiteral("run%1.breezon").arg(i));
        writeRecording(runs.back());
    }
    {
        CbreezonApp app(noPorts(), 1920);
        app.frame().journal().setFolder(folder.path());
        for (const QString &run : runs + QStringList{runs[2]})
            dialogs.paths.push_back(run);
        for (int i = 0; i < 6; ++i)
            app.onCommand(command_id::fileOpen);
        ASSERT_EQ(dialogs.openDialogs.size(), 6u);
        EXPECT_EQ(dialogs.openDialogs[0].folder, folder.path());
    }
    const QStringList newestFirst{runs[2], runs[4], runs[3], runs[1]};
    EXPECT_EQ(profile().value(QStringLiteral("Recent File List/File1")).toString(), runs[2]);

    auto app = std::make_unique<CbreezonApp>(noPorts(), 1920);
    auto recent = [&] {
        QList<QAction *> items;
        for (QAction *a : app->frame().menuBar()->actions()[0]->menu()->actions())
            if (a->data().toInt() >= command_id::fileMru1 && a->data().toInt() < command_id::fileMru1 + 4)
                items << a;
        return items;
    };
    ASSERT_EQ(recent().size(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(recent()[i]->statusTip(), newestFirst[i]);
        EXPECT_EQ(recent()[i]->data().toInt(), command_id::fileMru1 + i);
    }
    app->onCommand(command_id::fileMru1 + 2);
    EXPECT_EQ(app->frame().list().itemCount(), 1);
    EXPECT_EQ(recent()[0]->statusTip(), runs[3]);

    QFile::remove(runs[4]);
    app->onCommand(command_id::fileMru1 + 2);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(recent().size(), 3);
    app.reset();
    EXPECT_EQ(RecentFiles().paths(), (QStringList{runs[3], runs[2], runs[1]}));
    profile().remove(QStringLiteral("Recent File List"));
}

// An entry shows as the framework shows it: numbered, at most 30
// characters, the file name whole and the folders nearest the root gone.
TEST(Shell, RecentFileMenuTexts)
{
    const struct {
        int index;
        const char *path, *text;
    } cases[] = {
        {0, "/tmp/run.breezon", "&1 /tmp/run.breezon"},
        {1, "/home/ann/.local/share/breezon/recordings/2026-12-08_11-29-31.breezon",
         "&2 /\u2026/2026-12-08_11-29-31.breezon"},
        {2, "/home/ann/projects/lab/duct/run.breezon", "&3 /\u2026/lab/duct/run.breezon"},
        {3, "/home/ann/a-recording-with-a-long-name.breezon", "&4 a-recording-with-a-long-name.breezon"},
        {0, "/srv/R&D/run.breezon", "&1 /srv/R&&D/run.breezon"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RecentFiles::menuText(c.index, QString::fromUtf8(c.path)), QString::fromUtf8(c.text)) << c.path;
}

TEST(Shell, ExitClosesTheWindow)
{
    CbreezonApp app(noPorts(), 1920);
    app.show();
    ASSERT_TRUE(app.frame().isVisible());
    app.onCommand(command_id::appExit);
    EXPECT_FALSE(app.frame().isVisible());
}

} // namespace

#include "ShellTest.moc"
