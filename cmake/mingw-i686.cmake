# Cross-compiles for 32-bit Windows with the posix-thread-model MinGW-w64 compilers
# (they provide std::mutex and std::thread; everything is linked statically so the
# DLL and the test programs import only system DLLs). Programs run under Wine through
# scripts/wine/run.sh, which also runs them where the kernel runs no 32-bit code.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
# SSE2 is the baseline (every 32-bit Windows since 8 requires it): vector code and SSE
# arithmetic instead of the x87 FPU, whose float-to-integer conversions made the speed of
# a loop depend on where the linker placed it. Callers built for the 4-byte stack
# alignment of 32-bit Windows may call in, so functions that keep SSE values on the
# stack realign it first.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwCommon.cmake)
