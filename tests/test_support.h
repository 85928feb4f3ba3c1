// Helpers shared by the tests.
#pragma once

#include "ravlet_version.h"
#include "support/mbcs_compare.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ravlet::test {

// The test oracles: what the programs must print, written out here and not
// taken from the programs' own tables, so that the tests check those texts.

// The three banner lines, each ended by `eol` ("\n" on POSIX, "\r\n" on Windows).
inline std::string expected_banner(std::string_view eol)
{
    std::string text;
    for (std::string_view line : {std::string_view("ravlet " RAVLET_VERSION),
                                  std::string_view("Hands one message to the running Corvane NET messenger."),
                                  std::string_view(" ")})
        text.append(line).append(eol);
    return text;
}

// The nine lines of the usage block.
inline std::string expected_usage(std::string_view eol)
{
    std::string text;
    for (std::string_view line : {"required argument is missing.", " ", "usage:",
                                  "ravlet -r recipient -m \"message\"",
                                  "ravlet -r recipient1 recipient2 recipient3 -m \"message\"",
                                  "ravlet -r \"recipient name\" recipient2 recipient3 -m \"message\"",
                                  "optional: -p priority ( low / normal / high, default is normal )",
                                  "please type all switches in lower case to avoid mistakes.", " "})
        text.append(line).append(eol);
    return text;
}

// The lead bytes of a Shift-JIS-like double-byte code page (as code page 932).
inline LeadBytes shift_jis_like()
{
    LeadBytes lead;
    lead.add_range(0x81, 0x9F);
    lead.add_range(0xE0, 0xFC);
    return lead;
}

// A byte string as ravlet-listen quotes it: in double quotes, '"' and '\'
// escaped with a backslash, every byte that is not printable ASCII as \xNN.
inline std::string listener_quoted(std::string_view bytes)
{
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    std::string quoted = "\"";
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            quoted.append(1, '\\').append(1, c);
        else if (b >= 0x20 && b < 0x7F)
            quoted += c;
        else
            quoted.append("\\x").append(1, DIGITS[b >> 4]).append(1, DIGITS[b & 15]);
    }
    return quoted + "\"";
}

// ravlet-listen's line for a well-formed message, without its line end.
inline std::string listener_line(int number, std::string_view priority, const std::vector<std::string>& recipients,
                                 std::string_view text)
{
    std::string line = "#" + std::to_string(number) + " priority=" + std::string(priority) + " to=";
    for (std::size_t i = 0; i < recipients.size(); ++i)
        line += (i > 0 ? "," : "") + listener_quoted(recipients[i]);
    return line + " text=" + listener_quoted(text);
}

// "43 56 33 31" style: two upper-case hex digits per byte, blank-separated.
inline std::string to_hex(std::span<const std::uint8_t> bytes)
{
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    std::string hex;
    for (std::uint8_t b : bytes) {
        if (!hex.empty())
            hex += ' ';
        hex += DIGITS[b >> 4];
        hex += DIGITS[b & 15];
    }
    return hex;
}

inline std::string to_hex(std::string_view bytes)
{
    return to_hex({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
}

// The messages of a listener's output, each line "#<n> <message>" with n
// counting from 1; false when a line is out of sequence.
inline bool numbered_messages(const std::string& out, std::string_view line_end, std::vector<std::string>& messages)
{
    std::size_t at = 0;
    for (int sequence = 1; at < out.size(); ++sequence) {
        const std::size_t end = out.find(line_end, at);
        const std::string line = out.substr(at, end - at);
        const std::string prefix = "#" + std::to_string(sequence) + " ";
        if (end == std::string::npos || !line.starts_with(prefix))
            return false;
        messages.push_back(line.substr(prefix.size()));
        at = end + line_end.size();
    }
    return true;
}

} // namespace ravlet::test
