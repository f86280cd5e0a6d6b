# tavrel_read_identity(<header> <prefix>)
# Reads a plug-in's identity record (one field a line, each followed by a
# comment with its name) into <prefix>_<field> variables, so the build and the
# code take the names, codes and version from the same place.
function(tavrel_read_identity header prefix)
  file(STRINGS "${header}" lines REGEX "// [a-zA-Z0-9]+$")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[ \t]*\"([^\"]*)\",[ \t]*// ([a-zA-Z0-9]+)$")
      set(${prefix}_${CMAKE_MATCH_2} "${CMAKE_MATCH_1}" PARENT_SCOPE)
    elseif(line MATCHES "^[ \t]*([0-9]+),[ \t]*// ([a-zA-Z0-9]+)$")
      set(${prefix}_${CMAKE_MATCH_2} "${CMAKE_MATCH_1}" PARENT_SCOPE)
    endif()
  endforeach()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${header}")
endfunction()
