# wertowik_compile_as_cp1250(TARGET...)
# The plug-in side must carry its literals as Windows-1250 bytes. GCC does that with
# -fexec-charset=CP1250; clang knows no execution character set but UTF-8. For clang the targets
# are compiled from copies of the project's sources and headers converted to Windows-1250 (in
# BUILD/cp1250/, mirroring the source tree): clang keeps the bytes of a literal as they stand in
# the file, so the objects hold the same bytes as GCC's. Characters Windows-1250 lacks can only
# stand in comments (GCC would refuse them in a literal), and are transliterated there.

find_program(WERTOWIK_ICONV iconv REQUIRED)
set(WERTOWIK_CP1250_DIR ${PROJECT_BINARY_DIR}/cp1250)

# The converted copy of one project file, made once however many targets use it.
function(_wertowik_cp1250_copy source out_var)
  file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR} ${source})
  set(copy ${WERTOWIK_CP1250_DIR}/${relative})
  get_property(done GLOBAL PROPERTY WERTOWIK_CP1250_COPIES)
  if(NOT copy IN_LIST done)
    get_filename_component(folder ${copy} DIRECTORY)
    add_custom_command(OUTPUT ${copy}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
      COMMAND ${WERTOWIK_ICONV} -f UTF-8 -t CP1250//TRANSLIT -o ${copy} ${source}
      DEPENDS ${source}
      COMMENT "Windows-1250 copy of ${relative}"
      VERBATIM)
    set_property(GLOBAL APPEND PROPERTY WERTOWIK_CP1250_COPIES ${copy})
  endif()
  set(${out_var} ${copy} PARENT_SCOPE)
endfunction()

function(wertowik_compile_as_cp1250)
  # Headers are converted too: a converted source finds its neighbours in its own folder, and
  # everything else through BUILD/cp1250 ahead of the source tree.
  file(GLOB_RECURSE headers CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/contract/*.h ${PROJECT_SOURCE_DIR}/text/*.h
    ${PROJECT_SOURCE_DIR}/platform/*.h ${PROJECT_SOURCE_DIR}/plugins/*.h)
  set(copies)
  foreach(header ${headers})
    _wertowik_cp1250_copy(${header} copy)
    list(APPEND copies ${copy})
  endforeach()

  foreach(target ${ARGN})
    get_target_property(sources ${target} SOURCES)
    get_target_property(folder ${target} SOURCE_DIR)
    set(converted)
    foreach(source ${sources})
      get_filename_component(absolute ${source} ABSOLUTE BASE_DIR ${folder})
      string(FIND "${absolute}" "${PROJECT_SOURCE_DIR}/" at)
      if(at EQUAL 0 AND absolute MATCHES "\\.(cpp|h)$")
        _wertowik_cp1250_copy(${absolute} copy)
        list(APPEND converted ${copy})
        list(APPEND copies ${copy})
      else()
        list(APPEND converted ${source})
      endif()
    endforeach()
    set_property(TARGET ${target} PROPERTY SOURCES ${converted})
    target_include_directories(${target} BEFORE PRIVATE ${WERTOWIK_CP1250_DIR})
    list(APPEND targets ${target})
  endforeach()

  list(REMOVE_DUPLICATES copies)
  add_custom_target(wtk_cp1250_copies DEPENDS ${copies})
  foreach(target ${targets})
    add_dependencies(${target} wtk_cp1250_copies)
  endforeach()
endfunction()
