// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttQueue.h"

#include <algorithm>

void MqttQueue::push(MqttMessage message)
{
    readings_ += message.topic == MqttMessage::Reading;
    messages_.push_back(std::move(message));
    if (readings_ <= bound_)
        return;
    const auto oldest = std::find_if(messages_.begin(), messages_.end(),
                                     [](const MqttMessage &m) { return m.topic == MqttMessage::Reading; });
    if (oldest != messages_.end()) {
        messages_.erase(oldest);
        --readings_;
        ++dropped_;
    }
}
