// SPDX-License-Identifier: GPL-3.0-or-later
#include "Session.h"

#include "RecordingFileReader.h"
#include "SampleStore.h"

#include <QTimer>

#include <algorithm>

Session::Session(SampleStore &store, QObject *parent) : QObject(parent), store_(store), acquisition_(store)
{
    connect(&acquisition_, &Acquisition::sampleReady, this, &Session::handOver);
    connect(&acquisition_, &Acquisition::portStatus, this, &Session::note);
    silenceTimer_ = new QTimer(this);
    silenceTimer_->setSingleShot(true);
    connect(silenceTimer_, &QTimer::timeout, this, [this] {
        emit note(silence_.warn(port_));
        armSilence();
        // Sinks hear of it only once a row is overdue: with a period longer
        // than the limit, the wait between two rows is no silence.
        if (std::chrono::steady_clock::now() - lastRowAt_ > std::chrono::milliseconds(periodMs_))
            tellSilent(true);
    });
    // Outputs that work in the background report and catch up from here,
    // also between runs (a journal that catches up after STOP says so).
    ticker_ = new QTimer(this);
    connect(ticker_, &QTimer::timeout, this, [this] {
        for (Output *sink : sinks_)
            sink->tick();
        emit ticked();
    });
    ticker_->start(1000);
}

Session::~Session() { acquisition_.stop(); }

void Session::setSpine(Output *spine)
{
    if (spine_)
        sinks_.erase(std::find(sinks_.begin(), sinks_.end(), spine_));
    spine_ = spine;
    if (spine_)
        sinks_.insert(sinks_.begin(), spine_);
}

void Session::addSink(Output *sink) { sinks_.push_back(sink); }

void Session::addSink(std::unique_ptr<Output> sink)
{
    sinks_.push_back(sink.get());
    owned_.push_back(std::move(sink));
}

QStringList Session::openSinks()
{
    QStringList failures;
    for (Output *sink : sinks_)
        if (const ExportResult r = sink->open(); !r.ok)
            failures << QStringLiteral("the %1 cannot be written: %2").arg(sink->name(), r.error);
    return failures;
}

void Session::discardSinks()
{
    for (Output *sink : sinks_)
        sink->discard();
}

QStringList Session::finishSinks()
{
    ticker_->stop(); // a finished sink has nothing more to tell
    QStringList failures;
    const auto finish = [&](Output *sink) {
        if (const ExportResult r = sink->finish(); !r.ok && !r.reported)
            failures << QStringLiteral("the %1 was not written: %2").arg(sink->name(), r.error);
    };
    // Rows that wait for the spine (a full disk) get a last try first, so
    // what is made from it holds them.
    if (spine_)
        spine_->tick();
    for (Output *sink : sinks_)
        if (sink != spine_)
            finish(sink);
    if (spine_)
        finish(spine_);
    return failures;
}

Acquisition::StartResult Session::start(const QString &port, int periodMs, QString *whyNot, bool waitForPort)
{
    const Acquisition::StartResult result = acquisition_.start(port, periodMs, whyNot, waitForPort);
    if (result == Acquisition::StartResult::Started) {
        port_ = port;
        periodMs_ = periodMs;
        silence_ = NoDataWatch(noDataAfter);
        lastRowAt_ = std::chrono::steady_clock::now();
        armSilence();
        tellSilent(false);
    }
    return result;
}

void Session::stop()
{
    acquisition_.stop();
    silenceTimer_->stop();
}

void Session::reset()
{
    // RESET promises an empty recording: a frame that waits for its row is
    // from before it, and goes with the store.
    acquisition_.emptyStore();
    nextSeq_ = 0;
}

void Session::armSilence()
{
    silenceTimer_->start(std::min(silence_.untilNext(), std::chrono::milliseconds(std::chrono::hours(24))));
}

void Session::tellSilent(bool silent)
{
    if (silent == silent_)
        return;
    silent_ = silent;
    for (Output *sink : sinks_)
        sink->instrumentSilent(silent);
}

void Session::handOver()
{
    RowRecord row;
    row.frame = store_.newest();
    row.reading = decodeFrame(row.frame);
    row.time = Timestamp::now();
    row.seq = int(nextSeq_++);
    acquisition_.clearPending();
    silence_.restart();
    lastRowAt_ = std::chrono::steady_clock::now();
    armSilence();
    tellSilent(false);
    deliver(row);
}

void Session::deliver(const RowRecord &row)
{
    for (Output *sink : sinks_)
        sink->add(row);
    emit rowAdded(row);
}

std::int64_t Session::replay(RecordingFileReader &reader, std::int64_t limit)
{
    std::vector<Output *> targets;
    for (Output *sink : sinks_)
        if (sink != spine_)
            targets.push_back(sink);
    for (Output *sink : targets)
        sink->beginBulk();
    std::int64_t count = 0;
    RowRecord row;
    while ((limit < 0 || count < limit) && reader.next(row)) {
        store_.append(row.frame);
        for (Output *sink : targets)
            sink->add(row);
        nextSeq_ = row.seq + 1;
        ++count;
        emit rowAdded(row);
    }
    for (Output *sink : targets)
        sink->endBulk();
    return count;
}
