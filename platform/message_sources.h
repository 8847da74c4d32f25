#pragma once
// The sources a message queue asks before it answers, in registration
// order (platform/messages.h). Shared by the queues of both platforms.

#include <algorithm>
#include <vector>

#include "platform/messages.h"

namespace vexl::platform {

class MessageSourceList {
public:
    void add(MessageSource* source) { sources_.push_back(source); }
    void remove(MessageSource* source)
    {
        sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
    }

    // By index, without a copy (the loop peeks a thousand times a second):
    // a source may remove itself while pumping (its window closed), and then
    // the next one has moved into its place.
    void pump(MessageQueue& queue)
    {
        for (std::size_t i = 0; i < sources_.size();) {
            MessageSource* source = sources_[i];
            source->pump(queue);
            if (i < sources_.size() && sources_[i] == source)
                ++i;
        }
    }

private:
    std::vector<MessageSource*> sources_;  // the owner's thread only
};

}  // namespace vexl::platform
