# Cross-compiling the plug-in libraries as 32-bit Windows DLLs with MinGW-w64 (Debian's
# g++-mingw-w64-i686). The win32 thread model variant is taken: it links no threading library, whose
# imports (GetTickCount64, AddVectoredExceptionHandler and the like) Windows 98 and 2000 lack.
# WERTOWIK_MINGW_THREADS=posix takes the other variant, for the Windows test programs, whose
# GoogleTest needs std::mutex; they are not shipped.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(WERTOWIK_MINGW_PREFIX i686-w64-mingw32)
if(NOT WERTOWIK_MINGW_THREADS)
  set(WERTOWIK_MINGW_THREADS win32)
endif()
find_program(WERTOWIK_MINGW_CC NAMES ${WERTOWIK_MINGW_PREFIX}-gcc-${WERTOWIK_MINGW_THREADS} REQUIRED)
find_program(WERTOWIK_MINGW_CXX NAMES ${WERTOWIK_MINGW_PREFIX}-g++-${WERTOWIK_MINGW_THREADS} REQUIRED)
find_program(WERTOWIK_MINGW_RC NAMES ${WERTOWIK_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_C_COMPILER ${WERTOWIK_MINGW_CC})
set(CMAKE_CXX_COMPILER ${WERTOWIK_MINGW_CXX})
set(CMAKE_ASM_COMPILER ${WERTOWIK_MINGW_CC})
set(CMAKE_RC_COMPILER ${WERTOWIK_MINGW_RC})

# The DLLs run on every processor Windows 98 SE, 2000 and XP run on, a Pentium included: the
# compilers' own default (the Pentium Pro) would use CMOVcc, FCMOVcc and FCOMI. SSE and later are
# used only in functions of their own, chosen after a CPUID test. Tuned for today's processors.
set(CMAKE_C_FLAGS_INIT "-march=i586 -mtune=generic")
set(CMAKE_CXX_FLAGS_INIT "-march=i586 -mtune=generic")

set(CMAKE_FIND_ROOT_PATH /usr/${WERTOWIK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs built here (the Windows test host) run under Wine.
find_program(WERTOWIK_WINE NAMES wine)
if(WERTOWIK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WERTOWIK_WINE})
endif()
