#include "CMainFrame.h"

#include "CSplitOverride.h"
#include "Clist.h"
#include "CommandIds.h"
#include "Cwave.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

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
    connect(wave_, &Cwave::rowHandedOver, &journal_,
            [this](const RowRecord &row) { journal_.add(row, wave_->portPath(), wave_->periodMs()); });
    connect(wave_, &Cwave::recordingReset, &journal_, &RunJournal::endRecording);
    connect(&journal_, &RunJournal::note, this, &CMainFrame::setStatusText);
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
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    addCommand(file->addAction(QStringLiteral("Save TXT")), command_id::saveText);
    addCommand(file->addAction(QStringLiteral("Save Excel")), command_id::saveExcel);
    addCommand(file->addAction(QStringLiteral("Export Graph")), command_id::exportGraph);
    file->addSeparator();
    QAction *exit = file->addAction(QStringLiteral("E&xit"));
    exit->setStatusTip(QStringLiteral("Quit the application; prompts to save documents"));
    exit->setToolTip(QStringLiteral("Exit"));
    addCommand(exit, command_id::appExit);

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    addCommand(help->addAction(QStringLiteral("HelpTopic")), command_id::helpTopic);

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
    };
    for (const auto &a : accelerators) {
        auto *action = new QAction(this);
        action->setShortcuts(a.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addCommand(action, a.id);
        addAction(action);
    }
}

void CMainFrame::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QString::number(command_id::statusBar));
    bar->setSizeGripEnabled(false);
    statusPane_ = new QLabel(QStringLiteral("Ready"));
    statusPane_->setObjectName(QStringLiteral("pane0"));
    bar->addWidget(statusPane_, 1);
    // The lock-key indicators; their state is not read, so they stay dim.
    for (const char *indicator : {"CAP", "NUM", "SCRL"}) {
        auto *label = new QLabel(QString::fromLatin1(indicator));
        label->setObjectName(QString::fromLatin1(indicator));
        label->setEnabled(false);
        bar->addPermanentWidget(label);
    }
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
    statusPane_->repaint();
}

QString CMainFrame::statusText() const { return statusPane_->text(); }
