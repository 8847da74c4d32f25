// The vexl tool reads and writes sound files through the platform's
// sound-file service; this installs the real one for the whole run.

#include "platform/linux/linux_sound_files.h"

namespace vexl::tool {
namespace {

platform::LinuxSoundFiles real_sound_files;
const platform::ScopedService<platform::SoundFiles> installed(real_sound_files);

}  // namespace
}  // namespace vexl::tool
