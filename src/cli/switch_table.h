// The parsed command line: switch names mapped to their values.
//
// An argument is a switch when it is at least two bytes long, starts with a
// hyphen and its second byte is not an ASCII digit (so "-5" is a value).
// Plain arguments belong to the nearest switch before them; the one directly
// after a switch is dropped when empty; arguments before the first switch are
// ignored; a repeated switch adds no entry and loses its leading value.
#pragma once

#include "support/arena.h"
#include "support/mbcs_compare.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ravlet {

// The table's own copies of the values, kept in its arena.
using SwitchValues = std::vector<std::string_view, ArenaAllocator<std::string_view>>;

// Raised by value_at for an absent switch or an index past the last value.
struct ValueMissing {
    int code = 0;
};

class SwitchTable {
public:
    explicit SwitchTable(const LeadBytes& lead_bytes = LeadBytes{});
    // The key order refers to lead_bytes_, so a table stays where it was made.
    SwitchTable(const SwitchTable&) = delete;
    SwitchTable& operator=(const SwitchTable&) = delete;

    // Replaces the table's contents with the switches of argv[1..argc).
    // Returns the number of distinct switches. The table keeps copies:
    // argv may go away once this returns.
    std::int32_t parse(std::int32_t argc, const char* const* argv);

    static bool is_switch(const char* argument);

    bool has_switch(std::string_view name) const;
    // -1 for an absent switch, otherwise the number of its values.
    std::int32_t value_count(std::string_view name) const;
    // Throws ValueMissing when the switch is absent or has no value at index.
    std::string value_at(std::string_view name, std::uint32_t index) const;
    // As value_at, without the copy.
    std::string_view value_view(std::string_view name, std::uint32_t index) const;
    // The values of a switch, or null when it is absent: one lookup for all.
    const SwitchValues* values(std::string_view name) const { return find(name); }

private:
    struct KeyLess {
        using is_transparent = void;
        const LeadBytes* lead_bytes;
        bool operator()(std::string_view a, std::string_view b) const
        {
            // Single-byte code pages compare plain unsigned bytes, inline:
            // switch names are short, and a call to memcmp costs more.
            if (!lead_bytes->empty())
                return mbcs_compare(a, b, *lead_bytes) < 0;
            const std::size_t common = a.size() < b.size() ? a.size() : b.size();
            for (std::size_t i = 0; i < common; ++i) {
                if (a[i] != b[i])
                    return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
            }
            return a.size() < b.size();
        }
    };

    const SwitchValues* find(std::string_view name) const;

    // A copy of `text` in the arena.
    std::string_view keep(std::string_view text);

    // Names, values, nodes and lists all come from one arena that grows in
    // large steps: a short command line costs one allocation, not one per
    // string, switch and list.
    static constexpr std::size_t ARENA_FIRST_BLOCK = 1024;

    LeadBytes lead_bytes_;
    using Entries = std::map<std::string_view, SwitchValues, KeyLess,
                             ArenaAllocator<std::pair<const std::string_view, SwitchValues>>>;
    Arena arena_;
    Entries entries_;
};

} // namespace ravlet
