// Keeps the real-implementation library non-empty while services are added.
namespace vexl::platform {
int linux_platform_marker = 0;
}
