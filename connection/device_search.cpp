#include "connection/device_search.h"

#include "connection/connection_state.h"
#include "platform/device_io.h"

namespace fpm::connection {

const Patterns &modulePatterns()
{
    static const Patterns patterns{u"ven_wexa", u"prod_finger_module"};
    return patterns;
}

std::optional<std::u16string> callerString(const char16_t *text, std::size_t maxLength)
{
    if (!text) return std::nullopt;
    std::size_t length = 0;
    while (text[length]) {
        if (++length > maxLength) return std::nullopt;
    }
    return std::u16string(text, length);
}

std::optional<Patterns> callerPatterns(const char16_t *vendor, const char16_t *product)
{
    const std::u16string vendorPrefix = u"ven_", productPrefix = u"prod_";
    auto v = callerString(vendor, kPatternCapacity - 1 - vendorPrefix.size());
    auto p = callerString(product, kPatternCapacity - 1 - productPrefix.size());
    if (!v || !p) return std::nullopt;
    return Patterns{vendorPrefix + *v, productPrefix + *p};
}

bool matches(const Patterns &patterns, std::u16string_view path)
{
    return path.find(patterns.vendor) != std::u16string_view::npos &&
           path.find(patterns.product) != std::u16string_view::npos;
}

bool findInterfaces(const Patterns &patterns, const std::function<bool(const std::u16string &)> &onMatch,
                    std::size_t interfaceLimit)
{
    std::size_t examined = 0;
    return device::enumerateInterfaces([&](const std::u16string &path) {
        if (examined >= interfaceLimit) return false;
        const bool lastAllowed = ++examined == interfaceLimit;
        // A path that does not fit the buffer cannot be kept, and a cut one could name
        // another device: it is passed over.
        if (path.size() >= kPathCapacity || !matches(patterns, path)) return !lastAllowed;
        state().devicePath.store(path);
        return onMatch(path) && !lastAllowed;
    });
}

}  // namespace fpm::connection
