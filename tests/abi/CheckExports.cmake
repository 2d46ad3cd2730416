# Checks the dynamic symbols that a shared library defines (nm -D --defined-only).
#
#   cmake -DNM=<nm> [-DCXXFILT=<c++filt>] -DLIBRARY=<lib.so> -DCONTRACT=<header> -P CheckExports.cmake
#     The library exports exactly the functions that the header declares with
#     QUILLBOX_EXPORT: none missing, none extra.
#   cmake -DNM=<nm> [-DCXXFILT=<c++filt>] -DLIBRARY=<lib.so> -DNAMESPACE=<a::b> -P CheckExports.cmake
#     Every symbol the library exports belongs to that C++ namespace (judged by
#     its mangled name, so a std:: template over one of the namespace's types
#     does not count).
#
# Fails with the names of the missing and extra symbols ("missing: ..." and
# "extra: ..." lines, extra ones demangled where c++filt is given).

cmake_minimum_required(VERSION 3.25)

foreach(required NM LIBRARY)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "CheckExports.cmake needs -D${required}=...")
  endif()
endforeach()
if(NOT EXISTS "${LIBRARY}")
  message(FATAL_ERROR "no library at ${LIBRARY}")
endif()

# The defined dynamic symbols, one name each (POSIX format: name first).
execute_process(COMMAND "${NM}" -D --defined-only --format=posix "${LIBRARY}"
  OUTPUT_VARIABLE listing ERROR_VARIABLE nmErrors RESULT_VARIABLE nmStatus)
if(NOT nmStatus EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}: ${nmErrors}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(exported "")
foreach(line IN LISTS lines)
  string(REGEX MATCH "^[^ @]+" name "${line}")
  list(APPEND exported "${name}")
endforeach()
list(REMOVE_DUPLICATES exported)
if(exported STREQUAL "")
  message(FATAL_ERROR "${LIBRARY} exports no symbol at all")
endif()

get_filename_component(libraryName "${LIBRARY}" NAME)
set(missing "")
set(extra "")
if(DEFINED CONTRACT)
  file(READ "${CONTRACT}" header)
  # Comments may name functions; only declarations count.
  string(REGEX REPLACE "//[^\n]*" "" header "${header}")
  string(REGEX MATCHALL "QUILLBOX_EXPORT[^(;{}]*\\(" declarations "${header}")
  set(declared "")
  foreach(declaration IN LISTS declarations)
    string(REGEX MATCH "([A-Za-z_][A-Za-z0-9_]*)[ \t\r\n]*\\($" ignored "${declaration}")
    list(APPEND declared "${CMAKE_MATCH_1}")
  endforeach()
  if(declared STREQUAL "")
    message(FATAL_ERROR "${CONTRACT} declares no QUILLBOX_EXPORT function")
  endif()
  foreach(name IN LISTS declared)
    if(NOT name IN_LIST exported)
      list(APPEND missing "${name}")
    endif()
  endforeach()
  foreach(name IN LISTS exported)
    if(NOT name IN_LIST declared)
      list(APPEND extra "${name}")
    endif()
  endforeach()
  list(LENGTH declared count)
  get_filename_component(contractName "${CONTRACT}" NAME)
  set(goal "exactly the ${count} functions of ${contractName}")
elseif(DEFINED NAMESPACE)
  # quillbox::platform -> 8quillbox8platform, the mangled nested name.
  string(REPLACE "::" ";" parts "${NAMESPACE}")
  set(mangled "")
  foreach(part IN LISTS parts)
    string(LENGTH "${part}" length)
    string(APPEND mangled "${length}${part}")
  endforeach()
  # Entities of the namespace (N...E, with cv- and ref-qualifiers), their
  # vtables and typeinfo (TV, TI, TS), statics inside their functions (Z) and
  # the guards of those (GVZ).
  set(ownPattern "^_Z(T[VIS]|Z|GVZ)?N[rVKRO]*${mangled}")
  foreach(name IN LISTS exported)
    if(NOT name MATCHES "${ownPattern}")
      list(APPEND extra "${name}")
    endif()
  endforeach()
  set(goal "only symbols of namespace ${NAMESPACE}")
else()
  message(FATAL_ERROR "CheckExports.cmake needs -DCONTRACT=<header> or -DNAMESPACE=<a::b>")
endif()

if(missing STREQUAL "" AND extra STREQUAL "")
  list(LENGTH exported count)
  message(STATUS "${libraryName} exports ${goal} (${count} symbols)")
  return()
endif()

# Printed as plain lines (a FATAL_ERROR message would be re-wrapped), one
# "missing:" and one "extra:" line, then the C++ names among the extras.
set(report "${libraryName} does not export ${goal}")
if(NOT missing STREQUAL "")
  list(JOIN missing " " missingText)
  string(APPEND report "\nmissing: ${missingText}")
endif()
if(NOT extra STREQUAL "")
  list(JOIN extra " " extraText)
  string(APPEND report "\nextra: ${extraText}")
  set(mangledExtra "${extra}")
  list(FILTER mangledExtra INCLUDE REGEX "^_Z")
  if(CXXFILT AND NOT mangledExtra STREQUAL "")
    execute_process(COMMAND "${CXXFILT}" ${mangledExtra} OUTPUT_VARIABLE demangled)
    string(STRIP "${demangled}" demangled)
    string(REPLACE "\n" "\n  " demangled "${demangled}")
    string(APPEND report "\nextra C++ symbols, demangled:\n  ${demangled}")
  endif()
endif()
message("${report}")
message(FATAL_ERROR "export check of ${libraryName} failed")
