// Little-endian integers in byte buffers, written and read with explicit
// shifts, so the layout never depends on the host or on struct padding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ravlet {

// Writes the low `width` bytes of `value` at `at`, least significant first.
inline void write_le(std::uint8_t* at, std::uint64_t value, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Reads `width` bytes at `at`, least significant first.
inline std::uint64_t read_le(const std::uint8_t* at, std::size_t width)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value |= std::uint64_t{at[i]} << (8 * i);
    return value;
}

} // namespace ravlet
