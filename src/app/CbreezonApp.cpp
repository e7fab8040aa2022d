// SPDX-License-Identifier: GPL-3.0-or-later
#include "CbreezonApp.h"

#include "CAboutDlg.h"
#include "CMainFrame.h"
#include "Clist.h"
#include "CommandIds.h"
#include "Cwave.h"
#include "Dialogs.h"
#include "RecordingFileReader.h"
#include "RecordingFolder.h"
#include "StatisticsWindow.h"
#include "SpreadsheetExport.h"
#include "TextExport.h"
#include "UserGuide.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QTableView>
#include <QUrl>

CbreezonApp::CbreezonApp(const QList<PortEntry> &ports, int screenWidth)
    : frame_(std::make_unique<CMainFrame>([this](int id) { onCommand(id); }, ports, screenWidth))
{
    frame_->setDropHandler([this](const QString &path) { openRecording(path); });
    frame_->showRecentFiles(recent_.paths());
    connect(&frame_->journal(), &RunJournal::begun, this, &CbreezonApp::addRecent);
}

CbreezonApp::~CbreezonApp()
{
    // The framework saved its profile as the program ended.
    recent_.save();
}

void CbreezonApp::show()
{
    frame_->show();
    frame_->setWindowTitle(QStringLiteral("Breezon"));
}

void CbreezonApp::onCommand(int id)
{
    switch (id) {
    case command_id::appAbout: about(); break;
    case command_id::saveExcel: saveSpreadsheet(); break;
    case command_id::saveText: saveText(); break;
    case command_id::exportGraph: exportGraph(); break;
    case command_id::helpTopic: help(); break;
    case command_id::statistics: frame_->statistics().present(); break;
    case command_id::fileOpen: openFile(); break;
    case command_id::fileMru1:
    case command_id::fileMru1 + 1:
    case command_id::fileMru1 + 2:
    case command_id::fileMru1 + 3: openRecent(id - command_id::fileMru1); break;
    case command_id::appExit: frame_->close(); break;
    case command_id::nextPane:
    case command_id::previousPane:
        // Two panes: either key moves the focus to the other one.
        if (frame_->list().table()->hasFocus())
            frame_->wave().setFocus();
        else
            frame_->list().table()->setFocus();
        break;
    default:
        // New, Save and the edit keys have nothing to act on: there is no
        // document.
        break;
    }
}

void CbreezonApp::reportFailure(const QString &what, const QString &path, const QString &why)
{
    const QString text = QStringLiteral("The %1 was not saved to %2: %3").arg(what, path, why);
    frame_->setStatusText(text);
    dialogs().message(frame_.get(), QStringLiteral("error"), text, MessageIcon::Error);
}

void CbreezonApp::openFile()
{
    // As an export does: the run stops while the dialog is up, and goes on
    // if nothing is opened.
    ExportPause pause(frame_->wave());
    // In the recordings folder, where the runs are kept.
    QString folder = frame_->journal().folder();
    if (folder.isEmpty())
        folder = recording_file::userFolder();
    const QString path = dialogs().openPath(frame_.get(), QStringLiteral("Breezon recording (*.breezon)"), folder);
    if (!path.isEmpty())
        openRecording(path);
}

void CbreezonApp::openRecent(int index)
{
    const QString path = recent_.paths().value(index);
    if (path.isEmpty())
        return;
    // One that can no longer be opened leaves the list, as the
    // framework's does; the user has been told why.
    if (!openRecording(path)) {
        recent_.remove(path);
        frame_->showRecentFiles(recent_.paths());
    }
}

void CbreezonApp::addRecent(const QString &path)
{
    recent_.add(path);
    frame_->showRecentFiles(recent_.paths());
}

