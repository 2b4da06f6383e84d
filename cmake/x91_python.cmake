# The Python that builds and tests the package (python/) and drives the
# browser tests (tests/web/): Debian's own, /usr/bin/python3, whose NumPy is
# python3-numpy, before any other python3 on the PATH (a version manager's
# shim may stand first there). X91_PYTHON_NUMPY tells whether it has NumPy.
find_program(X91_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT X91_PYTHON)
  find_program(X91_PYTHON python3)
endif()
set(X91_PYTHON_NUMPY OFF)
if(X91_PYTHON)
  execute_process(COMMAND ${X91_PYTHON} -c "import numpy"
    RESULT_VARIABLE numpy_missing OUTPUT_QUIET ERROR_QUIET)
  if(numpy_missing EQUAL 0)
    set(X91_PYTHON_NUMPY ON)
  endif()
endif()
