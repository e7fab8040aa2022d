// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// `--mqtt URL`: every row published to an MQTT broker as one JSON object on
// PREFIX/reading (QoS 1); retained on PREFIX/status "online", or "offline"
// while the instrument is silent, when the run ends and as the Last Will (so
// a dead recorder shows as offline); with `--ha-discovery` Home Assistant's
// discovery configs.
//
// The run's recording file is the outbox: it keeps how far the broker has
// acknowledged the rows, and the rows not yet acknowledged are read back
// from it. So a broker away for a week costs no memory and loses nothing,
// and rows left when a run ends (or the power goes) are sent by the next
// start, or by `--from RECORDING --mqtt URL`, in order. Delivery is at least
// once: a row's `seq` with the instrument's name lets a consumer drop a
// repeat.
//
// What happens is told from add() and tick(), on the owner's thread: the
// broker away and back once each time, a refusal (wrong password, not
// authorised, untrusted certificate) once with its reason.

#include "MqttConfig.h"
#include "Output.h"
#include "RecordingFileReader.h"

#include <chrono>
#include <cstdint>
#include <memory>

class MqttLink;

class MqttOutput : public Output {
public:
    // How long the end of a run waits for a broker that takes nothing,
    // unless --mqtt-wait says otherwise.
    static constexpr std::chrono::seconds kDefaultWait{10};
    // Rows waiting in memory for the broker; the rest wait in the recording.
    static constexpr std::size_t kHeld = 1024;

    MqttOutput(QString url, const OutputContext &context);
    ~MqttOutput() override;

    QString name() const override;
    ExportResult open() override;
    void add(const RowRecord &row) override;
    ExportResult finish() override;
    void tick() override;
    void instrumentSilent(bool silent) override;
    bool needsRecording() const override { return true; }

private:
    void pump(const RowRecord *fresh);
    void publish(const RowRecord &row);
    void noteDelivered();
    void report();

    QString url_;
    OutputContext context_;
    std::optional<MqttConfig> config_;
    std::unique_ptr<MqttLink> link_;
    std::string destination_; // the outbox's key: mqtt[s]://HOST:PORT/PREFIX
    RecordingFileReader outbox_;
    std::int64_t next_ = 0;  // the next row to hand to the link
    std::int64_t last_ = -1; // the last row the recording holds
    std::int64_t noted_ = -1;
    std::chrono::seconds wait_ = kDefaultWait;
    std::chrono::steady_clock::time_point openedAt_;
    bool toldAway_ = false;
    std::string toldProblem_;
    QString toldOutbox_; // the last failure to read the outbox told
};
