// SPDX-License-Identifier: GPL-3.0-or-later
#include "Recorder.h"

#include "InstrumentName.h"
#include "OutputOptions.h"
#include "RecordingFolder.h"
#include "Simulator.h"
#include "StdoutFormats.h"

#include <QDir>
#include <QSysInfo>
#include <QTimer>

#include <algorithm>

Recorder::Recorder(RecorderOptions options, std::FILE *out, std::FILE *err, QObject *parent)
    : QObject(parent), options_(std::move(options)), out_(out), err_(err),
      store_(std::make_unique<SampleStore>()), session_(*store_)
{
    session_.noDataAfter = std::chrono::milliseconds(options_.noDataAfterMs);
    connect(&session_, &Session::note, this, &Recorder::say);
    connect(&session_, &Session::rowAdded, this, &Recorder::onRow);
    connect(&session_, &Session::ticked, this, &Recorder::checkGone);
}

Recorder::~Recorder()
{
    session_.stop();
}

QString Recorder::recordingPath() const
{
    return recording_ ? recording_->path() : source_ ? source_->path() : QString();
}

void Recorder::say(const QString &text)
{
    std::fprintf(err_, "breezon-record: %s\n", qPrintable(text));
    std::fflush(err_);
}

void Recorder::outputFailed(const QString &text)
{
    say(text);
    if (status_ == kDone)
        status_ = kFileError;
}

bool Recorder::usage(const QString &text)
{
    say(text);
    status_ = kUsage;
    return false;
}

// What every run knows before its outputs are made: the instrument's name
// (a recording's own, from its name or else its host and port, when one is
// read) and the run's context. False (a usage error) for a name no output
// can carry.
bool Recorder::prepare(const QString &recordedName, const QString &recordedHost, const QString &recordedPort)
{
    context_.port = !recordedPort.isEmpty() ? recordedPort : options_.demo ? QStringLiteral("demo") : options_.port;
    context_.host = carriedHostName(recordedHost.isEmpty() ? QSysInfo::machineHostName() : recordedHost);
    const QString name = QStringLiteral("--name");
    context_.instrument = options_.settings.contains(name) ? options_.settings.value(name)
                          : !recordedName.isEmpty()        ? recordedName
                                                           : defaultInstrumentName(context_.host, context_.port);
    context_.periodMs = options_.periodMs;
    context_.settings = options_.settings;
    if (const QString problem = nameProblem(context_.instrument); !problem.isEmpty())
        return usage(problem);
    return true;
}

// The outputs of the table, once the context has its spine; standard output
// last.
bool Recorder::makeOutputs()
{
    const QString format = options_.settings.value(QStringLiteral("--stdout"));
    const auto line = stdoutFormat(format, context_.instrument, context_.host);
    if (!line)
        return usage(QStringLiteral("--stdout takes %1, not '%2'").arg(QLatin1String(kStdoutFormats), format));
    for (const RecorderOptions::OutputChoice &choice : options_.outputs)
        outputs_.push_back(findOutputOption(choice.flag)->make(choice.value, context_));
    outputs_.push_back(std::make_unique<StdoutOutput>(out_, *line));
    return true;
}

// Every output is tried, so one run of the command names every problem; a
// start that fails leaves no file it made.
bool Recorder::openOutputs()
{
    for (const auto &output : outputs_)
        session_.addSink(output.get());
    for (Output *sink : session_.sinks())
        sink->setNote([this](const QString &text, bool failure) { failure ? outputFailed(text) : say(text); });
    const QStringList failures = session_.openSinks();
    for (const QString &failure : failures)
        outputFailed(failure);
    if (!failures.isEmpty())
        session_.discardSinks();
    return failures.isEmpty();
}

bool Recorder::start()
{
    if (!options_.from.isEmpty())
        return startReplay();
    return startLive();
}

