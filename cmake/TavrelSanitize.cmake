# Compiler and linker switches of the sanitizer builds (TAVREL_SANITIZE).
# They apply to every target, JUCE's modules too: a race or an overrun is only
# seen when both sides of it are instrumented.

set(TAVREL_SANITIZE_OPTIONS address thread fuzzer)
if(TAVREL_SANITIZE AND NOT TAVREL_SANITIZE IN_LIST TAVREL_SANITIZE_OPTIONS)
  message(FATAL_ERROR "TAVREL_SANITIZE must be empty or one of: ${TAVREL_SANITIZE_OPTIONS}")
endif()

if(TAVREL_SANITIZE STREQUAL "address")
  set(tavrel_sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=undefined)
elseif(TAVREL_SANITIZE STREQUAL "thread")
  set(tavrel_sanitize_flags -fsanitize=thread)
elseif(TAVREL_SANITIZE STREQUAL "fuzzer")
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TAVREL_SANITIZE=fuzzer needs clang (CC=clang-14 CXX=clang++-14)")
  endif()
  # Coverage for libFuzzer everywhere; only the fuzz targets link its main.
  set(tavrel_sanitize_flags -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined)
endif()

if(tavrel_sanitize_flags)
  # -O1 keeps the instrumented JUCE quick to compile; -g1 gives reports lines.
  add_compile_options(${tavrel_sanitize_flags} -fno-omit-frame-pointer -O1 -g1)
  add_link_options(${tavrel_sanitize_flags})
endif()
