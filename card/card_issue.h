// The card's issue state: issue it, ask it, or issue it on a worker thread that reports
// to a callback and then closes the module.
#pragma once

#include <cstdint>

#include "connection/result.h"
#include "fpmodule.h"
#include "transport/command_row.h"

namespace fpm::card {

inline constexpr std::uint8_t kCmdIssueCard = 0x36;
inline constexpr std::uint8_t kCmdCheckCardIssued = 0x37;

extern const transport::CommandRow kIssueCard;
// Output: reply byte 2 (1 issued, anything else not issued).
extern const transport::CommandRow kCheckCardIssued;

// 1 with *issued set to 1 or 0; 2 with nothing stored (also for a null pointer, with
// nothing sent).
ResultByte checkCardIssued(unsigned char *issued);

// 2 started (also when no thread could be made: then nothing follows), 16 an issue
// procedure still runs (nothing changed). A null callback is allowed: the card is then
// issued and the module closed without a report.
ResultByte beginIssueCardProcedure(ResultCallback callback);

}  // namespace fpm::card
