// The module's command codes and reply statuses by name, for reading traces.
#pragma once

#include <cstdint>
#include <string>

namespace fpm::cli {

// "ENROLL_REQUEST", ...; "CMD_0x5A" for a code the table does not hold.
std::string commandName(std::uint8_t code);
// "OK", "BUSY", ...; "STATUS_n" for another.
std::string statusName(std::uint8_t status);

}  // namespace fpm::cli
