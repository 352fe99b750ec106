#include "virtual/virtual_config.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <sstream>

#include "sim/card_model.h"
#include "sim/finger_model.h"
#include "sim/product_info_model.h"

namespace fpm::dropin {

namespace {

std::string trim(std::string_view text)
{
    auto begin = text.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos) return {};
    auto end = text.find_last_not_of(" \t\r");
    return std::string(text.substr(begin, end - begin + 1));
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// A whole decimal or 0x-prefixed hexadecimal number within [low, high].
std::optional<long long> number(const std::string &text, long long low, long long high)
{
    std::string_view digits = text;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    long long value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    if (value < low || value > high) return std::nullopt;
    return value;
}

std::optional<bool> yesNo(const std::string &text)
{
    const std::string word = lower(text);
    if (word == "yes" || word == "true" || word == "on" || word == "1") return true;
    if (word == "no" || word == "false" || word == "off" || word == "0") return false;
    return std::nullopt;
}

// Items separated by commas or blanks.
std::vector<std::string> items(const std::string &text)
{
    std::string spaced = text;
    std::replace(spaced.begin(), spaced.end(), ',', ' ');
    std::istringstream in(spaced);
    std::vector<std::string> out;
    for (std::string item; in >> item;) out.push_back(item);
    return out;
}

// Reads one key; an empty string when the value fits, else what is wrong.
std::string readKey(const std::string &key, const std::string &value, VirtualConfig &c)
{
    auto setNumber = [&](int &field, long long low, long long high) -> std::string {
        auto n = number(value, low, high);
        if (!n) return "expects a number from " + std::to_string(low) + " to " + std::to_string(high);
        field = static_cast<int>(*n);
        return {};
    };
    if (key == "modules") return setNumber(c.modules, 0, 8);
    if (key == "width") return setNumber(c.width, 1, 255);
    if (key == "height") return setNumber(c.height, 1, 255);
    if (key == "bytes_per_pixel") {
        auto n = number(value, 1, 2);
        if (!n) return "expects 1 or 2";
        c.bytesPerPixel = static_cast<int>(*n);
        return {};
    }
    if (key == "device_list") {
        const std::string word = lower(value);
        if (word != "available" && word != "unavailable") return "expects available or unavailable";
        c.deviceListUnavailable = word == "unavailable";
        return {};
    }
    if (key == "firmware") {
        if (value.empty() || value.size() > 127) return "expects a text of 1 to 127 characters";
        c.firmware = value;
        return {};
    }
    if (key == "family") {
        if (value.size() != 2) return "expects two characters";
        c.family = std::pair{value[0], value[1]};
        return {};
    }
    if (key == "vendor_code") {
        auto n = number(value, 0, 0xFFFF);
        if (!n) return "expects a number from 0 to 0xFFFF";
        c.vendorCode = static_cast<std::uint16_t>(*n);
        return {};
    }
    if (key == "enrolled") {
        c.enrolled.clear();
        for (const std::string &item : items(value)) {
            auto colon = item.find(':');
            auto finger = number(item.substr(0, colon), 0, 255);
            auto captures = colon == std::string::npos ? std::optional<long long>(8)
                                                       : number(item.substr(colon + 1), 0, 255);
            if (!finger || !captures) return "expects FINGER:CAPTURES items (0 to 255 each), got '" + item + "'";
            c.enrolled.emplace_back(static_cast<std::uint8_t>(*finger), static_cast<std::uint8_t>(*captures));
        }
        return {};
    }
    if (key == "finger") {
        c.fingers.clear();
        for (const std::string &item : items(value)) {
            const std::string word = lower(item);
            if (word == "none") {
                c.fingers.push_back({Placement::Kind::None});
            } else if (word == "fake") {
                c.fingers.push_back({Placement::Kind::Fake});
            } else if (auto n = number(item, 0, 255)) {
                c.fingers.push_back({Placement::Kind::Finger, static_cast<std::uint8_t>(*n)});
            } else {
                return "expects finger indices (0 to 255), none or fake, got '" + item + "'";
            }
        }
        if (c.fingers.empty()) return "expects at least one finger";
        return {};
    }
    if (key == "busy_ticks") {
        int ticks = 0;
        std::string error = setNumber(ticks, 0, 600);
        if (error.empty()) c.busyTicks = ticks;
        return error;
    }
    if (key == "unplug_after") {
        auto n = number(value, 0, 1'000'000'000);
        if (!n) return "expects a number of commands from 0 to 1000000000";
        c.unplugAfter = static_cast<std::uint64_t>(*n);
        return {};
    }
    if (key == "card_issued") {
        auto yes = yesNo(value);
        if (!yes) return "expects yes or no";
        c.cardIssued = *yes;
        return {};
    }
    if (key == "replay") {
        if (value.empty()) return "expects the path of a trace file";
        c.replay = value;
        return {};
    }
    if (key.rfind("status.", 0) == 0) {
        auto code = number(key.substr(7), 0, 255);
        auto status = number(value, 0, 255);
        if (!code || !status) return "expects status.CODE = STATUS, both 0 to 255";
        c.statuses.emplace_back(static_cast<std::uint8_t>(*code), static_cast<std::uint8_t>(*status));
        return {};
    }
    return "unknown key";
}

}  // namespace

ParseResult parseConfig(const std::string &text)
{
    ParseResult result;
    std::istringstream in(text);
    int lineNumber = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        std::string content = trim(line);
        if (content.empty() || content[0] == '#' || content[0] == ';') continue;
        // One section for now; its header is allowed so that INI readers accept the file.
        if (content.front() == '[' && content.back() == ']') {
            if (lower(trim(std::string_view(content).substr(1, content.size() - 2))) == "module") continue;
            result.error = "line " + std::to_string(lineNumber) + ": unknown section " + content;
            return result;
        }
        auto equals = content.find('=');
        if (equals == std::string::npos) {
            result.error = "line " + std::to_string(lineNumber) + ": expected key = value";
            return result;
        }
        const std::string key = lower(trim(std::string_view(content).substr(0, equals)));
        const std::string value = trim(std::string_view(content).substr(equals + 1));
        std::string error = readKey(key, value, result.config);
        if (!error.empty()) {
            result.error = "line " + std::to_string(lineNumber) + ": " + key + ": " + error;
            return result;
        }
    }
    return result;
}

std::u16string modulePath(int n)
{
    std::u16string path = sim::kModulePath;
    if (n == 0) return path;
    // Further modules differ in their instance number, as a second card reader would.
    const std::u16string instance = u"&000001#";
    auto at = path.find(instance);
    path[at + 6] = static_cast<char16_t>(u'1' + n);
    return path;
}

void applyConfig(const VirtualConfig &config, sim::VirtualHost &host)
{
    host.addDecoy();
    for (int n = 0; n < config.modules; ++n) {
        sim::VirtualModule &module = host.addModule(modulePath(n));
        module.width = static_cast<std::uint8_t>(config.width);
        module.height = static_cast<std::uint8_t>(config.height);
        module.bytesPerPixel = static_cast<std::uint8_t>(config.bytesPerPixel);
        if (config.firmware) module.setFirmwareText(*config.firmware);
        if (config.family) {
            module.setFamilyCode(static_cast<std::uint8_t>(config.family->first),
                                 static_cast<std::uint8_t>(config.family->second));
        }
        if (config.vendorCode) module.part<sim::ProductInfoBlock>().setVendorCode(*config.vendorCode);
        auto &fingers = module.part<sim::FingerModel>();
        for (auto [finger, captures] : config.enrolled) fingers.enrolled[finger] = captures;
        if (config.busyTicks) fingers.busyPolls = *config.busyTicks;
        module.part<sim::CardState>().issued = config.cardIssued;
        for (auto [code, status] : config.statuses) module.answerAlways(code, sim::ScriptedReply::withStatus(status));
    }
    host.setDeviceListUnavailable(config.deviceListUnavailable);
}

}  // namespace fpm::dropin
