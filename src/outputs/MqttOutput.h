// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// `--mqtt URL`: every row published to an MQTT broker as one JSON object on
// PREFIX/reading (QoS 1), "online"/"offline" retained on PREFIX/status (and
// "offline" as the Last Will, so a dead recorder shows as offline), and with
// `--ha-discovery` Home Assistant's discovery messages.
//
// A broker that is away costs nothing but memory: the rows wait in order
// (MqttLink) and go when it is back. What happens is told from add() and
// tick(), on the owner's thread: the broker away and back once each time, a
// refusal (wrong password, not authorised, untrusted certificate) once with
// its reason, dropped rows with their count.

#include "MqttConfig.h"
#include "Output.h"

#include <chrono>
#include <cstdint>
#include <memory>

class MqttLink;

class MqttOutput : public Output {
public:
    MqttOutput(QString url, const OutputContext &context, std::size_t bound = 0);
    ~MqttOutput() override;

    QString name() const override;
    ExportResult open() override;
    void add(const RowRecord &row) override;
    ExportResult finish() override;
    void tick() override { report(); }

private:
    void report();

    QString url_;
    OutputContext context_;
    std::size_t bound_;
    std::optional<MqttConfig> config_;
    std::unique_ptr<MqttLink> link_;
    std::chrono::steady_clock::time_point openedAt_;
    QString discoveryKey_;
    bool toldAway_ = false;
    std::string toldProblem_;
    std::uint64_t toldDropped_ = 0;
};
