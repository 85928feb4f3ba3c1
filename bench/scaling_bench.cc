// How parse, build_packet and decode_packet grow with their input.
#include "cli/switch_table.h"
#include "packet/message_packet.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using namespace ravlet;

// "-r" followed by N recipients, then "-m hi".
void BM_Parse(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<std::string> storage;
    storage.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        storage.push_back("recipient" + std::to_string(i));
    std::vector<const char*> argv = {"ravlet", "-r"};
    for (const std::string& s : storage)
        argv.push_back(s.c_str());
    argv.insert(argv.end(), {"-m", "hi"});
    for (auto _ : state) {
        SwitchTable table;
        benchmark::DoNotOptimize(table.parse(static_cast<std::int32_t>(argv.size()), argv.data()));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Parse)->RangeMultiplier(10)->Range(1, 100000)->Complexity();

// One value of N bytes, for a switch given again and again: "-r x -r x ...".
void BM_ParseRepeatedSwitch(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<const char*> argv = {"ravlet"};
    for (std::size_t i = 0; i < n; ++i)
        argv.insert(argv.end(), {"-r", "x"});
    for (auto _ : state) {
        SwitchTable table;
        benchmark::DoNotOptimize(table.parse(static_cast<std::int32_t>(argv.size()), argv.data()));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseRepeatedSwitch)->RangeMultiplier(10)->Range(1, 100000)->Complexity();

std::vector<std::string> recipients_of(std::size_t n)
{
    std::vector<std::string> r;
    for (std::size_t i = 0; i < n; ++i)
        r.push_back("recipient" + std::to_string(i));
    return r;
}

void BM_BuildPacketRecipients(benchmark::State& state)
{
    const auto storage = recipients_of(static_cast<std::size_t>(state.range(0)));
    const std::vector<std::string_view> recipients(storage.begin(), storage.end());
    for (auto _ : state)
        benchmark::DoNotOptimize(build_packet(recipients, "hi", Priority::Normal).data());
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_BuildPacketRecipients)->RangeMultiplier(10)->Range(1, 100000)->Complexity();

void BM_BuildPacketText(benchmark::State& state)
{
    const std::string text(static_cast<std::size_t>(state.range(0)), 't');
    const std::string_view recipients[] = {"ann"};
    for (auto _ : state)
        benchmark::DoNotOptimize(build_packet(recipients, text, Priority::Normal).data());
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_BuildPacketText)->RangeMultiplier(16)->Range(1, 1 << 20)->Complexity();

void BM_DecodePacketRecipients(benchmark::State& state)
{
    const auto storage = recipients_of(static_cast<std::size_t>(state.range(0)));
    const std::vector<std::string_view> recipients(storage.begin(), storage.end());
    const MessagePacket packet = build_packet(recipients, "hi", Priority::Normal);
    for (auto _ : state)
        benchmark::DoNotOptimize(decode_packet(packet.data(), packet.size()).ok());
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DecodePacketRecipients)->RangeMultiplier(10)->Range(1, 100000)->Complexity();

void BM_DecodePacketText(benchmark::State& state)
{
    const std::string text(static_cast<std::size_t>(state.range(0)), 't');
    const std::string_view recipients[] = {"ann"};
    const MessagePacket packet = build_packet(recipients, text, Priority::Normal);
    for (auto _ : state)
        benchmark::DoNotOptimize(decode_packet(packet.data(), packet.size()).ok());
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DecodePacketText)->RangeMultiplier(16)->Range(1, 1 << 20)->Complexity();

} // namespace

BENCHMARK_MAIN();
