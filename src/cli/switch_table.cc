#include "cli/switch_table.h"

#include <cstring>

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
    , entries_(KeyLess{&lead_bytes_}, Entries::allocator_type(&arena_))
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
    entries_.clear();
    arena_.release();
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

        const std::string_view name{argument};
        auto found = entries_.lower_bound(name);
        if (found == entries_.end() || entries_.key_comp()(name, found->first)) {
            found = entries_.emplace_hint(found, std::piecewise_construct, std::forward_as_tuple(keep(name)),
                                          std::forward_as_tuple(SwitchValues::allocator_type(&arena_)));
            if (!mbcs_equals_empty(leading, lead_bytes_))
                found->second.push_back(keep(leading));
        }
        current = &found->second;
    }
    return static_cast<std::int32_t>(entries_.size());
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
    auto found = entries_.find(name);
    return found == entries_.end() ? nullptr : &found->second;
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
