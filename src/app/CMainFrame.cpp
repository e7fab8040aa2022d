// SPDX-License-Identifier: GPL-3.0-or-later
#include "CMainFrame.h"

#include "CSplitOverride.h"
#include "Clist.h"
#include "CommandIds.h"
#include "Cwave.h"
#include "LockKeys.h"
#include "StatisticsWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kLockKeysEveryMs = 250;

// The first pane: its text shortened to the room it has when painted, so a
// long text never pushes the indicators away or loses its reason.
class StatusPane final : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        drawFrame(&p);
        const QRect r = contentsRect();
        p.setPen(palette().color(foregroundRole()));
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   CMainFrame::fitStatusText(text(), fontMetrics(), r.width()));
    }
};

// A lock-key pane: its name while the key is on; off (disabled), only its
// empty border, as a disabled pane of the status bar is drawn.
class IndicatorPane final : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        if (isEnabled()) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter p(this);
        drawFrame(&p);
    }
};

// Every pane of the status bar sits in a sunken border, its text two
// pixels in from it (a framed label would keep half an "x" from it, room
// the first pane needs for its texts).
void sinkPane(QLabel *pane)
{
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pane->setLineWidth(1);
    pane->setIndent(2);
}

} // namespace

CMainFrame::CMainFrame(std::function<void(int)> onCommand, const QList<PortEntry> &ports, int screenWidth)
    : onCommand_(std::move(onCommand)), store_(std::make_unique<SampleStore>())
{
    // Neither resizable nor maximisable.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("breezon"));
    buildMenus();
    buildStatusBar();

    const int W = frameWidthFor(screenWidth);
    setFixedSize(W, kFrameHeight);
    const int H = kFrameHeight - menuBar()->sizeHint().height() - statusBar()->sizeHint().height();

    splitter_ = new CSplitOverride(this);
    splitter_->setObjectName(QStringLiteral("59648")); // the first pane's identifier, 0xE900
    setCentralWidget(splitter_);

    wave_ = new Cwave(*store_);
    list_ = new Clist;
    splitter_->addWidget(wave_);
    splitter_->addWidget(list_);
    const int left = W / 2;
    const int right = W - left - splitter_->handleWidth();
    wave_->setFixedSize(left, H);
    list_->setFixedSize(right, H);
    wave_->setList(list_);
    wave_->initialUpdate(QSize(left, H), ports);
    list_->initialUpdate(QSize(right, H));
    connect(wave_, &Cwave::statusText, this, &CMainFrame::setStatusText);
    statistics_ = new StatisticsWindow(*wave_, list_->model(), this);
    // The journal is the spine of the window's runs: every row goes there
    // first, with the port and period the run was started with.
    journal_.setContext([this] {
        OutputContext context;
        context.port = wave_->session().port();
        context.periodMs = wave_->session().periodMs();
        return context;
    });
    wave_->session().setSpine(&journal_);
    connect(wave_, &Cwave::recordingReset, &journal_, &RunJournal::endRecording);
    connect(&journal_, &RunJournal::note, this, &CMainFrame::setStatusText);
    closeGuard_ = new CloseGuard(*this, journal_);
    setAcceptDrops(true);

    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(W / 2, kFrameHeight / 2));
}

CMainFrame::~CMainFrame()
{
    // The panes end acquisition as they go; only then may the store go.
    delete splitter_;
    splitter_ = nullptr;
}

int CMainFrame::frameWidthFor(int screenWidth) { return screenWidth > 800 ? 930 : 800; }

int CMainFrame::primaryScreenWidth()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 1024;
}

void CMainFrame::addCommand(QAction *action, int id)
{
    action->setObjectName(QString::number(id));
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { onCommand_(id); });
}

void CMainFrame::buildMenus()
{
    QMenu *file = fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    // While a menu is open the pane shows the highlighted item's prompt
    // (nothing for an item without one); "Ready" comes back when it closes.
    for (QMenu *menu : {file, help}) {
        connect(menu, &QMenu::aboutToShow, this, [this] { ++openMenus_; });
        connect(menu, &QMenu::aboutToHide, this, [this] {
            openMenus_ = std::max(0, openMenus_ - 1);
            setStatusText(QStringLiteral("Ready"));
        });
    }
    // Open Recording shows the Open accelerator beside it (the key itself
    // is bound below, with the others).
    addCommand(file->addAction(QStringLiteral("Open Recording\u2026\tCtrl+O")), command_id::fileOpen);
    addCommand(file->addAction(QStringLiteral("Save TXT")), command_id::saveText);
    addCommand(file->addAction(QStringLiteral("Save Excel")), command_id::saveExcel);
    addCommand(file->addAction(QStringLiteral("Export Graph")), command_id::exportGraph);
    file->addSeparator();
    recentEnd_ = file->addSeparator();
    showRecentFiles({});
    QAction *exit = file->addAction(QStringLiteral("E&xit"));
    exit->setStatusTip(QStringLiteral("Quit the application; prompts to save documents"));
    exit->setToolTip(QStringLiteral("Exit"));
    addCommand(exit, command_id::appExit);

    addCommand(help->addAction(QStringLiteral("HelpTopic")), command_id::helpTopic);
    // Statistics: a command of the menu bar itself, before Help, which
    // stays last.
    auto *statistics = new QAction(QStringLiteral("&Statistics"), this);
    menuBar()->insertAction(help->menuAction(), statistics);
    addCommand(statistics, command_id::statistics);

    // The standard accelerators, each bound to its command.
    const struct {
        int id;
        QList<QKeySequence> keys;
    } accelerators[] = {
        {command_id::fileNew, {QKeySequence(Qt::CTRL | Qt::Key_N)}},
        {command_id::fileOpen, {QKeySequence(Qt::CTRL | Qt::Key_O)}},
        {command_id::fileSave, {QKeySequence(Qt::CTRL | Qt::Key_S)}},
        {command_id::editUndo, {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)}},
        {command_id::editCut, {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)}},
        {command_id::editCopy, {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)}},
        {command_id::editPaste, {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)}},
        {command_id::nextPane, {QKeySequence(Qt::Key_F6)}},
        {command_id::previousPane, {QKeySequence(Qt::SHIFT | Qt::Key_F6)}},
        // Ours, on a key the standard table leaves free.
        {command_id::statistics, {QKeySequence(Qt::CTRL | Qt::Key_T)}},
    };
    for (const auto &a : accelerators) {
        auto *action = new QAction(this);
        action->setShortcuts(a.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addCommand(action, a.id);
        addAction(action);
    }
    // F10 opens the menu bar, as Alt does.
    auto *menuKey = new QAction(this);
    menuKey->setShortcut(QKeySequence(Qt::Key_F10));
    menuKey->setShortcutContext(Qt::WindowShortcut);
    connect(menuKey, &QAction::triggered, this, [this] { menuBar()->setActiveAction(menuBar()->actions().first()); });
    addAction(menuKey);
}

