// SPDX-License-Identifier: GPL-3.0-or-later
#include "SpreadsheetOutput.h"

#include "PosixFile.h"
#include "SpreadsheetExport.h"

#include <QFileInfo>

ExportResult SpreadsheetOutput::open()
{
    // Written only at the end, but a folder that is not there is better
    // told now, while the user is still at the keyboard.
    const QFileInfo dir(QFileInfo(path_).absolutePath());
    if (!dir.isDir())
        return ExportResult::failure(QStringLiteral("No such file or directory"));
    if (!dir.isWritable())
        return ExportResult::failure(QStringLiteral("Permission denied"));
    if (posix_file::inUseByAnother(path_))
        return ExportResult::failure(posix_file::inUseText());
    return ExportResult::success();
}

ExportResult SpreadsheetOutput::finish()
{
    SpreadsheetHooks hooks;
    hooks.status = [](const QString &) {};
    hooks.message = [this](const QString &text) { failed(text); };
    SpreadsheetLayout layout;
    layout.timestamps = true;
    return exportSpreadsheet(*rows_, path_, hooks, layout);
}
