// Reads a traffic trace (the library's FPMODULE_TRACE output, docs/diagnostics.md):
// strictly, so that a truncated, damaged or newer trace is refused with the line that
// shows it rather than half-read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fpm::sim::trace {

inline constexpr int kReadableVersion = 1;

struct Header {
    int version = 0;
    std::string library, platform, backend;
    std::uint32_t bits = 0;
    long long dataLimit = -1;  // below 0: whole data phases
};

struct Record {
    std::size_t line = 0;  // 1-based, in the file
    std::uint64_t tUs = 0;
    std::uint32_t thread = 0;
    std::string exportName;  // empty: outside any export
    std::array<std::uint8_t, 16> cdb{};
    bool dataIn = false;
    std::uint32_t asked = 0, carried = 0;
    std::vector<std::uint8_t> data;
    bool dataCut = false;
    bool ok = false;
    std::uint8_t scsiStatus = 0;
    std::vector<std::uint8_t> sense;
    std::uint32_t osError = 0;
    std::uint64_t durationUs = 0;
};

struct Trace {
    Header header;
    std::vector<Record> records;
};

struct ReadResult {
    std::optional<Trace> trace;
    std::string error;  // "line N: what is wrong" when the trace is refused
};

ReadResult parse(std::string_view text);
ReadResult readFile(const std::filesystem::path &path);

}  // namespace fpm::sim::trace
