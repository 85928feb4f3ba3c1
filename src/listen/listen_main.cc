#include "listen/listen_driver.h"
#include "platform/console.h"

int main(int argc, char** argv)
{
    return static_cast<int>(ravlet::run_listen(argc, argv, ravlet::standard_output(), ravlet::standard_error()));
}
