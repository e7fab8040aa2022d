// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every place a row goes is an Output: opened (and so checked) before the
// port is opened, given each new row, finished at the end. An output that
// fails never stops the others or acquisition; it keeps what it could not
// write until it can, and says what happened through its note, once for a
// failure and once for the recovery. The recorder and the window's journal
// hold a list of outputs and know nothing of their formats.
//
// Every call comes on the owner's thread; an output that works in the
// background reports from add() or tick(), never from its own threads.

#include "ExportResult.h"
#include "RowRecord.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>

class ReadingListModel;

// What an output may need to know about the run it records.
struct OutputContext {
    const ReadingListModel *rows = nullptr; // every row so far (outputs written whole at the end)
    QString port;                           // the instrument's device path
    int periodMs = 1000;
    QHash<QString, QString> settings;       // options that configure an output, by flag ("--mqtt-user")
};

class Output {
public:
    // `failure` is false for a recovery or a plain note.
    using Note = std::function<void(const QString &text, bool failure)>;

    virtual ~Output() = default;

    // How messages name it: "text file duct.txt".
    virtual QString name() const = 0;
    // Creates or continues the output; the reason when it cannot.
    virtual ExportResult open() = 0;
    // One new row, already the newest of the run.
    virtual void add(const RowRecord &row) = 0;
    // The run is over: writes what remains and closes. The reason when rows
    // were lost; failures already told are not told again.
    virtual ExportResult finish() = 0;
    // About once a second while recording, for outputs that work in the
    // background to report and catch up.
    virtual void tick() {}
    // True once the output's reader has gone for good (a closed pipe): a run
    // whose only output has gone has nobody to record for.
    virtual bool gone() const { return false; }

    void setNote(Note note) { note_ = std::move(note); }

protected:
    // Tells a failure once; later failures stay quiet until a recovery.
    void failed(const QString &why);
    // Tells that the output works again, once after each told failure.
    void recovered(const QString &text);
    bool failing() const { return failing_; }
    // Tells what is not a failure: nothing is lost (a broker away, its
    // rows waiting in memory).
    void tell(const QString &text)
    {
        if (note_)
            note_(text, false);
    }

private:
    Note note_;
    bool failing_ = false;
};
