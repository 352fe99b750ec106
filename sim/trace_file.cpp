#include "sim/trace_file.h"

#include <fstream>
#include <map>
#include <sstream>

namespace fpm::sim::trace {

namespace {

// No data phase of the library comes near this; a larger count is damage.
constexpr std::uint64_t kMaxLength = 16u << 20;

// One value of a flat JSON object: a string, a whole number, true, false or null.
struct Value {
    enum class Kind { String, Number, Bool, Null } kind;
    std::string text;
    long long number = 0;
    bool flag = false;
};

class LineParser {
public:
    explicit LineParser(std::string_view line) : s_(line) {}

    // The object's members, or an error.
    bool object(std::map<std::string, Value> &out, std::string &error)
    {
        if (!take('{')) return fail(error, "not a JSON object");
        if (take('}')) return end(error);
        for (;;) {
            std::string key;
            if (!string(key)) return fail(error, "a member name was expected");
            if (!take(':')) return fail(error, "':' was expected after \"" + key + "\"");
            Value value{};
            if (!parseValue(value)) return fail(error, "the value of \"" + key + "\" is not readable");
            if (!out.emplace(key, std::move(value)).second) return fail(error, "\"" + key + "\" appears twice");
            if (take(',')) continue;
            if (take('}')) return end(error);
            return fail(error, "',' or '}' was expected");
        }
    }

private:
    std::string_view s_;
    std::size_t at_ = 0;

    static bool fail(std::string &error, std::string what)
    {
        error = std::move(what);
        return false;
    }
    bool end(std::string &error)
    {
        return at_ == s_.size() ? true : fail(error, "text after the object");
    }
    bool take(char c)
    {
        if (at_ < s_.size() && s_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool word(std::string_view w)
    {
        if (s_.substr(at_, w.size()) != w) return false;
        at_ += w.size();
        return true;
    }
    // The writer escapes nothing: names and hex only, so a backslash or control
    // character is refused.
    bool string(std::string &out)
    {
        if (!take('"')) return false;
        const std::size_t start = at_;
        while (at_ < s_.size() && s_[at_] != '"') {
            const auto c = static_cast<unsigned char>(s_[at_]);
            if (c < 0x20 || c == '\\' || c >= 0x7F) return false;
            ++at_;
        }
        if (at_ == s_.size()) return false;
        out.assign(s_.substr(start, at_ - start));
        ++at_;
        return true;
    }
    bool parseValue(Value &v)
    {
        if (at_ < s_.size() && s_[at_] == '"') {
            v.kind = Value::Kind::String;
            return string(v.text);
        }
        if (word("true") || word("false")) {
            v.kind = Value::Kind::Bool;
            v.flag = s_[at_ - 1] == 'e' && s_[at_ - 4] == 't';
            return true;
        }
        if (word("null")) {
            v.kind = Value::Kind::Null;
            return true;
        }
        v.kind = Value::Kind::Number;
        const bool negative = take('-');
        const std::size_t start = at_;
        long long n = 0;
        while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') {
            if (n > (1LL << 53)) return false;
            n = n * 10 + (s_[at_++] - '0');
        }
        if (at_ == start || (s_[start] == '0' && at_ - start > 1)) return false;
        v.number = negative ? -n : n;
        return true;
    }
};

class Fields {
public:
    Fields(std::map<std::string, Value> members, std::string &error) : m_(std::move(members)), error_(error) {}

    bool text(const char *key, std::string &out) { return get(key, Value::Kind::String, [&](const Value &v) { out = v.text; }); }
    bool flag(const char *key, bool &out) { return get(key, Value::Kind::Bool, [&](const Value &v) { out = v.flag; }); }
    template <typename T>
    bool number(const char *key, T &out, long long low, long long high)
    {
        bool inRange = true;
        if (!get(key, Value::Kind::Number, [&](const Value &v) {
                inRange = v.number >= low && v.number <= high;
                out = static_cast<T>(v.number);
            }))
            return false;
        return inRange || fail(std::string("\"") + key + "\" is out of range");
    }
    bool hex(const char *key, std::vector<std::uint8_t> &out)
    {
        std::string digits;
        if (!text(key, digits)) return false;
        if (digits.size() % 2) return fail(std::string("\"") + key + "\" has an odd number of hex digits");
        out.resize(digits.size() / 2);
        for (std::size_t i = 0; i < digits.size(); ++i) {
            const int d = digit(digits[i]);
            if (d < 0) return fail(std::string("\"") + key + "\" is not lower-case hex");
            out[i / 2] = static_cast<std::uint8_t>(i % 2 ? (out[i / 2] | d) : d << 4);
        }
        return true;
    }
    // A name or null.
    bool optionalText(const char *key, std::string &out)
    {
        auto it = m_.find(key);
        if (it != m_.end() && it->second.kind == Value::Kind::Null) {
            m_.erase(it);
            out.clear();
            return true;
        }
        return text(key, out);
    }
    // Every member read, none left over: an unknown one means another format.
    bool done()
    {
        return m_.empty() || fail("unknown member \"" + m_.begin()->first + "\"");
    }
    bool fail(std::string what)
    {
        error_ = std::move(what);
        return false;
    }

private:
    std::map<std::string, Value> m_;
    std::string &error_;

