# cmake -DSOURCE_DIR=... -P build_win32.cmake
# Configures the win32 preset when its build folder is not configured yet, then builds it: the six
# DLLs and the Windows test program, cross-compiled.
if(NOT EXISTS ${SOURCE_DIR}/build-win32/CMakeCache.txt)
  execute_process(COMMAND ${CMAKE_COMMAND} --preset win32 WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "configuring the win32 preset failed")
  endif()
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build --preset win32 WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "building the win32 preset failed")
endif()
