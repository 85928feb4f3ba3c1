// Console streams on Windows: the C run time's streams in their text mode,
// which turns each line feed into the platform's CR LF.
#include "platform/console.h"

#include <cstdio>

namespace ravlet {

OutputStream& standard_output()
{
    static FileOutputStream stream(stdout);
    return stream;
}

OutputStream& standard_error()
{
    static FileOutputStream stream(stderr);
    return stream;
}

} // namespace ravlet
