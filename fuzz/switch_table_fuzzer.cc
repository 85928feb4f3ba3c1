// Drives SwitchTable::parse with an argument vector taken from the input and
// compares every query with a plain model of the grammar.
//
// Input: one byte of flags (bit 0: a double-byte code page), then the
// arguments, separated by zero bytes.
#include "cli/switch_table.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

using ravlet::LeadBytes;
using ravlet::SwitchTable;
using ravlet::ValueMissing;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// The grammar, written as plainly as possible: a list searched from the front.
struct Model {
    std::vector<std::pair<std::string, std::vector<std::string>>> entries;
    const LeadBytes& lead;

    const std::vector<std::string>* find(const std::string& name) const
    {
        for (const auto& entry : entries)
            if (ravlet::mbcs_compare(entry.first, name, lead) == 0)
                return &entry.second;
        return nullptr;
    }

    void parse(const std::vector<std::string>& args)
    {
        entries.clear();
        std::vector<std::string>* current = nullptr;
        for (std::size_t pos = 1; pos < args.size(); ++pos) {
            if (!SwitchTable::is_switch(args[pos].c_str())) {
                if (current != nullptr)
                    current->push_back(args[pos]);
                continue;
            }
            const std::string& name = args[pos];
            std::string leading;
            if (pos + 1 < args.size() && !SwitchTable::is_switch(args[pos + 1].c_str()))
                leading = args[++pos];
            current = const_cast<std::vector<std::string>*>(find(name));
            if (current == nullptr) {
                entries.push_back({name, {}});
                if (ravlet::mbcs_compare(leading, "", lead) != 0)
                    entries.back().second.push_back(leading);
                current = &entries.back().second;
            }
        }
    }
};

void compare(const SwitchTable& table, const Model& model, const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        const std::vector<std::string>* values = model.find(name);
        check(table.has_switch(name) == (values != nullptr));
        const std::int32_t count = table.value_count(name);
        check(count == (values ? static_cast<std::int32_t>(values->size()) : -1));
        for (std::int32_t i = 0; i < count; ++i)
            check(table.value_at(name, static_cast<std::uint32_t>(i)) == (*values)[static_cast<std::size_t>(i)]);
        bool missing = false;
        try {
            (void)table.value_at(name, static_cast<std::uint32_t>(count < 0 ? 0 : count));
        } catch (const ValueMissing& e) {
            missing = e.code == 0;
        }
        check(missing);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    LeadBytes lead;
    if (data[0] & 1) {
        lead.add_range(0x81, 0x9F);
        lead.add_range(0xE0, 0xFC);
    }
    std::vector<std::string> args = {"ravlet"};
    std::string current;
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    args.push_back(current);
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());

    Model model{{}, lead};
    model.parse(args);
    for (const auto& entry : model.entries)
        check(SwitchTable::is_switch(entry.first.c_str()));

    std::vector<std::string> names = args;
    names.insert(names.end(), {"-r", "-m", "-p", "", "-"});
    SwitchTable table(lead);
    for (int round = 0; round < 2; ++round) { // a second parse gives the same table
        check(table.parse(static_cast<std::int32_t>(argv.size()), argv.data()) ==
              static_cast<std::int32_t>(model.entries.size()));
        compare(table, model, names);
    }
    return 0;
}
