#include "delivery.h"

#include <chrono>

namespace pushnote::inbox {

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

const char* StateName(Delivery::State state) {
    switch (state) {
        case Delivery::State::Queued:
            return "queued";
        case Delivery::State::Delivered:
            return "delivered";
        case Delivery::State::Failed:
            return "failed";
    }
    return "failed";
}

std::optional<Delivery::State> StateFromName(const std::string& name) {
    for (auto state :
         {Delivery::State::Queued, Delivery::State::Delivered, Delivery::State::Failed}) {
        if (name == StateName(state)) return state;
    }
    return std::nullopt;
}

}  // namespace pushnote::inbox
