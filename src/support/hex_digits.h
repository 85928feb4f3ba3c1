// Bytes as upper-case hexadecimal digits, for messages that show bytes.
#pragma once

#include <string>

namespace ravlet {

// The digit for a value from 0 to 15.
inline char hex_digit(unsigned nibble)
{
    return "0123456789ABCDEF"[nibble & 15];
}

// Appends the byte's two digits to `out`.
inline void append_hex_byte(std::string& out, unsigned char byte)
{
    out += hex_digit(byte >> 4);
    out += hex_digit(byte);
}

} // namespace ravlet
