// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttLink.h"

#include "HaDiscovery.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// libmosquitto's texts end in a full stop; ours go on after them.
std::string withoutStop(std::string text)
{
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    return text;
}

std::string errorText(int rc)
{
    return rc == MOSQ_ERR_ERRNO ? std::string(std::strerror(errno)) : withoutStop(mosquitto_strerror(rc));
}

// Why a connection ended; `error` is errno as the failure left it.
std::string lostBecause(int rc, int error)
{
    switch (rc) {
    case MOSQ_ERR_CONN_LOST:
        return "the broker closed it";
    case MOSQ_ERR_KEEPALIVE:
        return "the broker stopped answering (nothing for " + std::to_string(MqttLink::kKeepAliveS * 3 / 2) + " s)";
    case MOSQ_ERR_ERRNO:
        return error ? std::string(std::strerror(error)) : std::string("the network failed");
    case MOSQ_ERR_PROTOCOL:
    case MOSQ_ERR_MALFORMED_PACKET:
        return "the broker sent what MQTT does not allow";
    case MOSQ_ERR_TLS:
        return "a TLS error";
    default:
        return withoutStop(mosquitto_strerror(rc)) + " (libmosquitto error " + std::to_string(rc) + ")";
    }
}

} // namespace

MqttLink::MqttLink(MqttConfig config) : config_(std::move(config)) {}

MqttLink::~MqttLink()
{
    if (connector_.joinable())
        stop(std::chrono::milliseconds(0));
    if (client_)
        mosquitto_destroy(client_);
}

void MqttLink::setAnnouncements(std::vector<MqttMessage> messages)
{
    announcements_ = std::move(messages);
}

std::string MqttLink::topic(MqttMessage::Topic topic) const
{
    return config_.prefix + (topic == MqttMessage::Status ? "/status" : "/reading");
}

