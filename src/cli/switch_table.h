// The parsed command line: switch names mapped to their values.
//
// An argument is a switch when it is at least two bytes long, starts with a
// hyphen and its second byte is not an ASCII digit (so "-5" is a value).
// Plain arguments belong to the nearest switch before them; the one directly
// after a switch is dropped when empty; arguments before the first switch are
// ignored; a repeated switch adds no entry and loses its leading value.
#pragma once

#include "support/mbcs_compare.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ravlet {

using SwitchValues = std::vector<std::string>;

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
    // Returns the number of distinct switches.
    std::int32_t parse(std::int32_t argc, const char* const* argv);

    static bool is_switch(const char* argument);

    bool has_switch(std::string_view name) const;
    // -1 for an absent switch, otherwise the number of its values.
    std::int32_t value_count(std::string_view name) const;
    // Throws ValueMissing when the switch is absent or has no value at index.
    std::string value_at(std::string_view name, std::uint32_t index) const;

private:
    struct KeyLess {
        using is_transparent = void;
        const LeadBytes* lead_bytes;
        bool operator()(std::string_view a, std::string_view b) const
        {
            // Single-byte code pages compare plain unsigned bytes, inline.
            return lead_bytes->empty() ? a < b : mbcs_compare(a, b, *lead_bytes) < 0;
        }
    };

    const SwitchValues* find(std::string_view name) const;

    LeadBytes lead_bytes_;
    std::map<std::string, SwitchValues, KeyLess> entries_;
};

} // namespace ravlet
