# Native Linux build of the portable core, 32-bit so that record layouts match the packages.
# The same processor floor as the Windows build (i586 with MMX, x87), so that the core's
# objects can be scanned for instructions outside the processor variants.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_FLAGS_INIT "-m32 -march=pentium-mmx -mtune=generic -mfpmath=387")
set(CMAKE_CXX_FLAGS_INIT "-m32 -march=pentium-mmx -mtune=generic -mfpmath=387")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
