#include "Recorder.h"

#include "Decode.h"
#include "OutputOptions.h"
#include "Simulator.h"
#include "StdoutOutput.h"

#include <QTimer>

Recorder::Recorder(RecorderOptions options, std::FILE *out, std::FILE *err, QObject *parent)
    : QObject(parent), options_(std::move(options)), out_(out), err_(err),
      store_(std::make_unique<SampleStore>()), acquisition_(*store_)
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
    context_.port = options_.port;
    context_.periodMs = options_.periodMs;
    context_.settings = options_.settings;
    for (const RecorderOptions::OutputChoice &choice : options_.outputs)
        outputs_.push_back(findOutputOption(choice.flag)->make(choice.value, context_));
    outputs_.push_back(std::make_unique<StdoutOutput>(out_));

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
    acquisition_.clearPending();

    if (options_.seconds) {
        deadline_ = new QTimer(this);
        deadline_->setSingleShot(true);
        connect(deadline_, &QTimer::timeout, this, &Recorder::finish);
        deadline_->start(std::chrono::seconds(*options_.seconds));
    }
    return true;
}

void Recorder::onSample()
{
    if (finished_)
        return;
    RowRecord record;
    record.frame = store_->newest();
    record.reading = toRow(decodeFrame(record.frame));
    record.time = Timestamp::now();
    record.seq = model_.addRow(record.reading, record.time);
    acquisition_.clearPending();

    for (const auto &output : outputs_)
        output->add(record);

    if (options_.rows && model_.itemCount() >= *options_.rows)
        finish();
}

void Recorder::finish()
{
    if (finished_)
        return;
    finished_ = true;
    if (deadline_)
        deadline_->stop();
    acquisition_.stop();
    if (simulator_)
        simulator_->stop();

    for (const auto &output : outputs_) {
        const ExportResult result = output->finish();
        if (!result.ok && !result.reported)
            outputFailed(QStringLiteral("the %1 was not written: %2").arg(output->name(), result.error));
    }
    emit finished(status_);
}
