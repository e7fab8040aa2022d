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

#include <cstdint>
#include <string>

// The run's recording file, as the outputs made from it see it: the
// spreadsheet reads the run's rows back from it, and the network keeps its
// outbox there (how far each destination has taken the rows).
class Spine {
public:
    virtual ~Spine() = default;
    virtual QString path() const = 0;
    // The last row `destination` has taken; -1 for none.
    virtual std::int64_t delivered(const std::string &destination) const = 0;
    // Kept with the next row written, or when the run ends.
    virtual void noteDelivered(const std::string &destination, std::int64_t seq) = 0;
};

// What an output may need to know about the run it records.
struct OutputContext {
    Spine *spine = nullptr;           // the run's recording file; null without one
    QString port;                     // the instrument's device path
    QString instrument;               // the instrument's name (--name; InstrumentName.h)
    QString host;                     // this machine's name, as outputs carry it
    int periodMs = 1000;
    bool conversion = false;          // the rows come from a recording (--from), not a port
    QHash<QString, QString> settings; // options that configure an output, by flag ("--mqtt-user")
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
    // Many rows come at once (a recording read back) between these two:
    // an output may write them in large pieces and sync once at the end.
    virtual void beginBulk() {}
    virtual void endBulk() {}
    // The run never started (the port could not be opened): removes what
    // open() created, and leaves what was there before as it was.
    virtual void discard() {}
    // The instrument has sent nothing for longer than the no-data limit
    // (true), or sends again (false), for outputs that tell whether the
    // instrument is there (the broker's status).
    virtual void instrumentSilent(bool /*silent*/) {}
    // True for an output made from the run's recording file (the
    // spreadsheet, the network's outbox): a run without one cannot have it.
    virtual bool needsRecording() const { return false; }

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
