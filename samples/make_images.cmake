# cmake -DSAMPLES=DIR -DIMAGES=DIR -DMKISOFS=genisoimage|xorriso -P make_images.cmake
# Makes IMAGES/NAME.iso from every disc folder SAMPLES/NAME: Joliet names, file names read as UTF-8,
# the first line of the folder's .windows-label as volume identifier, the label file left out.
file(REMOVE_RECURSE ${IMAGES})
file(MAKE_DIRECTORY ${IMAGES})
get_filename_component(tool ${MKISOFS} NAME)
if(tool MATCHES "xorriso")
  set(command ${MKISOFS} -as mkisofs)
else()
  set(command ${MKISOFS})
endif()
file(GLOB discs LIST_DIRECTORIES true ${SAMPLES}/*)
foreach(disc ${discs})
  if(NOT IS_DIRECTORY ${disc})
    continue()
  endif()
  get_filename_component(name ${disc} NAME)
  set(label_option)
  if(EXISTS ${disc}/.windows-label)
    file(STRINGS ${disc}/.windows-label lines LIMIT_COUNT 1)
    if(lines)
      list(GET lines 0 label)
      set(label_option -V ${label})
    endif()
  endif()
  execute_process(
    COMMAND ${command} -quiet -input-charset utf-8 -J ${label_option} -m .windows-label
            -o ${IMAGES}/${name}.iso ${disc}
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot make the image of ${disc}")
  endif()
endforeach()
