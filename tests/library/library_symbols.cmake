# Fails when an archive defines a symbol of ours outside namespace x91 and
# the C interface's x91_ prefix.
# Symbols of namespace std (templates instantiated with our types) and those
# the compiler and the sanitizers make up for themselves are not ours.
#   cmake -DNM=<nm> -DARCHIVE=<lib.a> -P library_symbols.cmake
execute_process(COMMAND ${NM} --defined-only ${ARCHIVE}
  RESULT_VARIABLE status OUTPUT_VARIABLE listing ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} ${ARCHIVE} failed: ${errors}")
endif()

# Mangled names: special prefixes (vtable, typeinfo, guard variable, TLS
# helpers, thunks), then the outermost scope of the name, which for ours is
# always x91 (3x91) or a handle type of the C interface (x91_encoder,
# x91_decoder, x91_threads); for function-local names the enclosing function's.
set(special "(T[VISTCHW]|GV|GR|Th[n0-9]+_|Tv[n0-9]+_[n0-9]+_)*")
set(scope "Z?N?[rVKRO]*(3x91|11x91_encoder|11x91_decoder|11x91_threads|St|9__gnu_cxx|Sa|Sb|Ss|Si|So|Sd)")
# A function cloned for several instruction sets gets a resolver named
# after the function it serves.
set(resolver "_Z[0-9]+_ZN?[rVKRO]*3x91")
set(made_up "CSWTCH\\.|\\.L|\\.str|DW\\.ref\\.|GCC_except_table|__unnamed_|__tcf_|_GLOBAL__|_sub_[ID]_")
string(APPEND made_up "|__cxx_global_var_init|__cxx_global_array_dtor|__clang_call_terminate")
string(APPEND made_up "|asan\\.|___asan_|__odr_asan|__asan_|sancov\\.|__sancov_|__ubsan_")
# Type descriptors of function and pointer types, which sanitizers check
# calls against, belong to no namespace.
string(APPEND made_up "|_ZT[IS][FPK]")

string(REPLACE "\n" ";" lines "${listing}")
set(foreign)
set(count 0)
foreach(line IN LISTS lines)
  # "<address> <type> <name>"; member headings ("file.o:") and blanks skipped.
  if(NOT line MATCHES "^[0-9a-fA-F]* *[A-Za-z] (.+)$")
    continue()
  endif()
  set(name "${CMAKE_MATCH_1}")
  math(EXPR count "${count} + 1")
  if(name MATCHES "^_Z${special}${scope}" OR name MATCHES "^${resolver}" OR name MATCHES "^x91_"
     OR name MATCHES "^(${made_up})")
    continue()
  endif()
  list(APPEND foreign "${name}")
endforeach()

if(count EQUAL 0)
  message(FATAL_ERROR "${ARCHIVE} defines no symbols")
endif()
if(foreign)
  list(REMOVE_DUPLICATES foreign)
  list(JOIN foreign "\n  " text)
  message(FATAL_ERROR "${ARCHIVE} defines symbols outside x91_ and namespace x91:\n  ${text}")
endif()
message(STATUS "${count} symbols of ${ARCHIVE}, all x91_, in namespace x91 or made by the compiler")
