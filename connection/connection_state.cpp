#include "connection/connection_state.h"

#include "platform/no_destroy.h"

namespace fpm {

// Never destroyed: a worker may still poll while the process exits.
ConnectionState &state()
{
    static NoDestroy<ConnectionState> instance;
    return *instance;
}

}  // namespace fpm