bool Recorder::startLive()
{
    const bool journal = !options_.settings.contains(QStringLiteral("--no-journal"));
    QString spinePath = options_.settings.value(QStringLiteral("--breezon"));
    if (!prepare())
        return false;
    // The recording file is the spine: without --breezon, the instrument's
    // own recording in the recordings folder, continued at every start, so
    // the numbering, the spreadsheet and the outbox go on across restarts.
    if (spinePath.isEmpty() && journal) {
        const QString folder = recording_file::defaultFolder();
        QDir().mkpath(folder);
        spinePath = QDir(folder).filePath(recording_file::fileNameOf(context_.instrument) + QStringLiteral(".breezon"));
    }
    if (!spinePath.isEmpty()) {
        recording_ = std::make_unique<RecordingFileOutput>(spinePath, context_, RecordingFileOutput::Mode::Synchronous);
        context_.spine = recording_.get();
        session_.setSpine(recording_.get());
    }
    if (!makeOutputs())
        return false;
    for (const auto &output : outputs_)
        if (output->needsRecording() && !recording_)
            return usage(QStringLiteral("the %1 is made from the run's recording file: give --breezon FILE "
                                        "rather than --no-journal")
                             .arg(output->name()));
    if (!openOutputs())
        return false;
    if (recording_)
        session_.setNextSeq(recording_->nextSeq());

    QString port = options_.port;
    if (options_.demo) {
        simulator_ = std::make_unique<Simulator>();
        std::string why;
        if (!simulator_->open(&why) || !simulator_->start()) {
            say(QStringLiteral("open port error: the simulated instrument cannot start: %1")
                    .arg(QString::fromStdString(why)));
            status_ = kPortError;
            session_.discardSinks();
            return false;
        }
        port = QString::fromStdString(simulator_->slavePath());
    }
    QString why;
    if (session_.start(port, options_.periodMs, &why) != Acquisition::StartResult::Started) {
        say(QStringLiteral("open port error: %1: %2").arg(port, why));
        status_ = kPortError;
        session_.discardSinks();
        return false;
    }
    // Said once it is so: a start that fails records nothing.
    if (recording_)
        say(recording_->nextSeq() == 0
                ? QStringLiteral("recording into %1").arg(recording_->path())
                : QStringLiteral("recording into %1, going on from row %2").arg(recording_->path()).arg(
                      recording_->nextSeq()));
    if (options_.seconds) {
        deadlineAt_ = std::chrono::steady_clock::now() + std::chrono::seconds(*options_.seconds);
        deadline_ = new QTimer(this);
        deadline_->setSingleShot(true);
        connect(deadline_, &QTimer::timeout, this, &Recorder::armDeadline);
        armDeadline();
    }
    return true;
}

void Recorder::armDeadline()
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadlineAt_ - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        finish();
        return;
    }
    deadline_->start(std::min(left, std::chrono::milliseconds(std::chrono::hours(24))));
}

void Recorder::checkGone()
{
    const auto gone = [](const auto &output) { return output->gone(); };
    if (finished_ || std::none_of(outputs_.begin(), outputs_.end(), gone))
        return;
    // Nobody left to record for (| head has read its lines): a clean end.
    if (std::all_of(outputs_.begin(), outputs_.end(), gone)) {
        finish();
        return;
    }
    if (!goneTold_) {
        goneTold_ = true;
        say(QStringLiteral("standard output is closed; recording goes on into the other outputs"));
    }
}

void Recorder::onRow()
{
    ++rows_;
    emit rowRecorded();
    if (!options_.from.isEmpty())
        return; // the replay counts its own rows
    checkGone();
    if (!finished_ && options_.rows && rows_ >= *options_.rows)
        finish();
}

void Recorder::finish()
{
    if (finished_)
        return;
    finished_ = true;
    if (deadline_)
        deadline_->stop();
    session_.stop();
    if (simulator_)
        simulator_->stop();
    for (const QString &failure : session_.finishSinks())
        outputFailed(failure);
    if (rows_ == 0 && status_ == kDone) {
        say(options_.from.isEmpty() ? QStringLiteral("no row was recorded from %1").arg(options_.port.isEmpty() ? QStringLiteral("the simulated instrument") : options_.port)
                                    : QStringLiteral("%1 holds no rows").arg(options_.from));
        status_ = kNoData;
    }
    emit finished(status_);
}
