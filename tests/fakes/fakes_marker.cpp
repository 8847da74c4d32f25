// Keeps the fakes library non-empty while fakes are header-only.
namespace vexl::fakes {
int fakes_marker = 0;
}
