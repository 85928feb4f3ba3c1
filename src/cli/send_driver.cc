#include "cli/send_driver.h"

#include "cli/console_text.h"
#include "cli/script_options.h"
#include "cli/switch_table.h"
#include "packet/message_packet.h"

#include <algorithm>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ravlet {
namespace {

enum class SendOutcome { Sent, NotFound, TimedOut };

// What --timeout and --wait ask of the hand-over.
struct DeliveryLimits {
    std::optional<std::uint32_t> timeout_ms; // none: wait as long as the window takes
    std::uint32_t wait_ms = 0;               // look again for a missing window this long
};

ExitStatus usage_stop(OutputStream& out)
{
    print_lines(out, text::USAGE);
    return ExitStatus::NotSent;
}

// A bad value of an opt-in switch: one line on standard error, nothing sent.
ExitStatus refuse(OutputStream& err, const std::string& reason)
{
    print_line(err, std::string(text::REFUSAL_PREFIX) + on_one_line(reason));
    return ExitStatus::NotSent;
}

// The usage rules, all in one place: recipients, a text (from -m or a
// file), and a value for -p when it is given. A null list is an absent
// switch.
bool usage_rules_hold(const SwitchValues* recipients, const SwitchValues* text, const SwitchValues* priority,
                      bool text_from_file)
{
    if (recipients == nullptr || recipients->empty())
        return false;
    if (!text_from_file && (text == nullptr || text->empty()))
        return false;
    return priority == nullptr || !priority->empty();
}

// The first value of "-p": "low" or "high" in any case of letters, whole
// strings only; anything else leaves the priority Normal.
Priority choose_priority(const SwitchValues* values, const LeadBytes& lead_bytes)
{
    Priority priority = Priority::Normal;
    if (values != nullptr) {
        const std::string_view word = values->at(0);
        if (mbcs_equal_ignoring_case(word, "low", lead_bytes))
            priority = Priority::Low;
        if (mbcs_equal_ignoring_case(word, "high", lead_bytes))
            priority = Priority::High;
    }
    return priority;
}

// The line that names a failed hand-over's system error and its likely cause.
std::string hand_over_failure(std::uint32_t error)
{
    std::string line = std::string(text::HAND_OVER_FAILED) + std::to_string(error);
    if (error == text::ERROR_ACCESS_DENIED_CODE)
        line += text::ACCESS_DENIED_CAUSE;
    else if (error == text::ERROR_INVALID_WINDOW_HANDLE_CODE)
        line += text::WINDOW_CLOSED_CAUSE;
    return line;
}

// Looks the messenger window up and hands it the packet, if there is one.
SendOutcome deliver_packet(Platform& platform, std::span<const std::uint8_t> packet, const DeliveryLimits& limits)
{
    const CopyData record{0, static_cast<std::uint32_t>(packet.size()), packet.data()};
    std::optional<WindowRef> window = platform.find_window(MESSENGER_WINDOW_TITLE);
    if (!window && limits.wait_ms > 0) {
        const std::uint64_t give_up_at = platform.monotonic_ms() + limits.wait_ms;
        for (std::uint64_t now = platform.monotonic_ms(); !window && now < give_up_at;
             now = platform.monotonic_ms()) {
            platform.sleep_ms(static_cast<std::uint32_t>(std::min<std::uint64_t>(WAIT_STEP_MS, give_up_at - now)));
            window = platform.find_window(MESSENGER_WINDOW_TITLE);
        }
    }
    if (!window)
        return SendOutcome::NotFound;
    switch (platform.send_copy_data(*window, record, limits.timeout_ms)) {
    case HandOver::Delivered:
        return SendOutcome::Sent;
    case HandOver::TimedOut:
        return SendOutcome::TimedOut;
    case HandOver::WindowGone:
        break;
    }
    return SendOutcome::NotFound;
}

} // namespace

ExitStatus run_send(int argc, const char* const* argv, Platform& platform, OutputStream& out,
                    OutputStream& err)
{
    if (!platform.init_framework()) {
        print_lines(err, text::FRAMEWORK_FAILED);
        return ExitStatus::Fatal;
    }
    const LongSwitchScan long_switches = scan_long_switches(argc, argv);
    if (!long_switches.quiet)
        print_lines(out, text::BANNER);

    try {
        const LeadBytes lead_bytes = platform.lead_bytes();
        SwitchTable table(lead_bytes);
        if (table.parse(argc, argv) < 1)
            return usage_stop(out);
        ScriptOptions options;
        if (long_switches.any) {
            if (std::optional<std::string> refusal = read_script_options(table, options))
                return refuse(err, *refusal);
        }

        // One lookup per switch; the usage rules then hold for what is used.
        const SwitchValues* recipient_values = table.values("-r");
        const SwitchValues* text_values = table.values("-m");
        const SwitchValues* priority_values = table.values("-p");
        const bool text_from_file = options.text_file.has_value();
        if (!usage_rules_hold(recipient_values, text_values, priority_values, text_from_file))
            return usage_stop(out);

        // Views into the table's own copies, which live through the run.
        std::vector<std::string_view> recipients;
        std::string_view message;
        Priority priority = Priority::Normal;
        // Any failure while the values are gathered (exhausted memory, since
        // the rules above leave no value missing) is answered with the usage
        // block.
        try {
            recipients.assign(recipient_values->begin(), recipient_values->end());
            if (!text_from_file)
                message = text_values->front();
            priority = choose_priority(priority_values, lead_bytes);
        } catch (...) {
            return usage_stop(out);
        }

        std::string file_text;
        if (text_from_file) {
            const std::string& path = *options.text_file;
            const std::string source = path == "-" ? "standard input" : path;
            std::string error;
            if (!platform.read_file(path.c_str(), MAX_TEXT_FILE_BYTES, file_text, error))
                return refuse(err, "cannot read " + source + ": " + error);
            if (std::optional<std::string> refusal = file_text_to_message(file_text, source))
                return refuse(err, *refusal);
            message = file_text;
        }

        const MessagePacket packet = build_packet(std::span<const std::string_view>(recipients), message, priority);
        switch (deliver_packet(platform, packet.bytes(), {options.timeout_ms, options.wait_ms})) {
        case SendOutcome::Sent:
            print_lines(out, text::SENT);
            return ExitStatus::Sent;
        case SendOutcome::TimedOut:
            print_lines(out, text::TIMED_OUT);
            return ExitStatus::TimedOut;
        case SendOutcome::NotFound:
            break;
        }
        print_lines(out, text::NOT_FOUND);
        if (const std::uint32_t error = platform.hand_over_error(); error != 0)
            print_line(err, hand_over_failure(error));
        return ExitStatus::NotSent;
    } catch (const std::bad_alloc&) {
        // Includes a packet too large for its 32-bit size field.
        print_lines(err, text::OUT_OF_MEMORY);
        return ExitStatus::Fatal;
    }
}

} // namespace ravlet
