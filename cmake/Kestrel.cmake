# Helpers that module folders use to add their sources, tests, fuzz targets and benchmarks.

set(KESTREL_SAN_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
# The sanitized copies trade optimisation for build time: line tables are all a report needs, the
# core keeps -O1 for the tests' running time, and test bodies (most of the compile) take -O0.
set(KESTREL_SAN_CORE_OPT -O1 -g1)
set(KESTREL_SAN_TEST_OPT -O0 -g1)
set(KESTREL_WIN_LIBS ddraw dxguid dsound winmm avifil32 ole32 uuid comdlg32 msimg32 gdi32 user32 kernel32)

if(KESTREL_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Portable sources: part of the core in every build.
function(kestrel_core_sources)
  target_sources(kcore PRIVATE ${ARGN})
  if(TARGET kcore_san)
    target_sources(kcore_san PRIVATE ${ARGN})
  endif()
endfunction()

# Platform sources: only in the Windows build.
function(kestrel_win_sources)
  if(KESTREL_WINDOWS)
    target_sources(kwin PRIVATE ${ARGN})
  endif()
endfunction()

# kestrel_test(NAME n SOURCES ... [QEMU] [FLOOR] [WINDOWS] [LIBS ...] [TIMEOUT s])
#  native build: a test linked with the sanitized core; QEMU adds a run of a plain build
#                of the same test under qemu-i386 -cpu athlon (3DNow! and AMD paths); FLOOR
#                adds runs on the floor processors: an i586 with MMX and a K6-2 (an AMD family 5
#                model 8: MMX, 3DNow!), neither with SSE. Both carry +cmov only because Debian's i386 ld.so, libc and
#                libstdc++ use CMOV (qemu -cpu pentium stops in ld.so); our own code holds none,
#                which tools/Floor's disassembly check proves on the core's objects.
#  WINDOWS:      built only in the Windows build, linked with the platform layer, run by Wine
#                from the folder that holds Kestrel.exe and Data.
function(kestrel_test)
  cmake_parse_arguments(T "QEMU;FLOOR;WINDOWS" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(T_WINDOWS)
    if(NOT KESTREL_WINDOWS)
      return()
    endif()
    add_executable(${T_NAME} ${T_SOURCES} $<TARGET_OBJECTS:kwin>)
    target_link_libraries(${T_NAME} PRIVATE kcore gtest_main ${T_LIBS} ${KESTREL_WIN_LIBS})
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${KESTREL_BIN})
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} RESOURCE_LOCK wine_display)
    return()
  endif()
  if(KESTREL_WINDOWS OR KESTREL_FUZZ)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  if(TARGET kcore_san)
    target_compile_options(${T_NAME} PRIVATE ${KESTREL_SAN_FLAGS} ${KESTREL_SAN_TEST_OPT})
    target_link_options(${T_NAME} PRIVATE ${KESTREL_SAN_FLAGS})
    target_link_libraries(${T_NAME} PRIVATE kcore_san gtest_main ${T_LIBS})
  else()
    target_link_libraries(${T_NAME} PRIVATE kcore gtest_main ${T_LIBS})
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_QEMU OR T_FLOOR)
    add_executable(${T_NAME}_qemu ${T_SOURCES})
    target_link_libraries(${T_NAME}_qemu PRIVATE kcore gtest_main ${T_LIBS})
  endif()
  if(T_QEMU)
    add_test(NAME ${T_NAME}_qemu COMMAND qemu-i386 -cpu athlon $<TARGET_FILE:${T_NAME}_qemu>
             WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
    set_tests_properties(${T_NAME}_qemu PROPERTIES TIMEOUT ${T_TIMEOUT})
  endif()
  if(T_FLOOR)
    foreach(cpu IN ITEMS "i586:pentium,+mmx,+cmov" "k6-2:pentium,+mmx,+cmov,+3dnow,vendor=AuthenticAMD,family=5,model=8,stepping=12")
      string(REPLACE ":" ";" cpu "${cpu}")
      list(GET cpu 0 tag)
      list(GET cpu 1 model)
      add_test(NAME ${T_NAME}_qemu_${tag} COMMAND qemu-i386 -cpu ${model} $<TARGET_FILE:${T_NAME}_qemu>
               WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
      set_tests_properties(${T_NAME}_qemu_${tag} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT KESTREL_FLOOR_CPU=${tag})
    endforeach()
  endif()
endfunction()

# kestrel_fuzzer(NAME n SOURCES ... CORPUS dir): libFuzzer target (fuzz build only); ctest
# replays the committed corpus under the sanitizers.
function(kestrel_fuzzer)
  cmake_parse_arguments(F "" "NAME;CORPUS" "SOURCES" ${ARGN})
  if(NOT KESTREL_FUZZ)
    return()
  endif()
  add_executable(${F_NAME} ${F_SOURCES})
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${F_NAME} PRIVATE kcore)
  if(F_CORPUS AND EXISTS ${F_CORPUS})
    add_test(NAME ${F_NAME}_corpus COMMAND ${F_NAME} -runs=0 ${F_CORPUS})
    set_tests_properties(${F_NAME}_corpus PROPERTIES TIMEOUT 600)
  endif()
endfunction()

# kestrel_benchmark(NAME n SOURCES ... [LIBS ...]): Google Benchmark, native, plain core.
function(kestrel_benchmark)
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(KESTREL_WINDOWS OR KESTREL_FUZZ OR NOT KESTREL_BENCH)
    return()
  endif()
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE kcore benchmark::benchmark ${B_LIBS})
endfunction()

# kestrel_tool(target): a command-line program that answers --help and --version (tools/ToolArgs.h).
function(kestrel_tool target)
  target_include_directories(${target} PRIVATE ${KESTREL_ROOT}/tools ${KESTREL_GENERATED})
endfunction()
