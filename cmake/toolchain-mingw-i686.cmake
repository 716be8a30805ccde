# 32-bit Windows target: MinGW-w64, run under Wine.
#
# The executables keep to what the oldest supported systems and processors have:
#  - the win32 thread model: the posix one links winpthreads, whose clocks and exception
#    handlers import functions that Windows 98 and 2000 lack (GetTickCount64,
#    AddVectoredExceptionHandler, GetModuleHandleExW);
#  - -march=pentium-mmx: no CMOV, FCOMI, SSE or 3DNow! outside the processor variants, which
#    ask for their own instruction sets per function; x87 floating point throughout.
# tools/Floor checks both on the linked executables.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER   i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER  i686-w64-mingw32-windres)

set(CMAKE_C_FLAGS_INIT   "-march=pentium-mmx -mtune=generic -mfpmath=387")
set(CMAKE_CXX_FLAGS_INIT "-march=pentium-mmx -mtune=generic -mfpmath=387")

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# ctest runs the Windows executables through Wine with the project's prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec)
