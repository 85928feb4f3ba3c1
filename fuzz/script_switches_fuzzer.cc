// Drives a whole run of the tool in-process, with a fake window, on argument
// vectors from the input, so the opt-in switches' values (--timeout, --wait,
// --text-file, --quiet) meet every kind of text. Checks what a script relies
// on: one known status, nothing sent after a refusal or a usage stop, the
// limits handed over as given, and a packet that reads back whole.
//
// Input: one byte of flags (bit 0: no window; bit 1: the hand-over times
// out), then the arguments, separated by zero bytes. The file "f" holds the
// rest of the input after a byte 0xFF, when there is one.
#include "cli/send_driver.h"
#include "packet/message_packet.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace ravlet;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

class NullStream final : public OutputStream {
public:
    void write(std::string_view bytes) override { text.append(bytes); }
    void flush() override {}
    std::string text;
};

class FakePlatform final : public Platform {
public:
    bool window = true;
    HandOver hand_over = HandOver::Delivered;
    std::string file;
    std::optional<std::uint32_t> limit;
    std::uint64_t clock = 0;
    int sends = 0;
    std::vector<std::uint8_t> sent;

    bool init_framework() override { return true; }
    LeadBytes lead_bytes() override { return {}; }
    std::optional<WindowRef> find_window(const char*) override
    {
        return window ? std::optional<WindowRef>(WindowRef{1}) : std::nullopt;
    }
    HandOver send_copy_data(WindowRef, const CopyData& record, std::optional<std::uint32_t> limit_ms) override
    {
        ++sends;
        limit = limit_ms;
        const auto* bytes = static_cast<const std::uint8_t*>(record.lp_data);
        sent.assign(bytes, bytes + record.cb_data);
        return hand_over;
    }
    std::uint64_t monotonic_ms() override { return clock; }
    void sleep_ms(std::uint32_t ms) override
    {
        check(ms > 0 && ms <= 100);
        clock += ms;
    }
    bool read_file(const char* path, std::size_t, std::string& bytes, std::string& error) override
    {
        if (std::string_view(path) != "f" && std::string_view(path) != "-") {
            error = "No such file or directory";
            return false;
        }
        bytes = file;
        return true;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    FakePlatform platform;
    platform.window = (data[0] & 1) == 0;
    platform.hand_over = (data[0] & 2) != 0 ? HandOver::TimedOut : HandOver::Delivered;
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    if (const std::size_t split = rest.find('\xFF'); split != std::string_view::npos) {
        platform.file = std::string(rest.substr(split + 1));
        rest = rest.substr(0, split);
    }
    std::vector<std::string> args = {"ravlet"};
    for (std::size_t at = 0;;) {
        const std::size_t end = rest.find('\0', at);
        args.emplace_back(rest.substr(at, end - at));
        if (end == std::string_view::npos)
            break;
        at = end + 1;
    }
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());

    NullStream out;
    NullStream err;
    const ExitStatus status = run_send(static_cast<int>(argv.size()), argv.data(), platform, out, err);
    const int code = static_cast<int>(status);
    check(code == 0 || code == -1 || code == 2);
    check(platform.sends <= 1);
    if (!err.text.empty()) {
        // A refusal: one line, and nothing was sent.
        check(status == ExitStatus::NotSent && platform.sends == 0);
        check(err.text.starts_with("ravlet: ") && err.text.find('\n') == err.text.size() - 1);
    }
    if (status == ExitStatus::Sent || status == ExitStatus::TimedOut) {
        check(platform.sends == 1);
        check(status == (platform.hand_over == HandOver::TimedOut ? ExitStatus::TimedOut : ExitStatus::Sent));
        const DecodeResult decoded = decode_packet(platform.sent.data(), platform.sent.size());
        check(decoded.ok());
        if (platform.limit)
            check(*platform.limit >= 1 && *platform.limit <= 0x7FFFFFFF);
    }
    check(platform.clock <= 0x7FFFFFFF);
    return 0;
}
