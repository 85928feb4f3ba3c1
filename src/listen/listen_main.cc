#include "listen/listen_driver.h"
#include "platform/window_server.h"

int main(int argc, char** argv)
{
    ravlet::prepare_listener_process();
    return static_cast<int>(ravlet::run_listen(argc, argv, ravlet::listener_output(), ravlet::listener_error()));
}
