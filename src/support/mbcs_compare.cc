#include "support/mbcs_compare.h"

namespace ravlet {
namespace {

constexpr std::uint32_t END_OF_STRING = 0xFFFFFFFF;

// Reads the character at `pos` and advances past it; END_OF_STRING when the
// string is used up, including a lone lead byte as its last byte.
std::uint32_t next_char(std::string_view s, std::size_t& pos, const LeadBytes& lead_bytes)
{
    if (pos >= s.size())
        return END_OF_STRING;
    auto first = static_cast<unsigned char>(s[pos]);
    if (!lead_bytes.contains(first)) {
        pos += 1;
        return first;
    }
    if (pos + 1 >= s.size()) {
        pos = s.size();
        return END_OF_STRING;
    }
    auto second = static_cast<unsigned char>(s[pos + 1]);
    pos += 2;
    return (std::uint32_t{first} << 8) | second;
}

std::uint32_t fold_ascii(std::uint32_t c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

template <typename Fold>
int compare_with(std::string_view a, std::string_view b, const LeadBytes& lead_bytes, Fold fold)
{
    std::size_t pa = 0;
    std::size_t pb = 0;
    for (;;) {
        std::uint32_t ca = next_char(a, pa, lead_bytes);
        std::uint32_t cb = next_char(b, pb, lead_bytes);
        if (ca == END_OF_STRING || cb == END_OF_STRING) {
            if (ca == cb)
                return 0;
            return ca == END_OF_STRING ? -1 : 1;
        }
        ca = fold(ca);
        cb = fold(cb);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
}

} // namespace

int mbcs_compare(std::string_view a, std::string_view b, const LeadBytes& lead_bytes)
{
    if (lead_bytes.empty())
        return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1); // plain unsigned bytes
    return compare_with(a, b, lead_bytes, [](std::uint32_t c) { return c; });
}

bool mbcs_equal_ignoring_case(std::string_view a, std::string_view b, const LeadBytes& lead_bytes)
{
    return compare_with(a, b, lead_bytes, fold_ascii) == 0;
}

} // namespace ravlet
