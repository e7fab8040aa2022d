// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttOutput.h"

#include "HaDiscovery.h"
#include "JsonRow.h"
#include "MqttLink.h"
#include "StdoutFormats.h"

namespace {

// A broker is given this long to answer before it is told to be away.
constexpr auto kConnectGrace = std::chrono::seconds(2);
// At the end, how long the broker may take to acknowledge the next message,
// and the whole wait for the rest.
constexpr auto kFinishPatience = std::chrono::seconds(2);
constexpr auto kFinishLimit = std::chrono::seconds(15);

QString text(const std::string &s) { return QString::fromStdString(s); }

} // namespace

MqttOutput::MqttOutput(QString url, const OutputContext &context, std::size_t bound)
    : url_(std::move(url)), context_(context), bound_(bound ? bound : MqttLink::kDefaultBound)
{
    context_.rows = nullptr; // rows are taken one by one
}

MqttOutput::~MqttOutput() = default;

QString MqttOutput::name() const
{
    return config_ ? QStringLiteral("MQTT broker %1").arg(text(config_->address()))
                   : QStringLiteral("MQTT broker %1").arg(url_);
}

ExportResult MqttOutput::open()
{
    QString why;
    config_ = mqttConfig(url_, context_, &why);
    if (!config_)
        return ExportResult::failure(why);
    link_ = std::make_unique<MqttLink>(*config_, bound_);
    openedAt_ = std::chrono::steady_clock::now();
    if (const std::string problem = link_->start(); !problem.empty())
        return ExportResult::failure(text(problem));
    return ExportResult::success();
}

void MqttOutput::add(const RowRecord &row)
{
    const RowFields fields = rowFields(row);
    if (config_->haDiscovery && discoveryKey(fields) != discoveryKey_) {
        discoveryKey_ = discoveryKey(fields);
        for (const DiscoveryMessage &m :
             haDiscovery(fields, text(config_->prefix), instrumentName(context_.port)))
            link_->publish({MqttMessage::Discovery, true, m.topic.toStdString(), m.payload.toStdString()});
    }
    link_->publish({MqttMessage::Reading, false, {}, jsonRow(fields).toStdString()});
    report();
}

void MqttOutput::report()
{
    if (!link_)
        return;
    const MqttLink::State s = link_->state();
    if (s.connected) {
        if (toldAway_ || failing()) {
            const QString back = QStringLiteral("the %1 takes the rows again (%2 messages waiting)")
                                     .arg(name())
                                     .arg(s.waiting);
            failing() ? recovered(back) : tell(back);
        }
        toldAway_ = false;
        toldProblem_.clear();
    } else if (s.refused) {
        // Told once; libmosquitto tries again, backing off to once a minute.
        if (s.problem != toldProblem_) {
            const QString why = QStringLiteral("%1; the rows wait in memory and are sent once it takes them")
                                    .arg(text(s.problem));
            failing() ? tell(QStringLiteral("the %1: %2").arg(name(), why)) : failed(why);
            toldProblem_ = s.problem;
        }
    } else if (!toldAway_ && (s.connections > 0 || std::chrono::steady_clock::now() - openedAt_ >= kConnectGrace)) {
        tell(QStringLiteral("the %1 is away (%2); the rows wait in memory, up to %3, and are sent when it is back")
                 .arg(name(), s.problem.empty() ? QStringLiteral("no answer") : text(s.problem))
                 .arg(bound_));
        toldAway_ = true;
    }
    if (s.dropped > toldDropped_) {
        if (toldDropped_ == 0)
            failed(QStringLiteral("more than %1 rows waited for the broker: the oldest are dropped").arg(bound_));
        toldDropped_ = s.dropped;
    }
}

ExportResult MqttOutput::finish()
{
    if (!link_)
        return ExportResult::success();
    const MqttLink::State before = link_->state();
    const std::size_t left = link_->stop(before.connected ? kFinishPatience : std::chrono::seconds(0), kFinishLimit);
    const MqttLink::State after = link_->state();
    QStringList lost;
    if (after.dropped > 0)
        lost << QStringLiteral("%1 rows were dropped while the broker was away").arg(after.dropped);
    if (left > 0)
        lost << QStringLiteral("%1 messages were not delivered (%2)")
                    .arg(left)
                    .arg(after.problem.empty() ? QStringLiteral("the broker was away") : text(after.problem));
    if (lost.isEmpty())
        return ExportResult::success();
    return ExportResult::failure(lost.join(QStringLiteral("; ")));
}
