// One run of the tool: banner, switches, packet, hand-over, outcome.
#pragma once

#include "cli/output_stream.h"
#include "platform/platform.h"

#include <cstdint>
#include <optional>
#include <span>

namespace ravlet {

inline constexpr const char MESSENGER_WINDOW_TITLE[] = "Corvane.NET";

// The process's exit status. -1 reaches a shell that keeps 8 bits as 255.
enum class ExitStatus : int {
    Sent = 0,     // the messenger window got the packet
    NotSent = -1, // a usage stop, a refused value, or no messenger window
    Fatal = 1,    // framework start-up failed, or memory ran out
    TimedOut = 2, // --timeout passed; the messenger may still handle it
};

enum class SendOutcome { Sent, NotFound, TimedOut };

// What --timeout and --wait ask of the hand-over.
struct DeliveryLimits {
    std::optional<std::uint32_t> timeout_ms; // none: wait as long as the window takes
    std::uint32_t wait_ms = 0;               // look again for a missing window this long
};

// Looks the messenger window up and hands it the packet, if there is one.
SendOutcome deliver_packet(Platform& platform, std::span<const std::uint8_t> packet, const DeliveryLimits& limits);

void print_usage(OutputStream& out);

// The tool's main function, with the operating system and the console as
// parameters.
ExitStatus run_send(int argc, const char* const* argv, Platform& platform, OutputStream& out,
                    OutputStream& err);

} // namespace ravlet
