// Helpers shared by the tests.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ravlet::test {

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
