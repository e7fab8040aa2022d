// SPDX-License-Identifier: GPL-3.0-or-later
#include "Recorder.h"

#include "Frame.h"
#include "OutputOptions.h"
#include "Simulator.h"
#include "StdoutFormats.h"

#include <QTimer>

#include <algorithm>

Recorder::Recorder(RecorderOptions options, std::FILE *out, std::FILE *err, QObject *parent)
    : QObject(parent), options_(std::move(options)), out_(out), err_(err),
      store_(std::make_unique<SampleStore>()), acquisition_(*store_),
      silence_(std::chrono::milliseconds(options_.noDataAfterMs))
{
    connect(&acquisition_, &Acquisition::sampleReady, this, &Recorder::onSample);
    connect(&acquisition_, &Acquisition::portStatus, this, &Recorder::say);
}

Recorder::~Recorder()
{
    acquisition_.stop();
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

bool Recorder::openOutputs()
{
    context_.rows = &model_;
    // The simulated instrument's pseudo-terminal is not made yet: outputs
    // know it by the name its rows go by everywhere else.
    context_.port = options_.demo ? QStringLiteral("demo") : options_.port;
    context_.periodMs = options_.periodMs;
    context_.settings = options_.settings;
    for (const RecorderOptions::OutputChoice &choice : options_.outputs)
        outputs_.push_back(findOutputOption(choice.flag)->make(choice.value, context_));
    const QString format = options_.settings.value(QStringLiteral("--stdout"));
    const auto line = stdoutFormat(format, instrumentName(context_.port));
    if (!line) {
        say(QStringLiteral("--stdout takes %1, not '%2'").arg(QLatin1String(kStdoutFormats), format));
        status_ = kUsage;
        return false;
    }
    outputs_.push_back(std::make_unique<StdoutOutput>(out_, *line));

    // Every output is tried, so one run of the command names every problem.
    bool ok = true;
    for (const auto &output : outputs_) {
        output->setNote([this](const QString &text, bool failure) { failure ? outputFailed(text) : say(text); });
        const ExportResult result = output->open();
        if (!result.ok) {
            outputFailed(QStringLiteral("the %1 cannot be written: %2").arg(output->name(), result.error));
            ok = false;
        }
    }
    return ok;
}

bool Recorder::start()
{
    if (!options_.from.isEmpty())
        return startReplay();
    if (!openOutputs())
        return false;

    QString port = options_.port;
    if (options_.demo) {
        simulator_ = std::make_unique<Simulator>();
        std::string why;
        if (!simulator_->open(&why) || !simulator_->start()) {
            say(QStringLiteral("open port error: the simulated instrument cannot start: %1")
                    .arg(QString::fromStdString(why)));
            status_ = kPortError;
            return false;
        }
        port = QString::fromStdString(simulator_->slavePath());
    }

    QString why;
    if (acquisition_.start(port, options_.periodMs, &why) != Acquisition::StartResult::Started) {
        say(QStringLiteral("open port error: %1: %2").arg(port, why));
        status_ = kPortError;
        return false;
    }
    portShown_ = port;

    ticker_ = new QTimer(this);
    connect(ticker_, &QTimer::timeout, this, &Recorder::tick);
    ticker_->start(1000);
    silenceTimer_ = new QTimer(this);
    silenceTimer_->setSingleShot(true);
    connect(silenceTimer_, &QTimer::timeout, this, [this] {
        say(silence_.warn(portShown_));
        armSilence();
    });
    armSilence();
    if (options_.seconds) {
        deadlineAt_ = std::chrono::steady_clock::now() + std::chrono::seconds(*options_.seconds);
        deadline_ = new QTimer(this);
        deadline_->setSingleShot(true);
        connect(deadline_, &QTimer::timeout, this, &Recorder::armDeadline);
        armDeadline();
    }
    return true;
}

void Recorder::armSilence()
{
    silenceTimer_->start(std::min(silence_.untilNext(), std::chrono::milliseconds(std::chrono::hours(24))));
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

void Recorder::tick()
{
    for (const auto &output : outputs_)
        output->tick();
    checkGone();
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

void Recorder::onSample()
{
    if (finished_)
        return;
    RowRecord record;
    record.frame = store_->newest();
    record.reading = decodeFrame(record.frame);
    record.time = Timestamp::now();
    record.seq = model_.addRow(record.reading, record.time);
    acquisition_.clearPending();
    silence_.restart();
    armSilence();

    for (const auto &output : outputs_)
        output->add(record);
    checkGone();
    if (finished_)
        return;

    if (options_.rows && model_.itemCount() >= *options_.rows)
        finish();
}

void Recorder::finish()
{
    if (finished_)
        return;
    finished_ = true;
    for (QTimer *timer : {ticker_, deadline_, silenceTimer_})
        if (timer)
            timer->stop();
    acquisition_.stop();
    if (simulator_)
        simulator_->stop();

    for (const auto &output : outputs_) {
        const ExportResult result = output->finish();
        if (!result.ok && !result.reported)
            outputFailed(QStringLiteral("the %1 was not written: %2").arg(output->name(), result.error));
    }
    if (model_.itemCount() == 0 && status_ == kDone) {
        say(QStringLiteral("no row was recorded from %1").arg(portShown_));
        status_ = kNoData;
    }
    emit finished(status_);
}
