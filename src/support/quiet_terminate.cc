// Replaces the C++ library's verbose terminate handler, which prints the
// type of an uncaught exception and so links the whole symbol demangler: a
// third of the Windows executable. The tools catch what they throw; should
// terminate ever run, it ends the process as the default would, without the
// message.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler()
{
    std::abort();
}

} // namespace __gnu_cxx
