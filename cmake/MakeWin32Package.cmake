# cmake -DPLUGIN_DIR=... -DREADME=... -DOUTPUT=.../wertowik-plugins-win32-VERSION.zip -P MakeWin32Package.cmake
# The package for Windows users: the six DLLs as built (stripped) and CZYTAJ.TXT, side by side at
# the top of one zip file.
cmake_minimum_required(VERSION 3.25)

set(files "")
foreach(name chip tarvo holvar enter plavik vexlo)
  if(NOT EXISTS ${PLUGIN_DIR}/${name}.dll)
    message(FATAL_ERROR "${PLUGIN_DIR}/${name}.dll is not built")
  endif()
  list(APPEND files ${PLUGIN_DIR}/${name}.dll)
endforeach()
list(APPEND files ${README})

get_filename_component(output_name ${OUTPUT} NAME)
set(staging ${OUTPUT}.staging)
file(REMOVE_RECURSE ${staging})
file(MAKE_DIRECTORY ${staging})
file(COPY ${files} DESTINATION ${staging})
file(REMOVE ${OUTPUT})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUTPUT} --format=zip chip.dll tarvo.dll holvar.dll enter.dll
                        plavik.dll vexlo.dll CZYTAJ.TXT
                WORKING_DIRECTORY ${staging} RESULT_VARIABLE status)
file(REMOVE_RECURSE ${staging})
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the zip file could not be written")
endif()
message(STATUS "Made ${OUTPUT}")
