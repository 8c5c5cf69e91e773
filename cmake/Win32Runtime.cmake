# The exception runtime of the Windows DLLs, compiled for the Pentium from the compiler's own
# sources.
#
# The prebuilt archives of the MinGW-w64 compilers (libgcc_eh.a, libstdc++.a) were compiled for the
# Pentium Pro: the unwinder, the search of the frame tables, the thread-local emulation, the
# personality routine and the catch hold CMOVcc, which a Pentium lacks, and they run whenever a C++
# exception is thrown in a DLL, as on every failed registration. Those archive members are
# compiled here, unchanged, from Debian's gcc-N-source (the sources of the very compiler, installed
# by scripts/setup-win32.sh) for the i586, and linked into each DLL as objects: the archives'
# copies are then never pulled in. The few configuration headers the compiler's build would
# generate come from cmake/win32-runtime and the compiler's plugin headers.
#
# Sets WERTOWIK_WIN32_RUNTIME to the object library, or to nothing (with a warning) where the
# sources are not installed; the DLLs then take the prebuilt runtime, and the test that counts
# the instructions a Pentium lacks fails.

set(WERTOWIK_WIN32_RUNTIME "")
# The compiler calls itself 12.0.0 or 12-win32; Debian's source package of the same release holds
# gcc-12.x.y, the sources it was built from.
string(REGEX MATCH "^[0-9]+" gcc_major "${CMAKE_CXX_COMPILER_VERSION}")
file(GLOB gcc_tarball /usr/src/gcc-${gcc_major}/gcc-${gcc_major}.*.tar.xz)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=plugin
                OUTPUT_VARIABLE gcc_plugin_dir OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT gcc_tarball OR NOT EXISTS ${gcc_plugin_dir}/include/tm.h)
  message(WARNING "The sources of GCC ${gcc_major} (Debian's gcc-${gcc_major}-source) or the "
                  "compiler's plugin headers are missing: the DLLs take the compiler's prebuilt exception "
                  "runtime, which a Pentium cannot run. scripts/setup-win32.sh installs them.")
  return()
endif()
list(GET gcc_tarball 0 gcc_tarball)

set(gcc_source ${CMAKE_BINARY_DIR}/gcc-runtime-source)
set(gcc_stamp ${gcc_source}/extracted-from)
set(gcc_stamp_text "")
if(EXISTS ${gcc_stamp})
  file(READ ${gcc_stamp} gcc_stamp_text)
endif()
if(NOT gcc_stamp_text STREQUAL gcc_tarball)
  file(REMOVE_RECURSE ${gcc_source})
  file(MAKE_DIRECTORY ${gcc_source})
  message(STATUS "Extracting the exception runtime's sources from ${gcc_tarball}")
  execute_process(
    # (tar's wildcards match across "/": the first takes libgcc's configuration headers as well)
    COMMAND tar -xJf ${gcc_tarball} -C ${gcc_source} --strip-components=1 --wildcards
            "gcc-*/libgcc/*.[ch]" "gcc-*/libgcc/*.inc" "gcc-*/include/*" "gcc-*/gcc/tsystem.h"
            "gcc-*/libstdc++-v3/libsupc++/*"
    RESULT_VARIABLE extracted)
  if(NOT extracted EQUAL 0)
    message(FATAL_ERROR "cannot extract the exception runtime's sources from ${gcc_tarball}")
  endif()
  file(WRITE ${gcc_stamp} "${gcc_tarball}")
endif()

set(unwinder ${gcc_source}/libgcc/unwind-dw2.c ${gcc_source}/libgcc/unwind-dw2-fde.c ${gcc_source}/libgcc/emutls.c)
set(support ${gcc_source}/libstdc++-v3/libsupc++/eh_personality.cc ${gcc_source}/libstdc++-v3/libsupc++/eh_catch.cc
            ${gcc_source}/libstdc++-v3/libsupc++/eh_alloc.cc ${gcc_source}/libstdc++-v3/libsupc++/eh_terminate.cc)
add_library(wtk_win32_runtime OBJECT ${unwinder} ${support})
set_target_properties(wtk_win32_runtime PROPERTIES CXX_STANDARD 17 CXX_EXTENSIONS ON)
# As the compiler's own build compiles them, but for the Pentium; their warnings are not ours.
target_compile_options(wtk_win32_runtime PRIVATE -O2 -UNDEBUG -march=i586 -mtune=generic -w
  $<$<COMPILE_LANGUAGE:C>:-fbuilding-libgcc -fexceptions -fno-stack-protector>
  $<$<COMPILE_LANGUAGE:CXX>:-fno-implicit-templates>)
set_source_files_properties(${unwinder} PROPERTIES
  COMPILE_DEFINITIONS "IN_GCC;IN_LIBGCC2"
  INCLUDE_DIRECTORIES "${CMAKE_CURRENT_LIST_DIR}/win32-runtime;${gcc_source}/libgcc;${gcc_source}/include;${gcc_source}/gcc;${gcc_plugin_dir}/include")
set_source_files_properties(${support} PROPERTIES
  INCLUDE_DIRECTORIES "${gcc_source}/libstdc++-v3/libsupc++;${gcc_source}/libgcc")
set(WERTOWIK_WIN32_RUNTIME wtk_win32_runtime)
