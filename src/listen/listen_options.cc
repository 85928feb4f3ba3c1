#include "listen/listen_options.h"

#include <charconv>
#include <limits>
#include <string_view>

namespace ravlet {
namespace {

template <typename Number>
bool parse_number(std::string_view text, Number min, Number max, Number& value)
{
    Number parsed{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed < min || parsed > max)
        return false;
    value = parsed;
    return true;
}

} // namespace

ListenOptionsResult parse_listen_options(int argc, const char* const* argv)
{
    ListenOptionsResult result;
    ListenOptions& options = result.options;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i] == nullptr ? std::string_view{} : argv[i];
        std::string_view name = argument;
        std::optional<std::string_view> attached;
        if (const auto equals = argument.find('='); argument.starts_with("--") && equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            attached = argument.substr(equals + 1);
        }
        auto fail = [&result](std::string message) {
            result.error = std::move(message);
            return result;
        };

        if (name == "--help" || name == "-h" || name == "--hex") {
            if (attached)
                return fail(std::string(name) + " takes no value (see --help)");
            (name == "--hex" ? options.hex : options.help) = true;
            continue;
        }
        if (name != "--title" && name != "--count" && name != "--reply" && name != "--delay-ms")
            return fail("unknown option '" + std::string(argument) + "' (see --help)");

        std::string_view value;
        if (attached) {
            value = *attached;
        } else if (i + 1 < argc && argv[i + 1] != nullptr) {
            value = argv[++i];
        } else {
            return fail(std::string(name) + " needs a value (see --help)");
        }

        if (name == "--title") {
            if (value.empty())
                return fail("--title needs a non-empty title");
            options.title = value;
        } else if (name == "--count") {
            std::uint64_t count = 0;
            if (!parse_number<std::uint64_t>(value, 1, std::numeric_limits<std::uint64_t>::max(), count))
                return fail("--count needs a whole number of at least 1, not '" + std::string(value) + "'");
            options.count = count;
        } else if (name == "--reply") {
            if (!parse_number<std::int64_t>(value, std::numeric_limits<std::int64_t>::min(),
                                            std::numeric_limits<std::int64_t>::max(), options.reply))
                return fail("--reply needs a whole number, not '" + std::string(value) + "'");
        } else {
            // Kept below 2^31 ms, what a single wait on either platform takes.
            if (!parse_number<std::uint32_t>(value, 0, 0x7FFFFFFF, options.delay_ms))
                return fail("--delay-ms needs a whole number of milliseconds, not '" + std::string(value) + "'");
        }
    }
    return result;
}

} // namespace ravlet
