// The Windows API, without the min/max macros and the rarely used parts that
// collide with standard names. Include only under _WIN32.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
