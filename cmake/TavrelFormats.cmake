# The plug-ins as VST3 bundles, and on Linux as LV2 bundles: JUCE's own
# plug-in clients around the frame's juce::AudioProcessor adapter
# (plugin_frame/juce_processor). No LV2 bundles in the Windows cross build:
# JUCE writes their metadata by loading the built library at build time.
include(cmake/TavrelIdentity.cmake)

if(WIN32)
  set(TAVREL_PLUGIN_FORMATS VST3)
else()
  set(TAVREL_PLUGIN_FORMATS VST3 LV2)
endif()

# The folder of a VST3 bundle's Contents/ that holds the binary: the target's
# architecture and platform, as VST3 hosts look for it.
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TAVREL_VST3_BINARY_FOLDER "x86_64-win")
  else()
    set(TAVREL_VST3_BINARY_FOLDER "x86-win")
  endif()
  set(TAVREL_PLUGINS_DIR "${TAVREL_WINDOWS_OUTPUT_DIR}/plugins/${TAVREL_WINDOWS_ARCH}")
else()
  set(TAVREL_VST3_BINARY_FOLDER "${JUCE_TARGET_ARCHITECTURE}-linux")
  set(TAVREL_PLUGINS_DIR "${CMAKE_BINARY_DIR}/plugins")
endif()

# JUCE's LV2 step looks for its metadata helper under the plain name and
# would otherwise build a second copy beside the installed one.
if(TARGET juce::juce_lv2_helper AND NOT TARGET juce_lv2_helper)
  add_executable(juce_lv2_helper IMPORTED GLOBAL)
  get_target_property(tavrel_lv2_helper juce::juce_lv2_helper LOCATION)
  set_target_properties(juce_lv2_helper PROPERTIES IMPORTED_LOCATION "${tavrel_lv2_helper}")
endif()

# Each of JUCE's client targets carries the translation units of every
# format, which compile to nothing outside their own; only its own is kept.
foreach(format IN LISTS TAVREL_PLUGIN_FORMATS)
  set_property(TARGET juce_audio_plugin_client_${format} PROPERTY INTERFACE_SOURCES
    "${JUCE_MODULES_DIR}/juce_audio_plugin_client/juce_audio_plugin_client_${format}.cpp")
endforeach()

# JUCE 7.0.5's VST3 client copies each input bus's channel mapping, which
# holds a std::vector, by value in every process call: one heap allocation
# per block on the host's audio thread. The client is compiled against a copy
# of that one header, made here in the build tree with the copy turned into a
# reference (no other change). Configuring stops if the line is not there
# exactly once, so a different JUCE is never mended blindly.
set(TAVREL_JUCE_MENDED_DIR "${CMAKE_BINARY_DIR}/juce_mended")
function(tavrel_mend_vst3_client_header)
  set(header "juce_audio_processors/format_types/juce_VST3Common.h")
  set(copying "const auto mapping = map[busIndex];")
  file(READ "${JUCE_MODULES_DIR}/${header}" text)
  string(REPLACE "${copying}" "" without "${text}")
  string(LENGTH "${text}" with_length)
  string(LENGTH "${without}" without_length)
  string(LENGTH "${copying}" copying_length)
  math(EXPR found "(${with_length} - ${without_length}) / ${copying_length}")
  if(NOT found EQUAL 1)
    message(FATAL_ERROR "${header}: expected the per-block copy of the channel mapping once, found it ${found} times; check the VST3 client's process path of this JUCE")
  endif()
  string(REPLACE "${copying}" "const auto& mapping = map[busIndex];" text "${text}")
  # Rewritten only when it changes: every configure runs this, and a new
  # time stamp would compile both clients again.
  file(WRITE "${TAVREL_JUCE_MENDED_DIR}/${header}.new" "${text}")
  file(COPY_FILE "${TAVREL_JUCE_MENDED_DIR}/${header}.new" "${TAVREL_JUCE_MENDED_DIR}/${header}" ONLY_IF_DIFFERENT)
  file(REMOVE "${TAVREL_JUCE_MENDED_DIR}/${header}.new")
  set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${JUCE_MODULES_DIR}/${header}")
endfunction()
tavrel_mend_vst3_client_header()

