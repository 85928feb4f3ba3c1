// The process's console streams, one implementation per platform
// (console-posix.cc, console-win32.cc).
#pragma once

#include "support/output_stream.h"

namespace ravlet {

OutputStream& standard_output();
OutputStream& standard_error();

} // namespace ravlet
