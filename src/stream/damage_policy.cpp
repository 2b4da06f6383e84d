#include "stream/damage_policy.h"

#include <string>

namespace x91 {

Result DamagePolicy::weigh(std::uint64_t number, const Result& outcome) {
    if (outcome.ok()) {
        in_a_row_ = 0;
        return {};
    }
    Result told{outcome.status,
                "packet " + std::to_string(number + 1) + " is damaged: " + outcome.message};
    const bool damaged = outcome.status != Status::packet_unread_bytes;
    in_a_row_ = damaged ? in_a_row_ + 1 : 0;
    if (in_a_row_ == kMaxDamagedInARow) {
        stopped_ = true;
        told.status = Status::too_damaged;
        told.message +=
            "; stopped after " + std::to_string(kMaxDamagedInARow) + " damaged packets in a row";
    }
    return told;
}

void DamagePolicy::reset() {
    in_a_row_ = 0;
    stopped_ = false;
}

}  // namespace x91