set(TAVREL_LV2_CLASS_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/TavrelLv2Class.cmake")

# tavrel_format_plugins(<target> IDENTITY <header> SOURCES <files...> LIBS <targets...>)
# Makes <plugins>/<product>.vst3 (and on Linux <plugins>/<product>.lv2) from
# the identity record in <header> and the sources that define
# createPluginFilter; <plugins> is plugins/ of the build, or on Windows
# plugins/<arch>/ beside the VST 2.4 DLLs. Only the clients' translation units
# and JUCE's plug-in utilities are compiled per plug-in; the modules come from
# tavrel_juce and tavrel_juce_processors.
function(tavrel_format_plugins target)
  cmake_parse_arguments(ARG "" "IDENTITY" "SOURCES;LIBS" ${ARGN})
  tavrel_read_identity("${ARG_IDENTITY}" id)

  juce_add_plugin(${target}
    PRODUCT_NAME "${id_productName}"
    PLUGIN_NAME "${id_effectName}"
    DESCRIPTION "${id_effectName}"
    COMPANY_NAME "${id_vendor}"
    VERSION "${id_versionString}"
    PLUGIN_MANUFACTURER_CODE "${id_vendorCode}"
    PLUGIN_CODE "${id_code}"
    BUNDLE_ID "software.tavrel.${id_productName}"
    LV2URI "${id_lv2Uri}"
    FORMATS ${TAVREL_PLUGIN_FORMATS}
    VST3_CATEGORIES Fx
    IS_SYNTH FALSE
    NEEDS_MIDI_INPUT FALSE
    NEEDS_MIDI_OUTPUT FALSE
    IS_MIDI_EFFECT FALSE
    EDITOR_WANTS_KEYBOARD_FOCUS FALSE
    COPY_PLUGIN_AFTER_BUILD FALSE)

  target_sources(${target} PRIVATE ${ARG_SOURCES})
  # The VST2 compatibility of JUCE's VST3 client needs the VST2 SDK; our own
  # VST 2.4 build covers those hosts.
  target_compile_definitions(${target} PUBLIC
    JUCE_VST3_CAN_REPLACE_VST2=0
    JucePlugin_LV2URI="${id_lv2Uri}")
  target_link_libraries(${target} PUBLIC ${ARG_LIBS} juce_processor_frame PRIVATE tavrel_warnings)

  # The binary inside the bundle carries the bundle's name on Windows (JUCE
  # names it so), and <product>.so on Linux.
  set_target_properties(${target}_VST3 PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY "${TAVREL_PLUGINS_DIR}/${id_productName}.vst3/Contents/${TAVREL_VST3_BINARY_FOLDER}")
  # Found before JUCE's own modules folder (see tavrel_mend_vst3_client_header).
  target_include_directories(${target}_VST3 BEFORE PRIVATE "${TAVREL_JUCE_MENDED_DIR}")

  if(TARGET ${target}_LV2)
    set_target_properties(${target}_LV2 PROPERTIES
      PREFIX ""
      LIBRARY_OUTPUT_DIRECTORY "${TAVREL_PLUGINS_DIR}/${id_productName}.lv2")
    # JUCE's metadata names every effect just an lv2:Plugin; hosts sort their
    # menus by the more specific class, added to what the helper wrote.
    add_custom_command(TARGET ${target}_LV2 POST_BUILD
      COMMAND "${CMAKE_COMMAND}" -DTTL=${TAVREL_PLUGINS_DIR}/${id_productName}.lv2/dsp.ttl
        -DURI=${id_lv2Uri} -DCLASS=${id_lv2Class} -P "${TAVREL_LV2_CLASS_SCRIPT}"
      VERBATIM)
  endif()

  foreach(format IN LISTS TAVREL_PLUGIN_FORMATS)
    # Nothing of ours or JUCE's beyond the client's entry points leaves the library.
    target_link_options(${target}_${format} PRIVATE "LINKER:--exclude-libs,ALL")
    if(WIN32)
      # Static runtimes, as for the VST 2.4 DLLs: the bundle needs nothing
      # beside it but the system.
      target_link_options(${target}_${format} PRIVATE -static -static-libgcc -static-libstdc++ -s)
      # 32-bit: the factory's entry point is __stdcall, which the linker
      # exports as GetPluginFactory@0, and hosts look for the plain name.
      # (JUCE renames it for Microsoft's linker only.)
      if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        target_link_options(${target}_${format} PRIVATE "LINKER:--kill-at")
      endif()
    endif()
  endforeach()
endfunction()
