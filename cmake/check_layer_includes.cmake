# Fails when a file under src/ includes a header of a layer above its own, or
# of a layer beside it; lists every such include. The layer order is in
# x91_layers.cmake. The public x91/status.h and x91/constants.h belong to
# every layer. The command stands on the public interface alone: besides
# its own headers it includes only x91/ (and wave/, the CD-WAV reader and
# writer that serve only it).
#   cmake -DSOURCE_DIR=<project> -P check_layer_includes.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/x91_layers.cmake)

set(violations)
set(checked 0)
foreach(layer IN LISTS X91_LAYERS)
  x91_layer_level(${layer} level)
  file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}/src
    ${SOURCE_DIR}/src/${layer}/*.h ${SOURCE_DIR}/src/${layer}/*.cpp)
  foreach(file IN LISTS files)
    math(EXPR checked "${checked} + 1")
    file(STRINGS ${SOURCE_DIR}/src/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" header "${line}")
      if(header STREQUAL "x91/status.h" OR header STREQUAL "x91/constants.h")
        continue()
      endif()
      string(REGEX REPLACE "/.*" "" used "${header}")
      if(layer STREQUAL "command" AND NOT used MATCHES "^(command|x91|wave)$")
        list(APPEND violations "src/${file}: the command may include only public headers, not \"${header}\"")
        continue()
      endif()
      if(used STREQUAL "x91")
        set(used api)
      endif()
      x91_layer_level("${used}" used_level)
      if(used STREQUAL layer)
        continue()
      elseif(NOT header MATCHES "/" OR used_level EQUAL -1)
        list(APPEND violations "src/${file}: \"${header}\" is not a header of a layer")
      elseif(used_level GREATER_EQUAL level)
        list(APPEND violations "src/${file}: ${layer} may not include \"${header}\"")
      endif()
    endforeach()
  endforeach()
endforeach()

if(checked EQUAL 0)
  message(FATAL_ERROR "no sources found under ${SOURCE_DIR}/src")
endif()
if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "includes against the layer order:\n  ${text}")
endif()
message(STATUS "${checked} files keep to the layer order")
