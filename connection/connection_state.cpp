#include "connection/connection_state.h"

namespace fpm {

namespace {
ConnectionState g_state;
}

ConnectionState &state() { return g_state; }

}  // namespace fpm
