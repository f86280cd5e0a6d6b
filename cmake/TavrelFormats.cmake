# The plug-ins as VST3 and LV2 bundles: JUCE's own plug-in clients around the
# frame's juce::AudioProcessor adapter (plugin_frame/juce_processor).
include(cmake/TavrelIdentity.cmake)

# JUCE's LV2 step looks for its metadata helper under the plain name and
# would otherwise build a second copy beside the installed one.
if(TARGET juce::juce_lv2_helper AND NOT TARGET juce_lv2_helper)
  add_executable(juce_lv2_helper IMPORTED GLOBAL)
  get_target_property(tavrel_lv2_helper juce::juce_lv2_helper LOCATION)
  set_target_properties(juce_lv2_helper PROPERTIES IMPORTED_LOCATION "${tavrel_lv2_helper}")
endif()

# Each of JUCE's client targets carries the translation units of every
# format, which compile to nothing outside their own; only its own is kept.
foreach(format VST3 LV2)
  set_property(TARGET juce_audio_plugin_client_${format} PROPERTY INTERFACE_SOURCES
    "${JUCE_MODULES_DIR}/juce_audio_plugin_client/juce_audio_plugin_client_${format}.cpp")
endforeach()

set(TAVREL_LV2_CLASS_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/TavrelLv2Class.cmake")

# tavrel_format_plugins(<target> IDENTITY <header> SOURCES <files...> LIBS <targets...>)
# Makes plugins/<product>.vst3 and plugins/<product>.lv2 from the identity
# record in <header> and the sources that define createPluginFilter. Only
# the clients' translation units and JUCE's plug-in utilities are compiled
# per plug-in; the modules come from tavrel_juce and tavrel_juce_processors.
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
    FORMATS VST3 LV2
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

  set(plugins "${CMAKE_BINARY_DIR}/plugins")
  set_target_properties(${target}_VST3 PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY "${plugins}/${id_productName}.vst3/Contents/${JUCE_TARGET_ARCHITECTURE}-linux")
  set_target_properties(${target}_LV2 PROPERTIES
    PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY "${plugins}/${id_productName}.lv2")
  # JUCE's metadata names every effect just an lv2:Plugin; hosts sort their
  # menus by the more specific class, added to what the helper wrote.
  add_custom_command(TARGET ${target}_LV2 POST_BUILD
    COMMAND "${CMAKE_COMMAND}" -DTTL=${plugins}/${id_productName}.lv2/dsp.ttl
      -DURI=${id_lv2Uri} -DCLASS=${id_lv2Class} -P "${TAVREL_LV2_CLASS_SCRIPT}"
    VERBATIM)

  foreach(format VST3 LV2)
    # Nothing of ours or JUCE's beyond the client's entry points leaves the library.
    target_link_options(${target}_${format} PRIVATE "LINKER:--exclude-libs,ALL")
  endforeach()
endfunction()
