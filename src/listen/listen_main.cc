#include "listen/listen_driver.h"

#include <cstdio>

int main(int argc, char** argv)
{
    ravlet::FileOutputStream out(stdout);
    ravlet::FileOutputStream err(stderr);
    return static_cast<int>(ravlet::run_listen(argc, argv, out, err));
}
