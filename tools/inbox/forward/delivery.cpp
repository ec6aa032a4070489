#include "delivery.h"

namespace pushnote::inbox {

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
