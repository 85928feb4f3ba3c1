// ravlet-listen: a stand-in for the Corvane NET messenger that prints what
// each message carries.
#pragma once

#include "support/output_stream.h"

namespace ravlet {

enum class ListenStatus : int {
    AllWellFormed = 0, // ended cleanly; every message was well-formed
    Failed = 1,        // a malformed message arrived, or the window could not be made
    BadCommandLine = 2,
};

ListenStatus run_listen(int argc, const char* const* argv, OutputStream& out, OutputStream& err);

} // namespace ravlet
