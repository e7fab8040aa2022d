#include "MqttQueue.h"

#include <algorithm>

void MqttQueue::push(MqttMessage message)
{
    messages_.push_back(std::move(message));
    if (messages_.size() <= bound_)
        return;
    const auto oldest = std::find_if(messages_.begin(), messages_.end(),
                                     [](const MqttMessage &m) { return m.topic == MqttMessage::Reading; });
    if (oldest != messages_.end()) {
        messages_.erase(oldest);
        ++dropped_;
    }
}
