# One interface target carries the language standard and the warning set for
# all of our own targets; third-party code is compiled without it.
add_library(quillbox_options INTERFACE)
target_compile_features(quillbox_options INTERFACE cxx_std_20)
target_compile_options(quillbox_options INTERFACE
  -Wall -Wextra -Wpedantic -Werror
  -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-align
  -Wformat=2 -Wimplicit-fallthrough -Wmissing-declarations)

# The sanitizer preset turns this on for everything we build.
option(QUILLBOX_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(QUILLBOX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# The fuzz preset: every target we build carries libFuzzer's coverage
# instrumentation, so a fuzzer sees the branches of the libraries it drives.
# Only the fuzzers themselves link libFuzzer (-fsanitize=fuzzer, fuzz/).
option(QUILLBOX_FUZZ_INSTRUMENT "Compile every target with libFuzzer coverage (clang only)" OFF)
if(QUILLBOX_FUZZ_INSTRUMENT)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

option(QUILLBOX_HARDEN "Hardening flags for release builds" OFF)
if(QUILLBOX_HARDEN)
  add_compile_definitions(_FORTIFY_SOURCE=3 _GLIBCXX_ASSERTIONS)
  add_compile_options(-fstack-protector-strong)
endif()

# Every symbol of a shared library must resolve at link time. Not with clang's
# sanitizers: clang leaves their runtime out of shared libraries and the
# executable brings it. Added to, not replacing, the link options, so the
# sanitizer flags stay. The same holds for the coverage hooks of the fuzz build.
function(quillbox_no_undefined target)
  if(NOT ((QUILLBOX_SANITIZE OR QUILLBOX_FUZZ_INSTRUMENT) AND CMAKE_CXX_COMPILER_ID MATCHES "Clang"))
    target_link_options(${target} PRIVATE "-Wl,--no-undefined")
  endif()
endfunction()

# Each library is a static core that tests link, plus a thin shared library in
# dll/ that adds only the extern "C" exports (contracts/exports.map keeps every
# C++ symbol inside). It finds the platform library beside itself.
function(quillbox_shared_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINK" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE quillbox_options ${ARG_LINK})
  set_target_properties(${name} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${QUILLBOX_DLL_DIR}
    BUILD_RPATH "$ORIGIN"
    INSTALL_RPATH "$ORIGIN"
    LINK_DEPENDS ${PROJECT_SOURCE_DIR}/contracts/exports.map)
  target_link_options(${name} PRIVATE
    "-Wl,--version-script=${PROJECT_SOURCE_DIR}/contracts/exports.map")
  quillbox_no_undefined(${name})
endfunction()
