# wertowik_add_plugin(NAME SOURCES file... [NO_INITIALIZE] [CANCEL])
# Builds one plug-in library: NAME.so in the build's plugins folder (NAME.dll on Windows), exporting
# exactly the host contract: InitializePlugin (unless NO_INITIALIZE), Info, CDName, PluginName,
# CanYouRegister, RegisterCD and Cancel (with CANCEL); on Linux also WertowikAttachHost.
# On Windows the library's folder holds NAME.rc and res/; its NAME.def (names and ordinals) is
# made here, as the Linux export list is.
function(wertowik_add_plugin name)
  cmake_parse_arguments(P "NO_INITIALIZE;CANCEL" "" "SOURCES" ${ARGN})
  add_library(${name} SHARED ${P_SOURCES} ${PROJECT_SOURCE_DIR}/contract/exports.cpp)
  if(NOT P_NO_INITIALIZE)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/contract/export_initialize.cpp)
  endif()
  target_link_libraries(${name} PRIVATE wtk_plugin_base)
  # The contract's exports in the order of their ordinals on Windows.
  set(exports Info CDName PluginName CanYouRegister)
  if(NOT P_NO_INITIALIZE)
    list(PREPEND exports InitializePlugin)
  endif()
  if(P_CANCEL)
    list(APPEND exports Cancel)
  endif()
  list(APPEND exports RegisterCD)
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${WERTOWIK_PLUGIN_DIR}
    RUNTIME_OUTPUT_DIRECTORY ${WERTOWIK_PLUGIN_DIR})

  if(WIN32)
    # NAME.def gives the export names and ordinals; NAME.rc the images in res/ and the version.
    set(rc ${CMAKE_CURRENT_SOURCE_DIR}/${name}.rc)
    set(def ${CMAKE_CURRENT_BINARY_DIR}/${name}.def)
    wertowik_write_def(${name} ${def} ${exports})
    target_sources(${name} PRIVATE ${def} ${rc} ${PROJECT_SOURCE_DIR}/contract/win32_runtime.cpp)
    # The exception runtime compiled for the Pentium (cmake/Win32Runtime.cmake), as objects that
    # take the place of the prebuilt archives' members.
    if(WERTOWIK_WIN32_RUNTIME)
      target_link_libraries(${name} PRIVATE ${WERTOWIK_WIN32_RUNTIME})
    endif()
    file(GLOB images CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/res/*)
    set_source_files_properties(${rc} PROPERTIES
      INCLUDE_DIRECTORIES ${CMAKE_CURRENT_SOURCE_DIR}
      OBJECT_DEPENDS "${images};${PROJECT_SOURCE_DIR}/contract/plugin_resources.rc")
    # The C++ runtime goes into the DLL, which then imports from system DLLs alone. The shipped
    # file is stripped (no debug sections, no symbol table) and asks for Windows 4.0, the version
    # of Windows 98 and NT 4, so that every system the host runs on loads it.
    # No data is imported (--disable-auto-import fails the link otherwise), so the DLL has no
    # pseudo-relocations for the start-up code to apply (contract/win32_runtime.cpp).
    target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++ -s -Wl,--kill-at
      -Wl,--disable-auto-import,--disable-runtime-pseudo-reloc
      -Wl,--major-os-version,4,--minor-os-version,0,--major-subsystem-version,4,--minor-subsystem-version,0)
  else()
    list(APPEND exports WertowikAttachHost)
    list(JOIN exports "; " export_list)
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${name}.map)
    file(WRITE ${script} "{\n  global: ${export_list};\n  local: *;\n};\n")
    target_link_options(${name} PRIVATE -Wl,--version-script=${script})
    if(WERTOWIK_MODULE_NO_UNDEFINED)
      target_link_options(${name} PRIVATE -Wl,--no-undefined)
    endif()
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${script})
  endif()
  add_dependencies(wertowik_plugins ${name})
endfunction()

# wertowik_write_def(NAME FILE export...): the module definition of NAME.dll: each export
# undecorated at the ordinal of its place, RegisterCD under its stdcall name.
function(wertowik_write_def name file)
  set(text "LIBRARY ${name}.dll\nEXPORTS\n")
  set(ordinal 0)
  foreach(export ${ARGN})
    math(EXPR ordinal "${ordinal} + 1")
    if(export STREQUAL "RegisterCD")
      string(APPEND text "    RegisterCD = RegisterCD@40 @${ordinal}\n")
    else()
      string(APPEND text "    ${export} @${ordinal}\n")
    endif()
  endforeach()
  file(WRITE ${file} "${text}")
endfunction()

if(NOT TARGET wertowik_plugins)
  add_custom_target(wertowik_plugins)
endif()
