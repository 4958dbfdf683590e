// Multimedia timer service (WINMM): the system time in milliseconds.
#pragma once

#include "platform/win_types.h"

#ifdef _WIN32
#include <mmsystem.h>
#else
// Milliseconds from a monotonic clock, wrapping at 2^32 as Windows' does.
DWORD WINAPI timeGetTime();
#endif