void CMainFrame::showRecentFiles(const QStringList &paths)
{
    QMenu *file = fileMenu_;
    qDeleteAll(recentItems_);
    recentItems_.clear();
    for (int i = 0; i < paths.size() && i < RecentFiles::kMax; ++i) {
        auto *item = new QAction(RecentFiles::menuText(i, paths[i]), file);
        item->setStatusTip(paths[i]);
        addCommand(item, command_id::fileMru1 + i);
        recentItems_.append(item);
    }
    // With none, the framework shows its placeholder, dimmed.
    if (recentItems_.isEmpty()) {
        auto *none = new QAction(QStringLiteral("Recent File"), file);
        none->setEnabled(false);
        recentItems_.append(none);
    }
    file->insertActions(recentEnd_, recentItems_);
}

void CMainFrame::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QString::number(command_id::statusBar));
    bar->setSizeGripEnabled(false);
    statusPane_ = new StatusPane(QStringLiteral("Ready"));
    statusPane_->setObjectName(QStringLiteral("pane0"));
    statusPane_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    sinkPane(statusPane_);
    bar->addWidget(statusPane_, 1);
    // The lock-key indicators: shown while their key is on, blank when it
    // is off or when the platform does not tell.
    for (const char *indicator : {"CAP", "NUM", "SCRL"}) {
        auto *label = new IndicatorPane(QString::fromLatin1(indicator));
        label->setObjectName(QString::fromLatin1(indicator));
        sinkPane(label);
        label->setEnabled(false);
        bar->addPermanentWidget(label);
        lockIndicators_.append(label);
    }
    if (readLockKeys()) {
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, &CMainFrame::showLockKeys);
        poll->start(kLockKeysEveryMs);
        showLockKeys();
    }
}

void CMainFrame::showLockKeys()
{
    const LockKeys keys = readLockKeys().value_or(LockKeys{});
    const bool on[] = {keys.caps, keys.num, keys.scroll};
    for (int i = 0; i < lockIndicators_.size(); ++i)
        lockIndicators_[i]->setEnabled(on[i]);
}

void CMainFrame::closeEvent(QCloseEvent *event)
{
    // The run ends with the window: no new row while the user is asked.
    if (journal_.unwritten().rows > 0 && wave_->isRunning())
        wave_->startStop();
    event->setAccepted(closeGuard_->mayClose());
}

bool CMainFrame::event(QEvent *event)
{
    if (event->type() == QEvent::StatusTip) {
        if (openMenus_ > 0)
            setStatusText(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

QString CMainFrame::fitStatusText(const QString &text, const QFontMetrics &metrics, int width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    const qsizetype cut = text.indexOf(QLatin1String(": "));
    if (cut > 0) {
        const QString reason = text.mid(cut);
        const int room = width - metrics.horizontalAdvance(reason);
        if (room >= width / 4)
            return metrics.elidedText(text.left(cut), Qt::ElideMiddle, room) + reason;
    }
    return metrics.elidedText(text, Qt::ElideRight, width);
}

namespace {

// The first local file among a drag's URLs; empty when none.
QString droppedFile(const QMimeData *data)
{
    if (data && data->hasUrls())
        for (const QUrl &url : data->urls())
            if (url.isLocalFile())
                return url.toLocalFile();
    return {};
}

} // namespace

void CMainFrame::dragEnterEvent(QDragEnterEvent *event)
{
    if (onDrop_ && !droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent *event)
{
    const QString path = droppedFile(event->mimeData());
    if (onDrop_ && !path.isEmpty()) {
        event->acceptProposedAction();
        onDrop_(path);
    }
}

void CMainFrame::setStatusText(const QString &text)
{
    statusPane_->setText(text);
    statusPane_->setToolTip(text);
    statusPane_->repaint();
}

QString CMainFrame::statusText() const { return statusPane_->text(); }
