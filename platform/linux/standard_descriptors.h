#pragma once
// A process started with standard input, output or error closed (`<&-`)
// would hand that number to the next open: the terminal opened for a
// question would become "standard input", a file being written "standard
// output". Run first thing in main.

namespace vexl::platform {

// Holds each closed standard descriptor with /dev/null opened the other way
// round, so the number stays taken and the descriptor still behaves as a
// closed one: reading standard input or writing standard output or error
// fails (EBADF), and none of them is a terminal.
void reserve_standard_descriptors();

}  // namespace vexl::platform
