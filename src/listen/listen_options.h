// The command line of ravlet-listen.
#pragma once

#include "packet/messenger_window.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ravlet {

struct ListenOptions {
    std::string title = MESSENGER_WINDOW_TITLE;
    std::optional<std::uint64_t> count; // end after this many messages
    std::int64_t reply = 1;             // the window procedure's result
    std::uint32_t delay_ms = 0;         // waited before each result
    bool hex = false;                   // also print each packet's bytes
    bool help = false;
};

struct ListenOptionsResult {
    ListenOptions options;
    std::string error; // empty when the command line was good
};

// Options come as "--name value" or "--name=value".
ListenOptionsResult parse_listen_options(int argc, const char* const* argv);

} // namespace ravlet
