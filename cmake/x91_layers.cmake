# The layers of src/, lowest first. Each is a folder and a library target
# (x91_<layer>) that may use the layers before it and never those after it;
# layers joined by a comma stand side by side and do not use each other.
# The public C header include/x91/x91.h belongs to the api layer; the
# error vocabulary, include/x91/status.h, and the format's numbers,
# include/x91/constants.h, to every layer. The command stands on the public
# interface alone (see check_layer_includes.cmake).
set(X91_LAYER_LEVELS
  storage
  format,wave
  framework
  dsp
  coding,quant
  analysis
  tuned
  graphs
  library
  stream
  api
  command)

# The layers that serve only the x91 program: they stay out of the
# installed codec library.
set(X91_COMMAND_LAYERS wave command)

# X91_LAYERS: every layer, lowest first.
set(X91_LAYERS)
foreach(level IN LISTS X91_LAYER_LEVELS)
  string(REPLACE "," ";" layers_of_level "${level}")
  list(APPEND X91_LAYERS ${layers_of_level})
endforeach()

# Sets <out> to the level (0 = lowest) of a layer, or -1 for none.
function(x91_layer_level layer out)
  set(index 0)
  foreach(level IN LISTS X91_LAYER_LEVELS)
    string(REPLACE "," ";" layers_of_level "${level}")
    if(layer IN_LIST layers_of_level)
      set(${out} ${index} PARENT_SCOPE)
      return()
    endif()
    math(EXPR index "${index} + 1")
  endforeach()
  set(${out} -1 PARENT_SCOPE)
endfunction()
