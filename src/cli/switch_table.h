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
    // The table owns the arena its entries point into.
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
    // A switch and its values. Entries stay where the arena put them, so a
    // pointer to one holds while more switches arrive.
    struct Entry {
        std::string_view key; // the name as it compares: see key_of
        std::uint32_t hash;
        SwitchValues values;
    };

    // The part of a name that decides equality: all of it, except a lone
    // lead byte at its end, which reads as the end of the string.
    std::string_view key_of(std::string_view name) const;
    static std::uint32_t hash_of(std::string_view key);

    const SwitchValues* find(std::string_view name) const;
    // The slot that holds `key`, or the empty slot where it belongs.
    Entry** slot_for(std::string_view key, std::uint32_t hash) const;
    void grow_slots();

    // A copy of `text` in the arena.
    std::string_view keep(std::string_view text);

    // Names, values, entries and slots all come from one arena that grows in
    // large steps: a short command line costs one allocation, not one per
    // string, switch and list.
    static constexpr std::size_t ARENA_FIRST_BLOCK = 1024;
    static constexpr std::uint32_t FIRST_SLOT_COUNT = 8; // a power of two

    LeadBytes lead_bytes_;
    Arena arena_;
    // Open addressing, probed linearly, at most half full.
    Entry** slots_ = nullptr;
    std::uint32_t slot_count_ = 0;
    std::uint32_t entry_count_ = 0;
};

} // namespace ravlet
