// Helpers shared by the tests.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

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

} // namespace ravlet::test
