// The Windows system header as the platform layer's Windows sources take it: without the min and
// max macros, which would break standard headers included after it, and without the rarely used
// parts. Only platform/*_win32.cpp and platform/arguments.cpp include it.
#pragma once

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif
