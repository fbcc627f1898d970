#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/MessageIcon.h"

namespace walkmere {

// One thing the surveyor is to be told: an OK box, and the sound that follows it.
struct Notice {
    std::string text;
    std::string caption; // empty: the application's title
    MessageIcon icon = MessageIcon::None;
    std::string soundAfter; // played to its end once the box is closed; empty for none
};

using Notices = std::vector<Notice>;

// How a fault is usually told: an exclamation box under the application's title.
inline Notice warningNotice(std::string text) {
    return {std::move(text), {}, MessageIcon::Exclamation, {}};
}

// What a survey-file operation did, and what the surveyor is to be told of it, in order.
// The operation shows nothing itself: the command that called it passes the notices on
// (tellSurveyor), at the point where the operation ran.
struct [[nodiscard]] StoreOutcome {
    bool done = false;
    Notices notices;

    explicit operator bool() const { return done; }
};

} // namespace walkmere
