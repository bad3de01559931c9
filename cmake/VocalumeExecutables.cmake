# vocalume_add_executables(<out> <glob> [WITHOUT_PACKAGEBUILDER <regex>] [LINK <libraries>...])
# One executable per source file of the calling directory matching <glob>, named after the file and
# linked with LINK; sources matching the regex are left out when the package builder's library is
# not built. Sets <out> to the targets' names.
function(vocalume_add_executables out glob)
  cmake_parse_arguments(arg "" "WITHOUT_PACKAGEBUILDER" "LINK" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${glob})
  if(NOT TARGET vocalumepackagebuilder AND arg_WITHOUT_PACKAGEBUILDER)
    list(FILTER sources EXCLUDE REGEX "${arg_WITHOUT_PACKAGEBUILDER}")
  endif()
  set(names)
  foreach(src IN LISTS sources)
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE ${arg_LINK})
    list(APPEND names ${name})
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()