std::string MqttLink::start(std::int64_t deliveredSeq)
{
    deliveredSeq_ = deliveredSeq;
    static std::once_flag initialised;
    std::call_once(initialised, [] { mosquitto_lib_init(); });

    client_ = mosquitto_new(nullptr, true, this);
    if (!client_)
        return "the MQTT client cannot be made: " + std::string(std::strerror(errno));
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_int_option(client_, MOSQ_OPT_SEND_MAXIMUM, kWindow);
    // Each row is one small packet: sent at once, not held back to be
    // joined with the next (which, with delayed acknowledgements, stalls a
    // backlog's drain at a few hundred messages a second).
    mosquitto_int_option(client_, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_reconnect_delay_set(client_, 1, kMaxReconnectDelayS, true);
    mosquitto_connect_callback_set(client_, onConnect);
    mosquitto_disconnect_callback_set(client_, onDisconnect);
    mosquitto_publish_callback_set(client_, onPublish);
    mosquitto_log_callback_set(client_, onLog);

    if (!config_.user.empty()) {
        const int rc = mosquitto_username_pw_set(client_, config_.user.c_str(),
                                                 config_.password ? config_.password->c_str() : nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return "the MQTT user name cannot be used: " + errorText(rc);
    }
    const std::string status = topic(MqttMessage::Status);
    if (const int rc = mosquitto_will_set(client_, status.c_str(), 7, "offline", 1, true); rc != MOSQ_ERR_SUCCESS)
        return "the MQTT status topic " + status + " cannot be used: " + errorText(rc);
    if (config_.tls) {
        tls_ = std::make_unique<MqttTls>();
        if (std::string why = tls_->setUp(config_.caFile, config_.host); !why.empty())
            return why;
        // Our context as it is: libmosquitto's defaults would replace its check.
        mosquitto_int_option(client_, MOSQ_OPT_SSL_CTX_WITH_DEFAULTS, 0);
        if (const int rc = mosquitto_void_option(client_, MOSQ_OPT_SSL_CTX, tls_->context()); rc != MOSQ_ERR_SUCCESS)
            return "TLS cannot be used: " + errorText(rc);
    }
    if (!announcements_.empty())
        mosquitto_message_callback_set(client_, onMessage);
    connector_ = std::thread([this] { connectFirst(); });
    return {};
}

// The first connection is begun on a thread of its own (a host name can take
// long to resolve), and libmosquitto's network thread starts only once it is
// under way: the two threads never work on the connection at the same time.
// From then on that thread reconnects by itself.
void MqttLink::connectFirst()
{
    for (int delayS = 1;; delayS = std::min(delayS * 2, kMaxReconnectDelayS)) {
        const int rc = mosquitto_connect_async(client_, config_.host.c_str(), config_.port, kKeepAliveS);
        if (rc == MOSQ_ERR_SUCCESS) {
            // Read by stop() once this thread is joined.
            const int started = mosquitto_loop_start(client_);
            loopStarted_ = started == MOSQ_ERR_SUCCESS;
            if (!loopStarted_) {
                std::lock_guard lock(mutex_);
                problem_ = "the MQTT network thread cannot start: " + errorText(started);
            }
            return;
        }
        const std::string why = errorText(rc);
        std::unique_lock lock(mutex_);
        if (stopping_)
            return;
        if (!refused_) // a TLS error's own words came by the log already
            problem_ = why;
        if (stopRequested_.wait_for(lock, std::chrono::seconds(delayS), [this] { return stopping_; }))
            return;
    }
}

void MqttLink::publish(MqttMessage message)
{
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(message));
    pumpLocked();
}

void MqttLink::setStatus(const std::string &status)
{
    std::lock_guard lock(mutex_);
    if (status == status_)
        return;
    status_ = status;
    queue_.push_back({MqttMessage::Status, true, {}, status_});
    pumpLocked();
}

void MqttLink::noteNewest(std::int64_t seq)
{
    std::lock_guard lock(mutex_);
    newest_ = std::max(newest_, seq);
}

void MqttLink::announceLocked()
{
    // Those still queued from before are superseded: retained, only the
    // last of each counts, and they would take the readings' room.
    std::erase_if(queue_, [](const MqttMessage &m) { return m.topic != MqttMessage::Reading; });
    queue_.push_front({MqttMessage::Status, true, {}, status_});
    for (auto it = announcements_.rbegin(); it != announcements_.rend(); ++it)
        queue_.push_front(*it);
}

void MqttLink::pumpLocked()
{
    while (connected_ && resumed_ && int(inFlight_.size()) < kWindow && !queue_.empty()) {
        const MqttMessage &m = queue_.front();
        const std::string name = m.topic == MqttMessage::Discovery ? m.subtopic : topic(m.topic);
        int mid = 0;
        const int rc =
            mosquitto_publish(client_, &mid, name.c_str(), int(m.payload.size()), m.payload.data(), 1, m.retain);
        // A connection lost meanwhile keeps the message in libmosquitto,
        // which sends it again after the reconnect.
        if (rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN) {
            inFlight_.push_back({mid, m.seq, false});
        } else {
            problem_ = "a message to " + name + " was not accepted: " + errorText(rc);
            inFlight_.push_back({mid, m.seq, true}); // never coming: not waited for
        }
        queue_.pop_front();
    }
}

void MqttLink::stop(std::chrono::milliseconds limit)
{
    if (!connector_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({MqttMessage::Status, true, {}, "offline"});
        pumpLocked();
    }
    const auto until = std::chrono::steady_clock::now() + limit;
    while (state().waiting > 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopRequested_.notify_all();
    connector_.join();
    // A clean disconnect: the broker forgets the Last Will ("offline" went
    // out above, when the broker was there to take it).
    mosquitto_disconnect(client_);
    if (loopStarted_)
        mosquitto_loop_stop(client_, false);
    loopStarted_ = false;
}

MqttLink::State MqttLink::state() const
{
    std::lock_guard lock(mutex_);
    State s;
    s.connected = connected_;
    s.connections = connections_;
    s.problem = problem_;
    s.refused = refused_;
    s.waiting = queue_.size() + inFlight_.size();
    s.deliveredSeq = deliveredSeq_;
    s.waitingAtConnect = waitingAtConnect_;
    return s;
}

void MqttLink::onConnect(mosquitto *, void *self, int rc)
{
    auto *link = static_cast<MqttLink *>(self);
    std::lock_guard lock(link->mutex_);
    if (rc != 0) {
        link->refused_ = true;
        link->problem_ = "the broker refused the connection (" + withoutStop(mosquitto_connack_string(rc)) + ")";
        if (rc == 4 || rc == 5) // bad user name or password, not authorised
            link->problem_ += ": check --mqtt-user and the password";
        return;
    }
    link->connected_ = true;
    link->refused_ = false;
    link->problem_.clear();
    link->lastError_.clear();
    ++link->connections_;
    link->waitingAtConnect_ = std::max<std::int64_t>(0, link->newest_ - link->deliveredSeq_);
    // A restarted broker may have lost them; a clean session its subscriptions.
    link->announceLocked();
    if (!link->announcements_.empty())
        mosquitto_subscribe(link->client_, nullptr, kHaStatusTopic, 1);
    // Messages libmosquitto still holds are sent again once this callback
    // returns; new ones wait for the first acknowledgement so as not to
    // overtake them.
    link->resumed_ = link->inFlight_.empty();
    link->pumpLocked();
}

void MqttLink::onDisconnect(mosquitto *, void *self, int rc)
{
    const int error = errno;
    auto *link = static_cast<MqttLink *>(self);
    std::lock_guard lock(link->mutex_);
    const bool wasConnected = link->connected_;
    link->connected_ = false;
    link->resumed_ = false;
    if (rc != 0 && !link->stopping_ && !link->refused_)
        link->problem_ = !link->lastError_.empty() ? link->lastError_
                         : wasConnected            ? "the connection was lost: " + lostBecause(rc, error)
                                                   : lostBecause(rc, error);
}

void MqttLink::onMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *link = static_cast<MqttLink *>(self);
    if (!message->payload || std::string(message->topic) != kHaStatusTopic ||
        std::string(static_cast<const char *>(message->payload), std::size_t(message->payloadlen)) != "online")
        return;
    // Home Assistant has started and knows nothing of the retained configs
    // it may have missed.
    std::lock_guard lock(link->mutex_);
    link->announceLocked();
    link->pumpLocked();
}

void MqttLink::onPublish(mosquitto *, void *self, int mid)
{
    auto *link = static_cast<MqttLink *>(self);
    std::lock_guard lock(link->mutex_);
    auto &flight = link->inFlight_;
    const auto it = std::find_if(flight.begin(), flight.end(), [mid](const InFlight &f) { return f.mid == mid; });
    if (it != flight.end())
        it->acknowledged = true;
    // Only what every message before it has too counts as delivered.
    while (!flight.empty() && flight.front().acknowledged) {
        if (flight.front().seq >= 0)
            link->deliveredSeq_ = flight.front().seq;
        flight.pop_front();
    }
    link->resumed_ = true;
    link->pumpLocked();
}

void MqttLink::onLog(mosquitto *, void *self, int level, const char *text)
{
    if (!(level & MOSQ_LOG_ERR) || !text)
        return;
    auto *link = static_cast<MqttLink *>(self);
    std::lock_guard lock(link->mutex_);
    link->lastError_ = text;
    // A certificate the client does not trust is the broker's refusal too:
    // it will not change by trying again soon.
    if (link->lastError_.find("OpenSSL") != std::string::npos) {
        // OpenSSL's own lines follow our check's finding; they say less.
        const std::string check = link->tls_ ? link->tls_->takeFailure() : std::string();
        if (!check.empty())
            link->problem_ = "TLS: " + check;
        else if (link->problem_.rfind("TLS: ", 0) != 0)
            link->problem_ = "TLS: " + link->lastError_;
        link->refused_ = true;
        link->lastError_ = link->problem_;
    }
}
