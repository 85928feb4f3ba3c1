#include "cli/switch_table.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace ravlet {
namespace {

// A null element of the vector reads as an empty argument.
std::string_view argument_text(const char* argument)
{
    return argument == nullptr ? std::string_view{} : std::string_view{argument};
}

} // namespace

SwitchTable::SwitchTable(const LeadBytes& lead_bytes)
    : lead_bytes_(lead_bytes)
    , arena_(ARENA_FIRST_BLOCK)
{
}

bool SwitchTable::is_switch(const char* argument)
{
    if (argument == nullptr || argument[0] != '-' || argument[1] == '\0')
        return false;
    return !(argument[1] >= '0' && argument[1] <= '9');
}

std::int32_t SwitchTable::parse(std::int32_t argc, const char* const* argv)
{
    arena_.release();
    slots_ = nullptr;
    slot_count_ = 0;
    entry_count_ = 0;
    // The entry that plain arguments go to: that of the most recent switch,
    // which for a repeated switch is the entry of its first occurrence.
    SwitchValues* current = nullptr;

    for (std::int32_t pos = 1; pos < argc; ++pos) {
        const char* argument = argv[pos];
        if (!is_switch(argument)) {
            if (current != nullptr)
                current->push_back(keep(argument_text(argument)));
            continue;
        }

        std::string_view leading;
        if (pos + 1 < argc && !is_switch(argv[pos + 1])) {
            leading = argument_text(argv[pos + 1]);
            ++pos; // consumed with the switch, even when it is then dropped
        }

        if (2 * (entry_count_ + 1) > slot_count_)
            grow_slots();
        const std::string_view key = key_of(argument);
        const std::uint32_t hash = hash_of(key);
        Entry** slot = slot_for(key, hash);
        if (*slot == nullptr) {
            void* at = arena_.allocate(sizeof(Entry), alignof(Entry));
            *slot = new (at) Entry{keep(key), hash, SwitchValues(SwitchValues::allocator_type(&arena_))};
            ++entry_count_;
            if (!mbcs_equals_empty(leading, lead_bytes_))
                (*slot)->values.push_back(keep(leading));
        }
        current = &(*slot)->values;
    }
    return static_cast<std::int32_t>(entry_count_);
}

std::string_view SwitchTable::key_of(std::string_view name) const
{
    if (lead_bytes_.empty())
        return name;
    for (std::size_t pos = 0; pos < name.size(); ++pos) {
        if (lead_bytes_.contains(static_cast<unsigned char>(name[pos]))) {
            if (pos + 1 == name.size())
                return name.substr(0, pos);
            ++pos; // the trail byte
        }
    }
    return name;
}

std::uint32_t SwitchTable::hash_of(std::string_view key)
{
    // FNV-1a: switch names are short, and a few multiplies beat anything
    // that needs a setup.
    std::uint32_t hash = 2166136261u;
    for (char byte : key)
        hash = (hash ^ static_cast<unsigned char>(byte)) * 16777619u;
    return hash;
}

SwitchTable::Entry** SwitchTable::slot_for(std::string_view key, std::uint32_t hash) const
{
    const std::uint32_t mask = slot_count_ - 1;
    for (std::uint32_t at = hash & mask;; at = (at + 1) & mask) {
        Entry* entry = slots_[at];
        if (entry == nullptr || (entry->hash == hash && entry->key == key))
            return &slots_[at];
    }
}

void SwitchTable::grow_slots()
{
    const std::uint32_t old_count = slot_count_;
    Entry** const old_slots = slots_;
    if (old_count > UINT32_MAX / 4)
        throw std::bad_alloc();
    slot_count_ = old_count == 0 ? FIRST_SLOT_COUNT : old_count * 2;
    slots_ = static_cast<Entry**>(arena_.allocate(slot_count_ * sizeof(Entry*), alignof(Entry*)));
    std::fill_n(slots_, slot_count_, nullptr);
    for (std::uint32_t i = 0; i < old_count; ++i) {
        if (old_slots[i] != nullptr)
            *slot_for(old_slots[i]->key, old_slots[i]->hash) = old_slots[i];
    }
}

std::string_view SwitchTable::keep(std::string_view text)
{
    if (text.empty())
        return {};
    auto* copy = static_cast<char*>(arena_.allocate(text.size(), 1));
    std::memcpy(copy, text.data(), text.size());
    return {copy, text.size()};
}

const SwitchValues* SwitchTable::find(std::string_view name) const
{
    if (entry_count_ == 0)
        return nullptr;
    const std::string_view key = key_of(name);
    const Entry* entry = *slot_for(key, hash_of(key));
    return entry == nullptr ? nullptr : &entry->values;
}

bool SwitchTable::has_switch(std::string_view name) const
{
    return find(name) != nullptr;
}

std::int32_t SwitchTable::value_count(std::string_view name) const
{
    const SwitchValues* values = find(name);
    return values == nullptr ? -1 : static_cast<std::int32_t>(values->size());
}

std::string SwitchTable::value_at(std::string_view name, std::uint32_t index) const
{
    return std::string(value_view(name, index));
}

std::string_view SwitchTable::value_view(std::string_view name, std::uint32_t index) const
{
    const SwitchValues* values = find(name);
    if (values == nullptr || index >= values->size())
        throw ValueMissing{};
    return (*values)[index];
}

} // namespace ravlet
