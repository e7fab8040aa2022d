// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: fixed size, centred, a status bar, the menus and the two
// fixed panes. It owns the sample store for its whole life.

#include "CloseGuard.h"
#include "PortDiscovery.h"
#include "RecentFiles.h"
#include "RunJournal.h"
#include "SampleStore.h"

#include <QFontMetrics>
#include <QMainWindow>

#include <functional>
#include <memory>

class Clist;
class CSplitOverride;
class Cwave;
class QLabel;
class QMenu;
class StatisticsWindow;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // `onCommand` receives the identifiers of the menu items and
    // accelerators; `ports` fill the graph view's port box.
    CMainFrame(std::function<void(int)> onCommand, const QList<PortEntry> &ports, int screenWidth);
    ~CMainFrame() override;

    // 930 on screens wider than 800 pixels, else 800.
    static int frameWidthFor(int screenWidth);
    // Width of the primary screen (1024 when there is none).
    static int primaryScreenWidth();
    static constexpr int kFrameHeight = 580;

    Cwave &wave() const { return *wave_; }
    Clist &list() const { return *list_; }
    SampleStore &store() { return *store_; }
    CSplitOverride &splitter() const { return *splitter_; }
    RunJournal &journal() { return journal_; }
    StatisticsWindow &statistics() const { return *statistics_; }

    // Receives the path of a file dropped on the window.
    void setDropHandler(std::function<void(const QString &)> onDrop) { onDrop_ = std::move(onDrop); }

    // The recent-file list of the File menu, newest first (at most four).
    void showRecentFiles(const QStringList &paths);

    // The first pane of the status bar, repainted at once.
    void setStatusText(const QString &text);
    QString statusText() const;

    // `text` as it fits `width` pixels: whole if it can be; otherwise the
    // reason after its first ": " stays whole and what comes before it is
    // shortened in the middle (or, with under a quarter of the width left
    // for that, the end is cut).
    static QString fitStatusText(const QString &text, const QFontMetrics &metrics, int width);

protected:
    // Menu prompts go to the first pane, not over it.
    bool event(QEvent *event) override;
    // Rows that wait for the journal are not dropped in silence.
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildMenus();
    void buildStatusBar();
    void addCommand(QAction *action, int id);
    void showLockKeys();

    std::function<void(int)> onCommand_;
    std::function<void(const QString &)> onDrop_;
    // Created first and released last: both panes and their threads are
    // gone before the store is.
    std::unique_ptr<SampleStore> store_;
    QMenu *fileMenu_ = nullptr;
    QAction *recentEnd_ = nullptr; // the separator below the recent files
    QList<QAction *> recentItems_;
    QLabel *statusPane_ = nullptr;
    QList<QLabel *> lockIndicators_; // CAP, NUM, SCRL
    int openMenus_ = 0;
    CSplitOverride *splitter_ = nullptr;
    Cwave *wave_ = nullptr;
    Clist *list_ = nullptr;
    StatisticsWindow *statistics_ = nullptr;
    // Declared after the store and destroyed before it; the panes are gone
    // first (the destructor deletes them), so no row comes any more.
    RunJournal journal_;
    CloseGuard *closeGuard_ = nullptr;
};
