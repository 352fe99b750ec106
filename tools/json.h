// Just enough JSON for the tool's --json output: one object or array, written as it goes.
#pragma once

#include <cstdio>
#include <string>

namespace fpm::cli {

// `text` as a JSON string literal.
inline std::string jsonString(const std::string &text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// Members of one JSON object, each value already in JSON form.
class JsonObject {
public:
    JsonObject &add(const std::string &key, const std::string &jsonValue)
    {
        text_ += (text_.empty() ? "" : ", ") + jsonString(key) + ": " + jsonValue;
        return *this;
    }
    JsonObject &add(const std::string &key, long long number) { return add(key, std::to_string(number)); }
    JsonObject &add(const std::string &key, bool flag) { return add(key, std::string(flag ? "true" : "false")); }
    JsonObject &addText(const std::string &key, const std::string &text) { return add(key, jsonString(text)); }
    std::string str() const { return "{" + text_ + "}"; }

private:
    std::string text_;
};

// Elements already in JSON form, as an array.
template <typename Range>
std::string jsonArray(const Range &elements)
{
    std::string out = "[";
    for (const auto &e : elements) out += (out.size() > 1 ? ", " : "") + e;
    return out + "]";
}

}  // namespace fpm::cli
