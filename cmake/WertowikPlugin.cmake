# wertowik_add_plugin(NAME SOURCES file... [NO_INITIALIZE] [CANCEL])
# Builds one plug-in library: NAME.so in the build's plugins folder (NAME.dll on Windows), exporting
# exactly the host contract: InitializePlugin (unless NO_INITIALIZE), Info, CDName, PluginName,
# CanYouRegister, RegisterCD and Cancel (with CANCEL); on Linux also WertowikAttachHost.
# On Windows the library's folder holds NAME.def (names and ordinals), NAME.rc and res/.
function(wertowik_add_plugin name)
  cmake_parse_arguments(P "NO_INITIALIZE;CANCEL" "" "SOURCES" ${ARGN})
  add_library(${name} SHARED ${P_SOURCES} ${PROJECT_SOURCE_DIR}/contract/exports.cpp)
  if(NOT P_NO_INITIALIZE)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/contract/export_initialize.cpp)
  endif()
  target_link_libraries(${name} PRIVATE wtk_plugin_base)
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${WERTOWIK_PLUGIN_DIR}
    RUNTIME_OUTPUT_DIRECTORY ${WERTOWIK_PLUGIN_DIR})

  if(WIN32)
    # NAME.def gives the export names and ordinals; NAME.rc the images in res/ and the version.
    set(rc ${CMAKE_CURRENT_SOURCE_DIR}/${name}.rc)
    target_sources(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/${name}.def ${rc}
                                   ${PROJECT_SOURCE_DIR}/contract/win32_runtime.cpp)
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
    set(exports Info CDName PluginName CanYouRegister RegisterCD WertowikAttachHost)
    if(NOT P_NO_INITIALIZE)
      list(APPEND exports InitializePlugin)
    endif()
    if(P_CANCEL)
      list(APPEND exports Cancel)
    endif()
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

if(NOT TARGET wertowik_plugins)
  add_custom_target(wertowik_plugins)
endif()
