// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The messages waiting for the broker, oldest first: bounded, so a broker
// away for days costs a known amount of memory. The bound counts readings;
// beyond it the oldest reading goes (and is counted). Retained messages
// (status, discovery) are few and stay, so a broker that comes back still
// learns them.
//
// Plain data, no lock and no Qt: MqttLink guards it.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

struct MqttMessage {
    enum Topic : std::uint8_t { Reading, Status, Discovery };
    Topic topic = Reading;
    bool retain = false;
    std::string subtopic; // the discovery message's own topic; empty otherwise
    std::string payload;
};

class MqttQueue {
public:
    explicit MqttQueue(std::size_t bound) : bound_(bound) {}

    // Adds `message` at the end; drops the oldest reading when more than
    // `bound` readings wait.
    void push(MqttMessage message);
    bool empty() const { return messages_.empty(); }
    std::size_t size() const { return messages_.size(); }
    MqttMessage &front() { return messages_.front(); }
    void pop()
    {
        readings_ -= messages_.front().topic == MqttMessage::Reading;
        messages_.pop_front();
    }
    // Readings dropped so far.
    std::uint64_t dropped() const { return dropped_; }

private:
    std::size_t bound_;
    std::deque<MqttMessage> messages_;
    std::size_t readings_ = 0;
    std::uint64_t dropped_ = 0;
};
