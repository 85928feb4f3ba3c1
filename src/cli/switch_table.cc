#include "cli/switch_table.h"

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
    , entries_(KeyLess{&lead_bytes_})
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
    // The entry that plain arguments go to: that of the most recent switch,
    // which for a repeated switch is the entry of its first occurrence.
    SwitchValues* current = nullptr;

    for (std::int32_t pos = 1; pos < argc; ++pos) {
        const char* argument = argv[pos];
        if (!is_switch(argument)) {
            if (current != nullptr)
                current->emplace_back(argument_text(argument));
            continue;
        }

        std::string_view leading;
        if (pos + 1 < argc && !is_switch(argv[pos + 1])) {
            leading = argument_text(argv[pos + 1]);
            ++pos; // consumed with the switch, even when it is then dropped
        }

        auto found = entries_.find(std::string_view{argument});
        if (found == entries_.end()) {
            SwitchValues values;
            if (mbcs_compare(leading, {}, lead_bytes_) != 0)
                values.emplace_back(leading);
            found = entries_.emplace(argument, std::move(values)).first;
        }
        current = &found->second;
    }
    return static_cast<std::int32_t>(entries_.size());
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
    const SwitchValues* values = find(name);
    if (values == nullptr || index >= values->size())
        throw ValueMissing{};
    return (*values)[index];
}

} // namespace ravlet
