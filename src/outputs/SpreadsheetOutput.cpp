// SPDX-License-Identifier: GPL-3.0-or-later
#include "SpreadsheetOutput.h"

#include "PosixFile.h"
#include "ReadingListModel.h"
#include "RecordingFileReader.h"
#include "SpreadsheetExport.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

SpreadsheetOutput::SpreadsheetOutput(QString path, const OutputContext &context)
    : path_(std::move(path)), spine_(context.spine), conversion_(context.conversion)
{
}

SpreadsheetOutput::~SpreadsheetOutput() { release(); }

void SpreadsheetOutput::release()
{
    if (lock_ >= 0)
        ::close(lock_);
    lock_ = -1;
}

ExportResult SpreadsheetOutput::open()
{
    // Written at the end, but a folder that is not there is better told
    // now, while the user is still at the keyboard.
    if (const QString why = posix_file::whyNotReplaceable(path_); !why.isEmpty())
        return ExportResult::failure(why);
    const QFileInfo file(path_);
    // An empty file is what a crashed run leaves of its hold: nothing to keep.
    if (file.exists() && file.size() > 0) {
        // A conversion replaces it whatever it holds: whether it is one of
        // ours is all there is to know.
        const std::optional<std::int64_t> held = workbookRows(path_, !conversion_);
        if (!held)
            return ExportResult::failure(
                QStringLiteral("it is not a spreadsheet file breezon wrote; give a new file name"));
        const std::int64_t recorded = spine_ && !conversion_ ? RecordingFileReader::rowsIn(spine_->path()) : 0;
        if (!conversion_ && *held > recorded)
            return ExportResult::failure(
                QStringLiteral("it holds %1 rows and the recording %2 only %3: it would lose rows; give a new "
                               "file name, or make it with --from")
                    .arg(*held)
                    .arg(spine_ ? spine_->path() : QString())
                    .arg(recorded));
    }
    created_ = !file.exists();
    lock_ = posix_file::openForAppend(path_);
    if (lock_ < 0)
        return ExportResult::failure(posix_file::errorText(errno));
    if (!posix_file::lockForThisProcess(lock_)) {
        const int error = errno;
        discard(); // releases the hold too
        return ExportResult::failure(posix_file::lockErrorText(error));
    }
    return ExportResult::success();
}

void SpreadsheetOutput::add(const RowRecord &row)
{
    last_ = row.seq;
    // A conversion's rows are the recording's from its first: kept as they
    // pass, they need not be read a second time.
    if (conversion_)
        rows_.addRow(row.reading, row.time, row.seq);
}

void SpreadsheetOutput::discard()
{
    release();
    if (created_ && QFileInfo(path_).size() == 0)
        QFile::remove(path_);
    created_ = false;
}

ExportResult SpreadsheetOutput::finish()
{
    if (last_ < 0) {
        discard(); // no row: an existing workbook stays as it was
        return ExportResult::success();
    }
    // A live run's workbook: every row of the recording up to the run's
    // last, read back.
    ExportResult result = ExportResult::success();
    if (!conversion_) {
        RecordingFileReader reader;
        result = reader.open(spine_->path());
        RowRecord row;
        if (result.ok) {
            reader.seek(0, last_);
            rows_.beginAppending();
            while (reader.next(row))
                rows_.addRow(row.reading, row.time, row.seq);
            rows_.endAppending();
            if (!reader.error().isEmpty())
                result = ExportResult::failure(reader.error());
        }
    }
    release(); // the hold goes, or the save would find the file in use
    if (!result.ok) {
        discard();
        return ExportResult::failure(
            QStringLiteral("the recording %1 cannot be read back: %2").arg(spine_->path(), result.error));
    }
    SpreadsheetHooks hooks;
    hooks.status = [](const QString &) {};
    hooks.message = [this](const QString &text) { failed(text); };
    SpreadsheetLayout layout;
    layout.timestamps = true;
    return exportSpreadsheet(rows_, path_, hooks, layout);
}