bool CbreezonApp::openRecording(const QString &path)
{
    Cwave &wave = frame_->wave();
    // A run goes on when the file cannot be opened; one that is opened
    // clears the resume (RESET does), so the window stands stopped.
    ExportPause pause(wave);
    // The run so far is whole in its file first: it may be the one opened.
    const int unwritten = frame_->journal().settle();
    RecordingFileReader reader;
    const ExportResult opened = reader.open(path);
    if (!opened.ok) {
        const QString text = QStringLiteral("The recording %1 cannot be opened: %2").arg(path, opened.error);
        frame_->setStatusText(text);
        dialogs().message(frame_.get(), QStringLiteral("error"), text, MessageIcon::Error);
        return false;
    }
    frame_->setStatusText(QStringLiteral("opening %1, please wait...").arg(path));
    wave.resetRecording();
    // The rows go to the list, the graph and the store through the session,
    // as live rows do; the store keeps the newest, as the ring does while
    // recording.
    wave.session().replay(reader);
    // START goes on in the recording, unless it is damaged: rows written
    // after the damage would hide it, so they go into a new one.
    const bool sound = reader.damagedRows() == 0 && reader.error().isEmpty();
    if (sound)
        frame_->journal().continueWith(path);
    addRecent(path);

    QString text = QStringLiteral("Opened %1: %2 rows").arg(path).arg(frame_->list().itemCount());
    if (reader.damagedRows() > 0)
        text += QStringLiteral("; %1 damaged %2 left out, the first is row %3")
                    .arg(reader.damagedRows())
                    .arg(reader.damagedRows() == 1 ? QStringLiteral("row was") : QStringLiteral("rows were"))
                    .arg(reader.firstDamaged());
    if (!reader.error().isEmpty())
        text += QStringLiteral("; the rest cannot be read: %1").arg(reader.error());
    if (!sound)
        text += QStringLiteral("; START records into a new file");
    if (reader.damagedRows() > 0 || !reader.error().isEmpty())
        dialogs().message(frame_.get(), QStringLiteral("error"), text, MessageIcon::Error);
    if (unwritten > 0)
        text += QStringLiteral("; %1 rows of the run before could not be written to its recording file").arg(unwritten);
    frame_->setStatusText(text);
    return true;
}

void CbreezonApp::saveText()
{
    ExportPause pause(frame_->wave());
    QString path = dialogs().savePath(frame_.get(), QStringLiteral("TXT(*.txt)"), false);
    if (path.isEmpty())
        return;
    path += QStringLiteral(".txt");
    frame_->setStatusText(QStringLiteral("start to txt excel,please wait..."));
    const ExportResult result = writeTextFile(path, frame_->list().model());
    if (result.ok)
        frame_->setStatusText(QStringLiteral("save txt file successfully"));
    else
        reportFailure(QStringLiteral("text file"), path, result.error);
}

void CbreezonApp::saveSpreadsheet()
{
    ExportPause pause(frame_->wave());
    QString path = dialogs().savePath(frame_.get(), QStringLiteral("EXCEL(*.xls)"), false);
    if (path.isEmpty())
        return;
    path += QStringLiteral(".xls");
    SpreadsheetHooks hooks;
    hooks.status = [this](const QString &text) { frame_->setStatusText(text); };
    hooks.message = [this](const QString &text) {
        dialogs().message(frame_.get(), QStringLiteral("breezon"), text, MessageIcon::Error);
    };
    const ExportResult result = exportSpreadsheet(frame_->list().model(), path, hooks);
    if (!result.ok && !result.reported)
        reportFailure(QStringLiteral("spreadsheet"), path, result.error);
}

void CbreezonApp::exportGraph() { frame_->wave().exportGraph(); }

void CbreezonApp::help()
{
    // In the desktop's browser; where that cannot be, the first pane says
    // where the guide is.
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString guide = findUserGuide(programFolder);
    if (guide.isEmpty())
        frame_->setStatusText(QStringLiteral("The user guide is not installed: it belongs at %1")
                                  .arg(installedUserGuide(programFolder)));
    else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(guide)))
        frame_->setStatusText(QStringLiteral("No browser could show the user guide: open %1").arg(guide));
}

void CbreezonApp::about()
{
    CAboutDlg dialog(frame_.get());
    dialog.exec();
}
