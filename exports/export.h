// Marks a function as one of the library's exports. The Windows DLL takes its export
// list from fpmodule.def; the Linux .so from the version script made from that list.
#pragma once

#include "fpmodule.h"
#include "log/trace.h"

#ifdef _WIN32
#define FPM_EXPORT extern "C"
#else
#define FPM_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// The first statement of every export: the traffic trace's records name the export that
// caused them.
#define FPM_TRACED const ::fpm::log::trace::ExportScope fpmTracedExport(__func__)
