# Installs the build into a fresh prefix and asks GStreamer's own inspector
# about x91dec there, as a person who installed to a prefix of their own
# would: GST_PLUGIN_PATH names the prefix's plugin folder, LD_LIBRARY_PATH is
# unset and no system plugin folder is searched, so the plugin must find
# libx91.so through its own run path. The plugin's licence must show.
# Prints "SKIPPED: <reason>" when gst-inspect-1.0 is not installed.
#   cmake -DBUILD_DIR=<build> -DWORK_DIR=<scratch> -P gst_install_test.cmake
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
find_program(INSPECT gst-inspect-1.0)
if(NOT INSPECT)
  message("SKIPPED: gst-inspect-1.0 is not installed")
  return()
endif()

execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
  RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
file(GLOB_RECURSE plugins ${prefix}/*/libgstx91.so)
if(status OR NOT plugins)
  message(FATAL_ERROR "the install to ${prefix} failed or left out the plugin (${status}): ${err}")
endif()
get_filename_component(plugin_dir ${plugins} DIRECTORY)

execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH
    GST_PLUGIN_PATH=${plugin_dir} GST_PLUGIN_SYSTEM_PATH_1_0=
    GST_REGISTRY_1_0=${WORK_DIR}/registry.bin ${INSPECT} x91dec
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(status)
  message(FATAL_ERROR "gst-inspect-1.0 x91dec from ${plugin_dir} failed (${status}):\n${out}\n${err}")
endif()
if(NOT out MATCHES "License +LGPL")
  message(FATAL_ERROR "the installed plugin shows no LGPL licence:\n${out}")
endif()
message(STATUS "x91dec loads from ${plugin_dir}, licence LGPL")
