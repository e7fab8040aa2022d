// SPDX-License-Identifier: GPL-3.0-or-later
// The application shell: the main window, its menus and status bar, the
// fixed splitter, the about box and help.
#include "CMainFrame.h"
#include "CSplitOverride.h"
#include "CbreezonApp.h"
#include "Clist.h"
#include "CommandIds.h"
#include "Cwave.h"
#include "ScriptedDialogs.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <utility>

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

TEST(Shell, StatusBarHasReadyAndThreeIndicators)
{
    CbreezonApp app(noPorts(), 1920);
    QStatusBar *bar = app.frame().statusBar();
    EXPECT_EQ(bar->objectName(), QStringLiteral("59393"));
    EXPECT_EQ(app.frame().statusText(), QStringLiteral("Ready"));
    for (const char *name : {"CAP", "NUM", "SCRL"})
        EXPECT_NE(bar->findChild<QLabel *>(QString::fromLatin1(name)), nullptr) << name;
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
    } cases[] = {{0, 4, "Quit the application; prompts to save documents"}, {0, 0, ""}, {0, 2, ""}, {1, 0, ""}};
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
    const QString reason = QStringLiteral(": permission denied \u2014 the user must be in the device's group, such as dialout");
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
    ASSERT_EQ(top.size(), 2);
    EXPECT_EQ(top[0]->text(), QStringLiteral("&File"));
    EXPECT_EQ(top[1]->text(), QStringLiteral("&Help"));

    const QList<QAction *> file = top[0]->menu()->actions();
    ASSERT_EQ(file.size(), 5);
    const struct {
        const char *text;
        int id;
    } expected[] = {{"Save TXT", 32771}, {"Save Excel", 32772}, {"Export Graph", 32773}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(file[i]->text(), QString::fromLatin1(expected[i].text));
        EXPECT_EQ(file[i]->data().toInt(), expected[i].id);
    }
    EXPECT_TRUE(file[3]->isSeparator());
    EXPECT_EQ(file[4]->text(), QStringLiteral("E&xit"));
    EXPECT_EQ(file[4]->data().toInt(), 57665);
    EXPECT_EQ(file[4]->statusTip(), QStringLiteral("Quit the application; prompts to save documents"));

    const QList<QAction *> help = top[1]->menu()->actions();
    ASSERT_EQ(help.size(), 1);
    EXPECT_EQ(help[0]->text(), QStringLiteral("HelpTopic"));
    EXPECT_EQ(help[0]->data().toInt(), 32774);
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

TEST(Shell, HelpWithoutItsFileAndTheIdleAcceleratorsSayNothing)
{
    ScriptedDialogs dialogs;
    CbreezonApp app(noPorts(), 1920);
    QDir::setCurrent(QDir::tempPath());
    app.onCommand(command_id::helpTopic);
    for (int id : {57600, 57601, 57603, 57634, 57635, 57637, 57643})
        app.onCommand(id);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.saveDialogs.empty());
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
