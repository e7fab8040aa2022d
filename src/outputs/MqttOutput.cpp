// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttOutput.h"

#include "HaDiscovery.h"
#include "JsonRow.h"
#include "MqttLink.h"

#include <thread>

namespace {

// A broker is given this long to answer before it is told to be away.
constexpr auto kConnectGrace = std::chrono::seconds(2);
// At the very end, how long "offline" may take.
constexpr auto kGoodbye = std::chrono::seconds(2);

QString text(const std::string &s) { return QString::fromStdString(s); }

} // namespace

MqttOutput::MqttOutput(QString url, const OutputContext &context) : url_(std::move(url)), context_(context) {}

MqttOutput::~MqttOutput() = default;

QString MqttOutput::name() const
{
    return QStringLiteral("MQTT broker %1").arg(config_ ? text(config_->address()) : withoutPassword(url_));
}

ExportResult MqttOutput::open()
{
    QString why;
    config_ = mqttConfig(url_, context_, &why);
    if (!config_)
        return ExportResult::failure(why);
    const QString wait = context_.settings.value(QStringLiteral("--mqtt-wait"));
    if (!wait.isEmpty()) {
        bool ok = false;
        const int seconds = wait.toInt(&ok);
        if (!ok || seconds < 0 || seconds > 86400)
            return ExportResult::failure(QStringLiteral("--mqtt-wait takes whole seconds from 0 to 86400, not '%1'")
                                             .arg(wait));
        wait_ = std::chrono::seconds(seconds);
    }
    destination_ = (config_->tls ? "mqtts://" : "mqtt://") + config_->address() + '/' + config_->prefix;
    // Where the broker left off: rows after that are sent first, from the
    // recording, before the run's own.
    if (!context_.spine)
        return ExportResult::failure(QStringLiteral("there is no recording file to keep its outbox in"));
    if (const ExportResult r = outbox_.open(context_.spine->path()); !r.ok)
        return ExportResult::failure(QStringLiteral("its outbox %1 cannot be read: %2").arg(context_.spine->path(), r.error));
    noted_ = context_.spine->delivered(destination_);
    next_ = noted_ + 1;
    last_ = outbox_.lastSeq();
    link_ = std::make_unique<MqttLink>(*config_);
    if (config_->haDiscovery) {
        std::vector<MqttMessage> configs;
        for (const DiscoveryMessage &m :
             haDiscovery({text(config_->prefix), context_.instrument, context_.periodMs}))
            configs.push_back({MqttMessage::Discovery, true, m.topic.toStdString(), m.payload.toStdString()});
        link_->setAnnouncements(std::move(configs));
    }
    link_->noteNewest(last_);
    openedAt_ = std::chrono::steady_clock::now();
    if (const std::string problem = link_->start(noted_); !problem.empty())
        return ExportResult::failure(text(problem));
    if (last_ >= next_)
        tell(QStringLiteral("the %1 gets the %2 rows it has not taken yet first").arg(name()).arg(last_ - next_ + 1));
    pump(nullptr);
    return ExportResult::success();
}

void MqttOutput::publish(const RowRecord &row)
{
    link_->publish({MqttMessage::Reading, false, {},
                    jsonRow(rowFields(row), context_.instrument, context_.host).toStdString(), row.seq});
}

// Hands rows to the link in order while few wait in memory: the fresh row
// itself when it is the next, else the next ones read back from the
// recording.
void MqttOutput::pump(const RowRecord *fresh)
{
    while (next_ <= last_ && link_->state().waiting < kHeld) {
        if (fresh && fresh->seq == next_) {
            publish(*fresh);
            ++next_;
            continue;
        }
        outbox_.seek(next_, last_);
        RowRecord row;
        std::size_t room = kHeld - link_->state().waiting;
        bool any = false;
        while (room-- > 0 && outbox_.next(row)) {
            publish(row);
            next_ = row.seq + 1;
            any = true;
        }
        if (!any) {
            // Not in the file yet, or the read failed: a later tick tries
            // again. A failure is told, once for each cause.
            const QString why = outbox_.error();
            if (!why.isEmpty() && why != toldOutbox_)
                tell(QStringLiteral("its outbox %1 cannot be read: %2; its rows wait there")
                         .arg(context_.spine->path(), why));
            toldOutbox_ = why;
            break;
        }
    }
}

void MqttOutput::add(const RowRecord &row)
{
    last_ = std::max<std::int64_t>(last_, row.seq);
    link_->noteNewest(last_);
    if (row.seq < next_)
        return; // taken by the broker before (a recording sent again)
    pump(&row);
    noteDelivered();
    report();
}

void MqttOutput::tick()
{
    if (!link_)
        return;
    pump(nullptr);
    noteDelivered();
    report();
}

void MqttOutput::instrumentSilent(bool silent)
{
    if (link_)
        link_->setStatus(silent ? "offline" : "online");
}

void MqttOutput::noteDelivered()
{
    const std::int64_t delivered = link_->state().deliveredSeq;
    if (delivered > noted_) {
        noted_ = delivered;
        context_.spine->noteDelivered(destination_, noted_);
    }
}

void MqttOutput::report()
{
    const MqttLink::State s = link_->state();
    if (s.connected) {
        if (toldAway_ || failing()) {
            const QString back = QStringLiteral("the %1 takes the rows again (%2 rows waited for it)")
                                     .arg(name())
                                     .arg(s.waitingAtConnect);
            failing() ? recovered(back) : tell(back);
        }
        toldAway_ = false;
        toldProblem_.clear();
    } else if (s.refused) {
        // Told once; libmosquitto tries again, backing off to once a minute.
        if (s.problem != toldProblem_) {
            const QString why =
                QStringLiteral("%1; the rows wait in the recording and are sent once it takes them").arg(text(s.problem));
            failing() ? tell(QStringLiteral("the %1: %2").arg(name(), why)) : failed(why);
            toldProblem_ = s.problem;
        }
    } else if (!toldAway_ && (s.connections > 0 || std::chrono::steady_clock::now() - openedAt_ >= kConnectGrace)) {
        tell(QStringLiteral("the %1 is away (%2); the rows wait in the recording and are sent when it is back")
                 .arg(name(), s.problem.empty() ? QStringLiteral("no answer") : text(s.problem)));
        toldAway_ = true;
    }
}

ExportResult MqttOutput::finish()
{
    if (!link_)
        return ExportResult::success();
    // The rest goes out while the broker takes it; a broker that takes
    // nothing for `wait_` leaves it in the outbox.
    using Clock = std::chrono::steady_clock;
    auto progressAt = Clock::now();
    std::int64_t seen = link_->state().deliveredSeq;
    while (link_->state().deliveredSeq < last_) {
        pump(nullptr);
        noteDelivered();
        report(); // a broker back meanwhile is told
        const std::int64_t now = link_->state().deliveredSeq;
        if (now != seen) {
            seen = now;
            progressAt = Clock::now();
        } else if (Clock::now() - progressAt >= wait_) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    noteDelivered();
    report(); // a broker back and drained within the last pause
    link_->stop(kGoodbye);
    const std::int64_t left = last_ - noted_;
    if (left > 0)
        tell(QStringLiteral("%1 rows wait in the outbox of %2 for the %3 (%4); the next start sends them")
                 .arg(left)
                 .arg(context_.spine->path(), name())
                 .arg(link_->state().problem.empty() ? QStringLiteral("it took nothing for %1 s").arg(wait_.count())
                                                     : text(link_->state().problem)));
    return ExportResult::success();
}
