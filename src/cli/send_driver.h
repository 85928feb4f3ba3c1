// One run of the tool: banner, switches, packet, hand-over, outcome.
#pragma once

#include "support/output_stream.h"
#include "platform/platform.h"

#include <cstdint>

namespace ravlet {

// The process's exit status. -1 reaches a shell that keeps 8 bits as 255.
enum class ExitStatus : int {
    Sent = 0,     // the messenger window got the packet
    NotSent = -1, // a usage stop, a refused value, or no messenger window
    Fatal = 1,    // framework start-up failed, or memory ran out
    TimedOut = 2, // --timeout passed; the messenger may still handle it
};

// The tool's main function, with the operating system and the console as
// parameters.
ExitStatus run_send(int argc, const char* const* argv, Platform& platform, OutputStream& out,
                    OutputStream& err);

} // namespace ravlet
