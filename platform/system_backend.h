// What each host backend provides behind the replaceable clock and files of system.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"

namespace fpm::sys::backend {

std::uint64_t nowMs();
bool sleepUntil(std::uint64_t deadlineMs, const std::atomic<std::uint8_t> *cancel);
void wakeSleepers();

void createDirectory(const std::u16string &path);
std::optional<std::vector<DirectoryEntry>> listDirectory(const std::u16string &folder);
bool deleteFile(const std::u16string &path);
bool appendExclusive(const std::u16string &path, const std::string &bytes);

}  // namespace fpm::sys::backend
