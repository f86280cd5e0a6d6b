# What the JUCE library needs in the Windows cross builds (MinGW-w64).

# Debian's JUCE carries no libpng or libjpeg of its own: the static builds of
# tools/setup-windows.sh (in TAVREL_MINGW_PREFIX) and MinGW's zlib serve.
find_path(TAVREL_PNG_INCLUDE_DIR png.h REQUIRED)
find_path(TAVREL_JPEG_INCLUDE_DIR jpegint.h REQUIRED)
find_library(TAVREL_PNG_LIBRARY NAMES libpng16.a libpng.a REQUIRED)
find_library(TAVREL_JPEG_LIBRARY NAMES libjpeg.a REQUIRED)
find_library(TAVREL_ZLIB_LIBRARY NAMES libz.a REQUIRED)

target_compile_definitions(tavrel_juce PUBLIC JUCE_INCLUDE_PNGLIB_CODE=0 JUCE_INCLUDE_JPEGLIB_CODE=0)
target_include_directories(tavrel_juce SYSTEM PRIVATE "${TAVREL_PNG_INCLUDE_DIR}" "${TAVREL_JPEG_INCLUDE_DIR}")
target_link_libraries(tavrel_juce PUBLIC ${TAVREL_PNG_LIBRARY} ${TAVREL_JPEG_LIBRARY} ${TAVREL_ZLIB_LIBRARY})

# On MinGW, JUCE defines __uuidof as a template over a type, which breaks
# MinGW's IID_PPV_ARGS (it passes an expression). juce_gui_basics is compiled
# through a unit of ours that mends the macro first; JUCE's files stay as
# they are.
get_target_property(gui_basics_sources juce_gui_basics INTERFACE_SOURCES)
list(FILTER gui_basics_sources EXCLUDE REGEX "/juce_gui_basics\\.cpp$")
set_target_properties(juce_gui_basics PROPERTIES INTERFACE_SOURCES "${gui_basics_sources}")
set(gui_basics_unit "${PROJECT_SOURCE_DIR}/cmake/windows/juce_gui_basics_mingw.cpp")
target_sources(tavrel_juce PRIVATE "${gui_basics_unit}")
# The module's UUIDGetter specialisations are not accepted by GCC as written.
set_source_files_properties("${gui_basics_unit}" PROPERTIES COMPILE_OPTIONS "-fpermissive;-w")

# The framework's code is compiled lighter than ours: it keeps the cross
# build quick on two cores, and none of it is on the audio path.
foreach(library tavrel_juce tavrel_juce_processors)
  if(TARGET ${library})
    target_compile_options(${library} PRIVATE -O1 "-Wa,-mbig-obj")
  endif()
endforeach()
