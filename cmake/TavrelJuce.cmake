# JUCE's modules, compiled exactly once into one position-independent static
# library that both plug-ins, the tools and every test link.
#
# JUCE's module targets are INTERFACE libraries that carry their sources, so
# linking them PRIVATE compiles them here; what a user of the modules needs
# (include path, module defines, system libraries) is re-exported below.

if(WIN32)
  # JUCE's version check rejects a 32-bit target under find_package; its
  # CMake API is the same for a cross build, and the host's juceaide serves.
  find_file(TAVREL_JUCE_CONFIG JUCEConfig.cmake
    PATHS /usr/lib/x86_64-linux-gnu/cmake/JUCE-7.0.5 /usr/lib/cmake/JUCE-7.0.5
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  include("${TAVREL_JUCE_CONFIG}")
else()
  find_package(JUCE 7.0.5 CONFIG REQUIRED)
endif()

set(TAVREL_JUCE_MODULES
  juce_core juce_events juce_data_structures juce_graphics juce_gui_basics juce_audio_basics)

# Switches for what the modules compile; the same for the library and its users.
set(TAVREL_JUCE_DEFINITIONS
  JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1
  JUCE_STRICT_REFCOUNTEDPOINTER=1
  JUCE_WEB_BROWSER=0
  JUCE_USE_CURL=0
  JUCE_LOAD_CURL_SYMBOLS_LAZILY=1
  JUCE_MODAL_LOOPS_PERMITTED=0
  JUCE_CATCH_UNHANDLED_EXCEPTIONS=0
  JUCE_LOG_ASSERTIONS=0
  JUCE_CHECK_MEMORY_LEAKS=0
  JUCE_DISPLAY_SPLASH_SCREEN=0
  JUCE_USE_XRENDER=0
  JUCE_USE_XCURSOR=1)

add_library(tavrel_juce STATIC)
foreach(module IN LISTS TAVREL_JUCE_MODULES)
  target_link_libraries(tavrel_juce PRIVATE juce::${module})
  target_compile_definitions(tavrel_juce PUBLIC JUCE_MODULE_AVAILABLE_${module}=1)
endforeach()
target_compile_definitions(tavrel_juce PUBLIC ${TAVREL_JUCE_DEFINITIONS})
target_include_directories(tavrel_juce SYSTEM PUBLIC "${JUCE_MODULES_DIR}")

if(TAVREL_BUILD_FORMATS)
  # What JUCE's plug-in clients (VST3, and LV2 on Linux) need beside
  # tavrel_juce, compiled once for both plug-ins with tavrel_juce's switches
  # and no plug-in hosting. Only the clients' own files, which read a
  # plug-in's JucePlugin_* facts, are compiled per plug-in
  # (cmake/TavrelFormats.cmake).
  add_library(tavrel_juce_processors STATIC
    "${JUCE_MODULES_DIR}/juce_gui_extra/juce_gui_extra.cpp"
    "${JUCE_MODULES_DIR}/juce_audio_processors/juce_audio_processors.cpp")
  target_compile_definitions(tavrel_juce_processors PUBLIC
    JUCE_MODULE_AVAILABLE_juce_gui_extra=1
    JUCE_MODULE_AVAILABLE_juce_audio_processors=1
    JUCE_MODULE_AVAILABLE_juce_audio_plugin_client=1
    JUCE_PLUGINHOST_VST=0 JUCE_PLUGINHOST_VST3=0 JUCE_PLUGINHOST_LV2=0
    JUCE_PLUGINHOST_LADSPA=0 JUCE_PLUGINHOST_AU=0 JUCE_PLUGINHOST_ARA=0)
  # The SDK headers the clients include, from JUCE's own copies.
  target_link_libraries(tavrel_juce_processors PUBLIC tavrel_juce juce::juce_vst3_headers)
  if(NOT WIN32)
    target_link_libraries(tavrel_juce_processors PUBLIC juce::juce_lilv_headers)
  endif()
endif()

if(WIN32)
  include(cmake/TavrelJuceWindows.cmake)
else()
  target_compile_definitions(tavrel_juce PUBLIC LINUX=1)
  target_link_libraries(tavrel_juce PUBLIC juce::pkgconfig_JUCE_IMG_LINUX_DEPS)
  find_package(Threads REQUIRED)
  target_link_libraries(tavrel_juce PUBLIC Threads::Threads ${CMAKE_DL_LIBS} rt)
endif()
