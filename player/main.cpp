// The `vexlade` executable: the player over the real platform services of
// the system it was built for. The command line is ignored.

#include "platform/process_services.h"
#include "player/launcher.h"

int main(int, char**)
{
    return vexl::platform::run_with_process_services(vexl::ask_settings);
}
