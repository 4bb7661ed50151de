# quorvane_add_message_table(TARGET MC_SOURCE)
# Compiles a message table source (UTF-8, several languages) into a resource of the
# executable, beside its version resource: the texts Event Viewer shows for the events the
# executable reports. The header with the symbolic identifiers lands in the directory named
# by the target's property QUORVANE_MESSAGE_HEADER_DIR, for tests.
if(NOT MSVC)
  # windmc comes with windres under the same prefix (x86_64-w64-mingw32-, i686-w64-mingw32-).
  get_filename_component(_quorvane_rc_dir "${CMAKE_RC_COMPILER}" DIRECTORY)
  get_filename_component(_quorvane_rc_name "${CMAKE_RC_COMPILER}" NAME)
  string(REGEX REPLACE "windres" "windmc" _quorvane_mc_name "${_quorvane_rc_name}")
  find_program(QUORVANE_WINDMC NAMES ${_quorvane_mc_name} HINTS ${_quorvane_rc_dir} REQUIRED)
endif()

function(quorvane_add_message_table target source)
  get_filename_component(source ${source} ABSOLUTE)
  get_filename_component(name ${source} NAME_WE)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_messages)
  if(MSVC)
    # mc.exe reads UTF-16 sources (-u); not built here.
    message(WARNING "${target}: the message table ${name}.mc is compiled with windmc only")
    return()
  endif()
  # windmc keeps the source's line ends in the texts; the platform's own tables have CR LF.
  add_custom_command(
    OUTPUT ${dir}/${name}.rc ${dir}/${name}.h
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -DIN=${source} -DOUT=${dir}/${name}.mc
            -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/crlf_copy.cmake
    COMMAND ${QUORVANE_WINDMC} -C 65001 -r ${dir} -h ${dir} ${dir}/${name}.mc
    DEPENDS ${source} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/crlf_copy.cmake
    COMMENT "Compiling the message table ${name}.mc"
    VERBATIM)
  # The generated .rc names its .bin files relative to itself.
  target_sources(${target} PRIVATE ${dir}/${name}.rc)
  set_property(TARGET ${target} PROPERTY QUORVANE_MESSAGE_HEADER_DIR ${dir})
endfunction()
