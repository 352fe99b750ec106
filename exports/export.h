// Marks a function as one of the library's exports. The Windows DLL takes its export
// list from fpmodule.def; the Linux .so from the version script made from that list.
#pragma once

#include "fpmodule.h"

#ifdef _WIN32
#define FPM_EXPORT extern "C"
#else
#define FPM_EXPORT extern "C" __attribute__((visibility("default")))
#endif
