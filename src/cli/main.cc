#include "cli/send_driver.h"
#include "platform/console.h"

int main(int argc, char** argv)
{
    return static_cast<int>(
        ravlet::run_send(argc, argv, ravlet::native_platform(), ravlet::standard_output(), ravlet::standard_error()));
}
