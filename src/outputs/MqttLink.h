// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The connection to the MQTT broker: libmosquitto's client, its network loop
// on a thread of its own (mosquitto_loop_start), and the queue of messages
// waiting for the broker.
//
// Delivery is QoS 1 and in order. At most kWindow messages are handed to
// libmosquitto at a time (it resends them itself after a reconnect); the rest
// wait in the queue here, which the owner keeps short (rows beyond it wait
// in the recording file). Each acknowledgement lets the next message go,
// from the network thread, so a backlog drains at the broker's pace. After a
// reconnect nothing new goes out before the first resent message is
// acknowledged, so no message overtakes an older one. Readings carry their
// row's number; the link tells the last one up to which every reading has
// been acknowledged.
//
// What a consumer needs to know before the readings (the status, Home
// Assistant's configs) is sent first at every connection, since a broker
// restarted without persistence has forgotten it, and again when Home
// Assistant says it has started.
//
// libmosquitto's callbacks run on its thread and only record what happened
// in plain data under one mutex; the owner asks with state() and reports.
// No Qt here.

#include "MqttConfig.h"
#include "MqttTls.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct MqttMessage {
    enum Topic : std::uint8_t { Reading, Status, Discovery };
    Topic topic = Reading;
    bool retain = false;
    std::string subtopic; // the discovery message's own topic; empty otherwise
    std::string payload;
    std::int64_t seq = -1; // a reading's row number
};

struct mosquitto;
struct mosquitto_message;

class MqttLink {
public:
    static constexpr int kWindow = 64;
    static constexpr int kKeepAliveS = 30;
    static constexpr int kMaxReconnectDelayS = 60;

    explicit MqttLink(MqttConfig config);
    ~MqttLink();
    MqttLink(const MqttLink &) = delete;
    MqttLink &operator=(const MqttLink &) = delete;

    // Retained messages sent before everything else at every connection
    // and on Home Assistant's birth message (its discovery configs); call
    // before start().
    void setAnnouncements(std::vector<MqttMessage> messages);

    // Sets the client up (credentials, TLS, the Last Will "offline" on the
    // status topic) and starts connecting in the background; the status
    // ("online") is the first message. The reason when the client cannot be
    // set up (a certificate file that cannot be read); a broker that is
    // away is not an error here. Readings up to `deliveredSeq` were taken
    // by the broker before.
    std::string start(std::int64_t deliveredSeq = -1);
    // Queues a message; it goes out as soon as the broker takes it.
    void publish(MqttMessage message);
    // The retained status: "online", or "offline" while the instrument is
    // silent. Sent now and at every connection.
    void setStatus(const std::string &status);
    // The newest reading the owner has, sent or not: what a reconnection
    // finds waiting is counted from it.
    void noteNewest(std::int64_t seq);

    // Queues "offline", waits at most `limit` for the queue to drain, then
    // disconnects and ends the network thread.
    void stop(std::chrono::milliseconds limit);

    struct State {
        bool connected = false;
        int connections = 0;         // successful connections so far
        std::string problem;         // why the broker is not taking messages; empty when it is
        bool refused = false;        // the problem is the broker's refusal (or a bad certificate)
        std::size_t waiting = 0;     // queued here or handed over and not acknowledged
        std::int64_t deliveredSeq = -1; // every reading up to this row acknowledged (-1: none yet)
        std::int64_t waitingAtConnect = 0; // readings not yet acknowledged when the last connection was made
    };
    State state() const;

    std::string topic(MqttMessage::Topic topic) const;

private:
    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onPublish(mosquitto *, void *self, int mid);
    static void onLog(mosquitto *, void *self, int level, const char *text);
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message);

    // The announcements and the status, first in the queue; mutex held.
    void announceLocked();

    // Hands messages to libmosquitto while the window allows; mutex held.
    void pumpLocked();

    // The first connection, tried again (backing off) until it is under
    // way. libmosquitto retries a lost connection by itself, but a first
    // one refused at once leaves its thread waiting for a connect call. On
    // a thread of its own, since resolving the broker's name may take long.
    void connectFirst();

    const MqttConfig config_;
    std::unique_ptr<MqttTls> tls_; // outlives client_, whose handshakes call it
    mosquitto *client_ = nullptr;
    std::vector<MqttMessage> announcements_;
    bool loopStarted_ = false;
    std::thread connector_;
    std::condition_variable stopRequested_;

    struct InFlight {
        int mid;
        std::int64_t seq;
        bool acknowledged;
    };

    mutable std::mutex mutex_;
    std::deque<MqttMessage> queue_;
    std::deque<InFlight> inFlight_; // handed to libmosquitto, in order
    std::int64_t deliveredSeq_ = -1;
    std::int64_t newest_ = -1;
    std::int64_t waitingAtConnect_ = 0;
    std::string status_ = "online";
    bool connected_ = false;
    bool resumed_ = false;     // new messages may go out on this connection
    bool stopping_ = false;
    int connections_ = 0;
    std::string problem_;
    bool refused_ = false;
    std::string lastError_;    // libmosquitto's last error log line (TLS failures)
};
