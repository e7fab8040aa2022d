// SPDX-License-Identifier: GPL-3.0-or-later
// --from: the rows of a recording file instead of a port's, each with its
// recorded time, through the same model and outputs as a live run; so the
// files made are those the live run would have made.
#include "Recorder.h"

#include "RecordingFileReader.h"

#include <QTimer>

bool Recorder::startReplay()
{
    // The source is checked before any output file is created or emptied.
    auto reader = std::make_shared<RecordingFileReader>();
    const ExportResult opened = reader->open(options_.from);
    if (!opened.ok) {
        say(QStringLiteral("cannot read %1: %2").arg(options_.from, opened.error));
        status_ = kPortError;
        return false;
    }
    if (!openOutputs())
        return false;
    // Once start() has returned, so a caller waiting for finished() sees it.
    QTimer::singleShot(0, this, [this, reader] {
        RowRecord record;
        while (!finished_ && reader->next(record)) {
            record.seq = model_.addRow(record.reading, record.time);
            for (const auto &output : outputs_)
                output->add(record);
            if (options_.rows && model_.itemCount() >= *options_.rows)
                break;
        }
        if (!reader->error().isEmpty()) {
            say(QStringLiteral("%1 could be read only up to row %2: %3")
                    .arg(options_.from)
                    .arg(model_.itemCount())
                    .arg(reader->error()));
            status_ = kPortError;
        }
        finish();
    });
    return true;
}
