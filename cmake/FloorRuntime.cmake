# The pieces of the MinGW-w64 C runtime that the Windows executables link, compiled again from
# Debian's own source of the installed runtime for the processor floor (i586 with MMX, x87).
# Debian builds the runtime for the pentiumpro, so its program entry, C99 printf and scanf,
# decimal conversions and a few maths functions hold CMOV; these copies are the same code
# without it. KESTREL_MINGW_CRT_SOURCE names the runtime's source folder (mingw-w64-crt);
# scripts/lib.sh fetches it with the packages.
#
#  - crt2.o, the program entry, is found through -B before the toolchain's own;
#  - the library members come before the toolchain's libraries on every link, so the linker
#    takes them from here.
set(KESTREL_MINGW_CRT_SOURCE "" CACHE PATH "mingw-w64-crt source of the installed MinGW-w64 runtime")
if(NOT KESTREL_MINGW_CRT_SOURCE OR NOT EXISTS ${KESTREL_MINGW_CRT_SOURCE}/crt/crtexe.c)
  message(WARNING "No MinGW-w64 runtime source (KESTREL_MINGW_CRT_SOURCE): the executables link "
                  "Debian's runtime, which needs a Pentium Pro or later; the floor check will say so.")
  return()
endif()

set(_crt ${KESTREL_MINGW_CRT_SOURCE})
# The runtime's own build flags (its Makefile.am as Debian builds it), with the floor's processor.
set(_crtFlags -O2 -D_CRTBLD -D_WIN32_WINNT=0x0f00 -D__MSVCRT_VERSION__=0x700
              -D__USE_MINGW_ANSI_STDIO=0 -march=pentium-mmx -mtune=generic -mfpmath=387
              -I${_crt}/include -w)

# The program entry, compiled at configure time: every link needs it before any target is built.
set(KESTREL_FLOOR_CRT_DIR ${CMAKE_BINARY_DIR}/floor-crt)
file(MAKE_DIRECTORY ${KESTREL_FLOOR_CRT_DIR})
if(NOT EXISTS ${KESTREL_FLOOR_CRT_DIR}/crt2.o OR ${_crt}/crt/crtexe.c IS_NEWER_THAN ${KESTREL_FLOOR_CRT_DIR}/crt2.o)
  execute_process(COMMAND ${CMAKE_C_COMPILER} ${_crtFlags} -D_SYSCRT=1 -DCRTDLL=1 -c ${_crt}/crt/crtexe.c
                          -o ${KESTREL_FLOOR_CRT_DIR}/crt2.o
                  RESULT_VARIABLE _crtResult ERROR_VARIABLE _crtError)
  if(NOT _crtResult EQUAL 0)
    message(FATAL_ERROR "floor runtime: crtexe.c does not compile:\n${_crtError}")
  endif()
endif()
add_link_options(-B${KESTREL_FLOOR_CRT_DIR}/)

# Members of libmingw32, libmingwex and libmsvcrt that the executables link, by the library that
# holds them (-D flags as the runtime's Makefile.am gives each library).
add_library(kfloorcrt STATIC
  ${_crt}/crt/pesect.c ${_crt}/crt/pseudo-reloc.c
  ${_crt}/math/fmaxf.c ${_crt}/math/fminf.c ${_crt}/math/x86/ldexp.c ${_crt}/math/x86/pow.c
  ${_crt}/math/powi.c ${_crt}/math/sqrt.c ${_crt}/math/sqrtf.c
  ${_crt}/gdtoa/gdtoa.c ${_crt}/gdtoa/gethex.c ${_crt}/gdtoa/hexnan.c ${_crt}/gdtoa/misc.c
  ${_crt}/gdtoa/smisc.c ${_crt}/gdtoa/strtodg.c ${_crt}/gdtoa/strtof.c ${_crt}/gdtoa/sum.c
  ${_crt}/stdio/mingw_pformat.c ${_crt}/stdio/mingw_vfscanf.c ${_crt}/stdio/mingw_vsnprintf.c
  ${_crt}/math/frexpf.c ${_crt}/math/frexp.c ${_crt}/misc/mbrtowc.c ${_crt}/misc/wcrtomb.c)
# Our own warnings and options do not apply to the runtime's code.
set_target_properties(kfloorcrt PROPERTIES COMPILE_OPTIONS "")
target_compile_options(kfloorcrt PRIVATE ${_crtFlags})
set_source_files_properties(${_crt}/crt/pesect.c ${_crt}/crt/pseudo-reloc.c
                            PROPERTIES COMPILE_DEFINITIONS "_SYSCRT=1;CRTDLL=1")
set_source_files_properties(${_crt}/math/frexp.c ${_crt}/misc/mbrtowc.c ${_crt}/misc/wcrtomb.c
                            PROPERTIES COMPILE_DEFINITIONS "__LIBMSVCRT__")
link_libraries(kfloorcrt)
