// String comparisons over the process's ANSI code page.
//
// Arguments arrive as byte strings in the ANSI code page. In a double-byte
// code page a character is either one byte, or a lead byte together with the
// byte after it. Which bytes lead comes from the platform, so this code stays
// portable and testable with any table.
#pragma once

#include <bitset>
#include <cstdint>
#include <string_view>

namespace ravlet {

// The lead bytes of a code page. Empty for single-byte code pages.
class LeadBytes {
public:
    constexpr LeadBytes() = default;

    void add_range(std::uint8_t first, std::uint8_t last)
    {
        for (unsigned b = first; b <= last; ++b)
            bits_.set(b);
        empty_ = bits_.none();
    }
    bool contains(unsigned char byte) const { return bits_.test(byte); }
    // Kept apart: every key comparison asks it first.
    bool empty() const { return empty_; }

private:
    std::bitset<256> bits_;
    bool empty_ = true;
};

// Case-sensitive, character by character: the first differing character
// decides by its unsigned value (lead * 256 + trail for a double-byte one);
// a lead byte directly followed by the end of the string ends the string.
// Returns <0, 0 or >0.
int mbcs_compare(std::string_view a, std::string_view b, const LeadBytes& lead_bytes);

// True when `text` compares equal to the empty string: it is empty, or one
// lone lead byte, which reads as the end of the string.
inline bool mbcs_equals_empty(std::string_view text, const LeadBytes& lead_bytes)
{
    return text.empty() || (text.size() == 1 && lead_bytes.contains(static_cast<unsigned char>(text[0])));
}

// As mbcs_compare, but the ASCII letters A-Z of single-byte characters compare
// equal to a-z. Double-byte characters compare exactly.
bool mbcs_equal_ignoring_case(std::string_view a, std::string_view b, const LeadBytes& lead_bytes);

} // namespace ravlet
