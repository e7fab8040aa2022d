#include "Recorder.h"

#include "CsvExport.h"
#include "Decode.h"
#include "Simulator.h"
#include "SpreadsheetExport.h"
#include "TextExport.h"

#include <QTime>
#include <QTimer>

Recorder::Recorder(RecorderOptions options, std::FILE *out, std::FILE *err, QObject *parent)
    : QObject(parent), options_(std::move(options)), out_(out), err_(err),
      store_(std::make_unique<SampleStore>()), acquisition_(*store_)
{
    connect(&acquisition_, &Acquisition::sampleReady, this, &Recorder::onSample);
    connect(&acquisition_, &Acquisition::portStatus, this, [this](const QString &text) {
        std::fprintf(err_, "breezon-record: %s\n", qPrintable(text));
        std::fflush(err_);
    });
}

Recorder::~Recorder()
{
    acquisition_.stop();
}

void Recorder::fileFailed(const QString &what, const QString &path, const QString &why)
{
    std::fprintf(err_, "breezon-record: the %s %s was not written: %s\n", qPrintable(what), qPrintable(path),
                 qPrintable(why));
    std::fflush(err_);
    if (status_ == kDone)
        status_ = kFileError;
}

bool Recorder::start()
{
    QString port = options_.port;
    if (options_.demo) {
        simulator_ = std::make_unique<Simulator>();
        std::string why;
        if (!simulator_->open(&why) || !simulator_->start()) {
            std::fprintf(err_, "breezon-record: open port error: the simulated instrument cannot start: %s\n",
                         why.c_str());
            status_ = kPortError;
            return false;
        }
        port = QString::fromStdString(simulator_->slavePath());
    }

    QString why;
    if (acquisition_.start(port, options_.periodMs, &why) != Acquisition::StartResult::Started) {
        std::fprintf(err_, "breezon-record: open port error: %s: %s\n", qPrintable(port), qPrintable(why));
        status_ = kPortError;
        return false;
    }
    acquisition_.clearPending();

    // A file that cannot be created is reported; the others are still written.
    if (!options_.txt.isEmpty() && !txt_.open(options_.txt))
        fileFailed(QStringLiteral("text file"), options_.txt, txt_.error());
    if (!options_.csv.isEmpty()) {
        if (!csv_.open(options_.csv) || !csv_.append(csvHeader()))
            fileFailed(QStringLiteral("CSV file"), options_.csv, csv_.error());
    }

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
    const int row = model_.addRow(toRow(decodeFrame(store_->newest())), QTime::currentTime());
    acquisition_.clearPending();

    // The files first: a row that was printed is already in them.
    const QString line = textLine(model_, row);
    if (txt_.isOpen() && !txt_.append(textLineBytes(line)))
        fileFailed(QStringLiteral("text file"), options_.txt, txt_.error());
    if (csv_.isOpen() && !csv_.append(csvRecord(model_, row)))
        fileFailed(QStringLiteral("CSV file"), options_.csv, csv_.error());

    const QByteArray printed = line.chopped(2).toUtf8() + '\n';
    std::fwrite(printed.constData(), 1, std::size_t(printed.size()), out_);
    std::fflush(out_);

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

    // Failures seen earlier were reported when they happened.
    auto closeLive = [this](LiveFile &file, const QString &what) {
        const bool reported = file.failed();
        if (!file.close() && !reported)
            fileFailed(what, file.path(), file.error());
    };
    closeLive(txt_, QStringLiteral("text file"));
    closeLive(csv_, QStringLiteral("CSV file"));

    if (!options_.xls.isEmpty()) {
        SpreadsheetHooks hooks;
        hooks.status = [](const QString &) {};
        hooks.message = [this](const QString &text) {
            std::fprintf(err_, "breezon-record: %s\n", qPrintable(text));
        };
        const ExportResult result = exportSpreadsheet(model_, options_.xls, hooks);
        if (!result.ok)
            fileFailed(QStringLiteral("spreadsheet file"), options_.xls, result.error);
    }
    emit finished(status_);
}
