// What the virtual module remembers of the card's issue state.
#pragma once

namespace fpm::sim {

struct CardState {
    bool issued = false;
    int issueRequests = 0;
};

}  // namespace fpm::sim
