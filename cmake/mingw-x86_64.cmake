# Cross-compiles for 64-bit Windows with the posix-thread-model MinGW-w64 compilers
# (they provide std::mutex and std::thread; everything is linked statically so the
# DLL and the test programs import only system DLLs). Programs run under Wine's 64-bit
# half, natively, through scripts/wine/run.sh. SSE2 and a 16-byte aligned stack are part
# of the x64 calling convention, so no flags are needed for either.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwCommon.cmake)