    static int digit(char c)
    {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    }
    template <typename Apply>
    bool get(const char *key, Value::Kind kind, Apply apply)
    {
        auto it = m_.find(key);
        if (it == m_.end()) return fail(std::string("\"") + key + "\" is missing");
        if (it->second.kind != kind) return fail(std::string("\"") + key + "\" has the wrong type");
        apply(it->second);
        m_.erase(it);
        return true;
    }
};

bool readHeader(Fields f, Header &h)
{
    std::string kind;
    if (!f.text("trace", kind)) return false;
    if (kind != "fpmodule") return f.fail("not a trace of this library");
    if (!f.number("version", h.version, 1, 1 << 30)) return false;
    if (h.version > kReadableVersion) {
        return f.fail("trace format version " + std::to_string(h.version) + " is newer than this reader's " +
                      std::to_string(kReadableVersion));
    }
    return f.text("library", h.library) && f.text("platform", h.platform) && f.number("bits", h.bits, 8, 128) &&
           f.text("backend", h.backend) && f.number("data_limit", h.dataLimit, -1, 1LL << 40) && f.done();
}

bool readRecord(Fields f, Record &r)
{
    std::vector<std::uint8_t> cdb;
    std::string direction;
    if (!(f.number("t_us", r.tUs, 0, 1LL << 53) && f.number("thread", r.thread, 0, UINT32_MAX) &&
          f.optionalText("export", r.exportName) && f.hex("cdb", cdb) && f.text("dir", direction) &&
          f.number("asked", r.asked, 0, kMaxLength) && f.number("carried", r.carried, 0, kMaxLength) &&
          f.hex("data", r.data) && f.flag("data_cut", r.dataCut) && f.flag("ok", r.ok) &&
          f.number("scsi_status", r.scsiStatus, 0, 255) && f.hex("sense", r.sense) &&
          f.number("os_error", r.osError, 0, UINT32_MAX) && f.number("dur_us", r.durationUs, 0, 1LL << 53) &&
          f.done()))
        return false;
    if (cdb.size() != r.cdb.size()) return f.fail("\"cdb\" is not 16 bytes");
    std::copy(cdb.begin(), cdb.end(), r.cdb.begin());
    if (direction != "in" && direction != "out") return f.fail("\"dir\" is neither \"in\" nor \"out\"");
    r.dataIn = direction == "in";
    if (r.carried > r.asked) return f.fail("more bytes carried than asked");
    if (r.sense.size() > 32) return f.fail("\"sense\" is longer than 32 bytes");
    // The data phase as the writer keeps it: what was sent, or what arrived on success.
    const std::size_t whole = r.dataIn ? (r.ok ? r.carried : 0) : r.asked;
    if (r.data.size() > whole || (!r.dataCut && r.data.size() != whole)) {
        return f.fail("\"data\" holds " + std::to_string(r.data.size()) + " bytes where " + std::to_string(whole) +
                      " were carried");
    }
    return true;
}

}  // namespace

ReadResult parse(std::string_view text)
{
    ReadResult result;
    Trace trace;
    std::size_t line = 0;
    std::size_t at = 0;
    auto refuse = [&](const std::string &what) {
        result.error = "line " + std::to_string(line) + ": " + what;
        return result;
    };
    while (at < text.size()) {
        ++line;
        const std::size_t end = text.find('\n', at);
        // Each record ends with its line end: a line without one was cut short.
        if (end == std::string_view::npos) return refuse("the line is cut short (no line end)");
        std::string_view content = text.substr(at, end - at);
        at = end + 1;
        std::map<std::string, Value> members;
        std::string error;
        if (!LineParser(content).object(members, error)) return refuse(error);
        Fields fields(std::move(members), error);
        if (line == 1) {
            if (!readHeader(std::move(fields), trace.header)) return refuse(error);
            continue;
        }
        Record record;
        record.line = line;
        if (!readRecord(std::move(fields), record)) return refuse(error);
        trace.records.push_back(std::move(record));
    }
    if (line == 0) {
        line = 1;
        return refuse("the trace is empty (no header)");
    }
    result.trace = std::move(trace);
    return result;
}

ReadResult readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return {std::nullopt, "cannot be read"};
    std::ostringstream content;
    content << in.rdbuf();
    return parse(content.str());
}

}  // namespace fpm::sim::trace
