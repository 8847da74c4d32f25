#pragma once
// The Windows headers, for the Windows implementations only. The service
// interfaces name their constants after the Win32 ones they stand in for
// (WM_KEYDOWN, MB_OK, DD_OK, ...), which <windows.h> defines as macros: the
// interfaces are therefore read first, and every file of this folder
// includes this header before any other.

#include "platform/audio_library.h"
#include "platform/dialogs.h"
#include "platform/display.h"
#include "platform/messages.h"
#include "platform/terminal.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
