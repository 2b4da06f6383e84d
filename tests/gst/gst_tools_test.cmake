# The plugin through GStreamer's own tools, as a person would use them:
# gst-launch-1.0 decodes a file to the samples the x91 command decodes (the
# exact length the extension block tells), gst-discoverer-1.0 reports its
# duration and tags, and x91enc encodes a WAV and a tagged FLAC file to the
# files the command writes, block and tags included, which `x91 -t` finds
# intact.
# Prints "SKIPPED: <reason>" when a tool or element is not installed.
#   cmake -DBUILD_DIR=<build> -DWORK_DIR=<scratch> -P gst_tools_test.cmake
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(ENV{GST_PLUGIN_PATH} ${BUILD_DIR}/gst)
set(ENV{GST_REGISTRY} ${WORK_DIR}/registry.bin)

find_program(LAUNCH gst-launch-1.0)
find_program(DISCOVERER gst-discoverer-1.0)
find_program(INSPECT gst-inspect-1.0)
if(NOT LAUNCH OR NOT DISCOVERER OR NOT INSPECT)
  message("SKIPPED: gst-launch-1.0, gst-discoverer-1.0 or gst-inspect-1.0 is not installed")
  return()
endif()
foreach(element x91parse x91dec x91enc filesrc filesink decodebin wavparse flacenc audioconvert
    audioresample taginject videotestsrc pngenc audiotestsrc)
  execute_process(COMMAND ${INSPECT} ${element} RESULT_VARIABLE missing OUTPUT_QUIET ERROR_QUIET)
  if(missing)
    message("SKIPPED: the GStreamer element ${element} is not installed")
    return()
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE status
    OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

function(expect_same_bytes what a a_offset b)
  file(READ ${WORK_DIR}/${a} a_hex OFFSET ${a_offset} HEX)
  file(READ ${WORK_DIR}/${b} b_hex HEX)
  string(LENGTH "${a_hex}" a_length)
  string(LENGTH "${b_hex}" b_length)
  if(a_length EQUAL 0 OR NOT a_hex STREQUAL b_hex)
    math(EXPR a_bytes "${a_length} / 2")
    math(EXPR b_bytes "${b_length} / 2")
    message(FATAL_ERROR "${what}: ${b} (${b_bytes} bytes) differs from ${a} (${a_bytes} bytes)")
  endif()
  message(STATUS "${what}: the same")
endfunction()

run(${BUILD_DIR}/x91-sample song.wav)
run(${BUILD_DIR}/x91 --quiet song.wav song.x91)

# Decoding: the samples after the command's 44-byte WAV header.
run(${LAUNCH} -q filesrc location=song.x91 ! x91parse ! x91dec ! filesink location=parsed.raw)
expect_same_bytes("x91parse ! x91dec" song.x91.wav 44 parsed.raw)
run(${LAUNCH} -q filesrc location=song.x91 ! decodebin ! audioconvert
  ! audio/x-raw,format=S16LE,channels=2 ! filesink location=decodebin.raw)
expect_same_bytes("decodebin" song.x91.wav 44 decodebin.raw)

# The discoverer's duration, H:MM:SS.NNNNNNNNN, within one block of the
# decoded length.
run(${DISCOVERER} song.x91)
if(NOT last_output MATCHES "Duration: ([0-9]+):([0-9]+):([0-9]+)\\.([0-9]+)")
  message(FATAL_ERROR "gst-discoverer-1.0 reports no duration:\n${last_output}")
endif()
string(SUBSTRING "${CMAKE_MATCH_4}000000" 0 6 micros)
math(EXPR reported "((${CMAKE_MATCH_1} * 60 + ${CMAKE_MATCH_2}) * 60 + ${CMAKE_MATCH_3}) * 1000000 + ${micros}")
file(SIZE ${WORK_DIR}/parsed.raw raw_bytes)
math(EXPR decoded "${raw_bytes} / 4 * 1000000 / 44100")
math(EXPR off "${reported} - ${decoded}")
if(off GREATER 20000 OR off LESS -20000)
  message(FATAL_ERROR "discoverer: ${reported} us, the decode ${decoded} us")
endif()
message(STATUS "discoverer: ${reported} us for ${decoded} us of audio")

# Encoding: WAV and a tagged FLAC (lossless, so the same samples) give the
# command's files, the tags from the pipeline in the block.
run(${LAUNCH} -q filesrc location=song.wav ! wavparse ! taginject tags=title=Tagged
  ! flacenc ! filesink location=song.flac)
run(${BUILD_DIR}/x91 --quiet song.flac -o song-flac.x91)
foreach(input wav flac)
  run(${LAUNCH} -q filesrc location=song.${input} ! decodebin ! audioconvert ! audioresample
    ! x91enc ! filesink location=from-${input}.x91)
  run(${BUILD_DIR}/x91 -t from-${input}.x91)
endforeach()
expect_same_bytes("x91enc from wav" song.x91 0 from-wav.x91)
expect_same_bytes("x91enc from flac" song-flac.x91 0 from-flac.x91)
run(${DISCOVERER} -v from-flac.x91)
if(NOT last_output MATCHES "title: Tagged")
  message(FATAL_ERROR "gst-discoverer-1.0 reports no title:\n${last_output}")
endif()

# A cover and a ReplayGain value: the discoverer shows the image, and x91enc
# fed by the decode stores both again, the gain in its usual text.
run(${LAUNCH} -q videotestsrc num-buffers=1 ! video/x-raw,width=4,height=4 ! pngenc
  ! filesink location=cover.png)
run(${BUILD_DIR}/x91 --quiet --picture cover.png "--tag=REPLAYGAIN_TRACK_GAIN=+7.08 dB"
  song.wav -o covered.x91)
run(${DISCOVERER} -v covered.x91)
if(NOT last_output MATCHES "image: buffer of [0-9]+ bytes, type: image/png")
  message(FATAL_ERROR "gst-discoverer-1.0 shows no image:\n${last_output}")
endif()
run(${LAUNCH} -q filesrc location=covered.x91 ! decodebin ! audioconvert ! x91enc
  ! filesink location=again.x91)
run(${BUILD_DIR}/x91 --list again.x91)
if(NOT last_output MATCHES "REPLAYGAIN_TRACK_GAIN=\\+7.08 dB\n.*picture: type 3, image/png")
  message(FATAL_ERROR "x91enc kept no gain or picture:\n${last_output}")
endif()
# A stream without audio: x91enc given no buffers writes the file of no
# packets the command makes of an empty WAV, which -t passes and which
# plays as nothing.
run(${LAUNCH} -q audiotestsrc num-buffers=0 ! audio/x-raw,format=S16LE,rate=44100,channels=2
  ! x91enc ! filesink location=empty.x91)
run(${BUILD_DIR}/x91 -t empty.x91)
run(${BUILD_DIR}/x91 --quiet empty.x91 -o empty.wav)
run(${BUILD_DIR}/x91 --quiet empty.wav -o empty-again.x91)
expect_same_bytes("x91enc without audio" empty.x91 0 empty-again.x91)
run(${LAUNCH} -q filesrc location=empty.x91 ! decodebin ! audioconvert ! filesink location=empty.raw)
file(SIZE ${WORK_DIR}/empty.raw empty_bytes)
if(NOT empty_bytes EQUAL 0)
  message(FATAL_ERROR "a file of no packets played ${empty_bytes} bytes")
endif()
