#include "connection/connection_state.h"

namespace fpm {

namespace {
// Never destroyed: a worker thread of the library may still use it while the process exits.
ConnectionState &g_state = *new ConnectionState;
}

ConnectionState &state() { return g_state; }

}  // namespace fpm
