#include "cli/script_options.h"
#include "support/hex_digits.h"

#include <charconv>
#include <cstring>

namespace ravlet {
namespace {

// A value as a refusal shows it: quoted, and cut short when long.
std::string shown(std::string_view value)
{
    constexpr std::size_t MOST = 60;
    return "'" + std::string(value.substr(0, MOST)) + (value.size() > MOST ? "'..." : "'");
}

// The one value of a switch that takes exactly one, or the refusal.
std::optional<std::string> single_value(const SwitchTable& table, const char* name, std::string& value)
{
    const std::int32_t count = table.value_count(name);
    if (count < 1)
        return std::string(name) + " needs a value";
    if (count > 1)
        return std::string(name) + " takes one value; " + shown(table.value_at(name, 1)) + " is one too many";
    value = table.value_at(name, 0);
    return std::nullopt;
}

std::optional<std::string> read_milliseconds(const SwitchTable& table, const char* name, std::uint32_t min,
                                             std::uint32_t& ms)
{
    std::string value;
    if (std::optional<std::string> refusal = single_value(table, name, value))
        return refusal;
    std::uint32_t parsed = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), parsed);
    if (value.empty() || error != std::errc() || end != value.data() + value.size() || parsed < min ||
        parsed > MAX_MILLISECONDS)
        return std::string(name) + " needs a whole number of milliseconds from " + std::to_string(min) + " to " +
               std::to_string(MAX_MILLISECONDS) + ", not " + shown(value);
    ms = parsed;
    return std::nullopt;
}

} // namespace

LongSwitchScan scan_long_switches(int argc, const char* const* argv)
{
    LongSwitchScan scan;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument != nullptr && argument[0] == '-' && argument[1] == '-') {
            scan.any = true;
            if (std::strcmp(argument, QUIET_SWITCH) == 0)
                scan.quiet = true;
        }
    }
    return scan;
}

std::optional<std::string> read_script_options(const SwitchTable& table, ScriptOptions& options)
{
    if (table.value_count(QUIET_SWITCH) > 0)
        return std::string(QUIET_SWITCH) + " takes no value, but was given " + shown(table.value_at(QUIET_SWITCH, 0));
    if (table.has_switch(TIMEOUT_SWITCH)) {
        std::uint32_t ms = 0;
        if (std::optional<std::string> refusal = read_milliseconds(table, TIMEOUT_SWITCH, 1, ms))
            return refusal;
        options.timeout_ms = ms;
    }
    if (table.has_switch(WAIT_SWITCH)) {
        if (std::optional<std::string> refusal = read_milliseconds(table, WAIT_SWITCH, 0, options.wait_ms))
            return refusal;
    }
    if (table.has_switch(TEXT_FILE_SWITCH)) {
        if (table.has_switch("-m"))
            return std::string(TEXT_FILE_SWITCH) + " and -m cannot be given together";
        if (table.value_count(TEXT_FILE_SWITCH) < 1)
            return std::string(TEXT_FILE_SWITCH) + " needs a path, or - for standard input";
        std::string path;
        if (std::optional<std::string> refusal = single_value(table, TEXT_FILE_SWITCH, path))
            return refusal;
        options.text_file = std::move(path);
    }
    return std::nullopt;
}

std::string on_one_line(std::string_view text)
{
    std::string line;
    line.reserve(text.size());
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            line += "\\x";
            append_hex_byte(line, b);
        } else {
            line += c;
        }
    }
    return line;
}

std::optional<std::string> file_text_to_message(std::string& bytes, std::string_view source)
{
    if (const std::size_t nul = bytes.find('\0'); nul != std::string::npos)
        return "the text in " + std::string(source) + " holds a NUL byte at offset " + std::to_string(nul) +
               ", which a message cannot carry";
    if (bytes.ends_with("\r\n"))
        bytes.resize(bytes.size() - 2);
    else if (bytes.ends_with('\n'))
        bytes.resize(bytes.size() - 1);
    return std::nullopt;
}

} // namespace ravlet
