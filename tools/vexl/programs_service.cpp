// `vexl play` hands the process over to the player through the platform;
// this installs the real service for the whole run.

#include "platform/linux/linux_programs.h"

namespace vexl::tool {
namespace {

platform::LinuxPrograms real_programs;
const platform::ScopedService<platform::Programs> installed(real_programs);

}  // namespace
}  // namespace vexl::tool
