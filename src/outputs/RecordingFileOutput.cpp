// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingFileOutput.h"

#include <QCoreApplication>
#include <QFile>
#include <QSysInfo>

#include <chrono>
#include <filesystem>

RecordingFileOutput::RecordingFileOutput(QString path, const OutputContext &context, Mode mode)
    : path_(std::move(path)), fileName_(QFile::encodeName(path_).toStdString()), mode_(mode)
{
    const QString program = QCoreApplication::instance() ? QCoreApplication::applicationName() : QString();
    facts_ = {
        {"started", Timestamp::now().isoText().toStdString()},
        {"port", context.port.toStdString()},
        {"period_ms", std::to_string(context.periodMs)},
        {"program", program.isEmpty() ? std::string("breezon") : program.toStdString()},
        {"version", BREEZON_VERSION},
        {"host", QSysInfo::machineHostName().toStdString()},
    };
    if (!context.instrument.isEmpty())
        facts_.push_back({"name", context.instrument.toStdString()});
}

RecordingFileOutput::~RecordingFileOutput()
{
    settle();
}

bool RecordingFileOutput::openWriter(std::string *why)
{
    if (!writer_.isOpen()) {
        if (mode_ == Mode::Background) {
            std::error_code ignored; // a folder that cannot be made fails the open, which says why
            std::filesystem::create_directories(std::filesystem::path(fileName_).parent_path(), ignored);
        }
        if (!writer_.open(fileName_, why))
            return false;
    }
    if (!factsNoted_)
        factsNoted_ = writer_.noteStart(facts_, why);
    return factsNoted_;
}

// Writes the queue's rows in order, the lock released around each write (the
// owner only ever adds at the back, which leaves the front row in place).
void RecordingFileOutput::drain(std::unique_lock<std::mutex> &lock)
{
    Shared &s = shared_;
    std::string why;
    lock.unlock();
    bool ok = openWriter(&why);
    lock.lock();
    while (ok && !s.queue.empty()) {
        const StoredRow &row = s.queue.front();
        lock.unlock();
        ok = writer_.write(row, &why);
        lock.lock();
        if (ok)
            s.queue.pop_front();
    }
    s.failing = !ok;
    if (!ok)
        s.why = why;
}

ExportResult RecordingFileOutput::open()
{
    if (mode_ == Mode::Background) {
        if (!thread_.joinable())
            thread_ = std::thread([this] { run(); });
        return ExportResult::success();
    }
    std::string why;
    const bool opened = openWriter(&why);
    created_ = writer_.made(); // by its exclusive create: no other program's file
    if (!opened) {
        discard();
        return ExportResult::failure(QString::fromStdString(why));
    }
    return ExportResult::success();
}

std::int64_t RecordingFileOutput::delivered(const std::string &destination) const
{
    return writer_.delivered(destination);
}

void RecordingFileOutput::noteDelivered(const std::string &destination, std::int64_t seq)
{
    writer_.noteDelivered(destination, seq);
}

void RecordingFileOutput::discard()
{
    if (mode_ != Mode::Synchronous || !created_)
        return;
    // Removed while still locked, so no other writer takes it meanwhile.
    for (const char *helper : {"", "-journal"})
        QFile::remove(path_ + QLatin1String(helper));
    writer_.close();
    created_ = false;
}

std::size_t RecordingFileOutput::waiting()
{
    std::lock_guard lock(shared_.mutex);
    return shared_.queue.size();
}

QString RecordingFileOutput::failure()
{
    std::lock_guard lock(shared_.mutex);
    return shared_.failing ? QString::fromStdString(shared_.why) : QString();
}

void RecordingFileOutput::divert(const QString &path)
{
    path_ = path;
    {
        std::lock_guard lock(shared_.mutex);
        shared_.divertTo = QFile::encodeName(path).toStdString();
    }
    shared_.wake.notify_one();
}

void RecordingFileOutput::run()
{
    Shared &s = shared_;
    std::unique_lock lock(s.mutex);
    for (;;) {
        if (!s.divertTo.empty()) {
            fileName_ = std::move(s.divertTo);
            s.divertTo.clear();
            lock.unlock();
            writer_.close();
            lock.lock();
            factsNoted_ = false;
        }
        drain(lock);
        if (s.abandon || (s.finishing && s.queue.empty()))
            break;
        const unsigned long seen = s.added;
        const auto woken = [&] {
            return s.abandon || s.added != seen || (s.finishing && !s.failing) || !s.divertTo.empty();
        };
        // While failing, a second passes between tries when no row comes.
        if (s.failing)
            s.wake.wait_for(lock, std::chrono::seconds(1), woken);
        else
            s.wake.wait(lock, woken);
    }
    lock.unlock();
    writer_.close();
    lock.lock();
    s.ended = true;
}

void RecordingFileOutput::report()
{
    std::unique_lock lock(shared_.mutex);
    const bool failingNow = shared_.failing;
    const QString why = QString::fromStdString(shared_.why);
    lock.unlock();
    if (failingNow)
        failed(why);
    else
        recovered(QStringLiteral("the %1 is written again, with every row kept meanwhile").arg(name()));
}

void RecordingFileOutput::add(const RowRecord &row)
{
    StoredRow stored = storedRow(row);
    {
        std::unique_lock lock(shared_.mutex);
        shared_.queue.push_back(std::move(stored));
        ++shared_.added;
        if (mode_ == Mode::Synchronous)
            drain(lock);
    }
    shared_.wake.notify_one();
    report();
}

void RecordingFileOutput::tick()
{
    if (mode_ == Mode::Synchronous) {
        std::unique_lock lock(shared_.mutex);
        if (!shared_.queue.empty())
            drain(lock);
        else
            writer_.writeMarks(nullptr); // a failure waits for the next row or tick
    }
    report();
}

ExportResult RecordingFileOutput::finish()
{
    if (mode_ == Mode::Background) {
        {
            std::lock_guard lock(shared_.mutex);
            shared_.finishing = true;
        }
        shared_.wake.notify_one();
        return ExportResult::success();
    }
    std::unique_lock lock(shared_.mutex);
    if (!shared_.queue.empty())
        drain(lock);
    const std::size_t lost = shared_.queue.size();
    std::string why = shared_.why;
    lock.unlock();
    std::string marksWhy;
    const bool marksKept = writer_.writeMarks(&marksWhy) || !writer_.isOpen();
    writer_.close();
    if (!marksKept && lost == 0)
        return ExportResult::failure(
            QStringLiteral("the outbox could not be kept: %1").arg(QString::fromStdString(marksWhy)));
    if (lost > 0)
        return ExportResult::failure(
            QStringLiteral("%1 rows were never written: %2").arg(lost).arg(QString::fromStdString(why)));
    return ExportResult::success();
}

bool RecordingFileOutput::ended()
{
    std::lock_guard lock(shared_.mutex);
    return shared_.ended;
}

int RecordingFileOutput::settle()
{
    if (thread_.joinable()) { // the Background mode's writer
        {
            std::lock_guard lock(shared_.mutex);
            shared_.finishing = true;
            shared_.abandon = true;
        }
        shared_.wake.notify_one();
        thread_.join();
    }
    return int(waiting());
}
