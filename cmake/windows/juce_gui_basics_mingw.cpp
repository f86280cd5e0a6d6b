// juce_gui_basics for MinGW-w64. juce_core defines __uuidof (x) as a lookup
// by the type x, while MinGW's IID_PPV_ARGS (pp) hands it the expression
// **(pp); here the macro names the pointee type instead. juce_core is
// included first, with the switches the module's own unit sets, so that the
// macro can be mended before the module's code uses it.
#define JUCE_CORE_INCLUDE_OBJC_HELPERS 1
#define JUCE_CORE_INCLUDE_COM_SMART_PTR 1
#define JUCE_CORE_INCLUDE_JNI_HELPERS 1
#define JUCE_CORE_INCLUDE_NATIVE_HEADERS 1
#define JUCE_EVENTS_INCLUDE_WIN32_MESSAGE_WINDOW 1
#define JUCE_GRAPHICS_INCLUDE_COREGRAPHICS_HELPERS 1
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#define JUCE_GUI_BASICS_INCLUDE_SCOPED_THREAD_DPI_AWARENESS_SETTER 1

#include <juce_core/juce_core.h>

#include <type_traits>

#undef IID_PPV_ARGS
#define IID_PPV_ARGS(pp) \
    __uuidof (std::remove_pointer_t<std::remove_reference_t<decltype (*(pp))>>), IID_PPV_ARGS_Helper (pp)

// juce_core's lookup knows only the interfaces that JUCE declares itself and
// answers an empty IID for any other. The editor's window asks DXGI for its
// factory through that lookup: with an empty IID the factory is refused, and
// the framework then calls through the null pointer it got, ending the
// host's process the moment an editor opens. DXGI's own IID is named here.
#include <dxgi.h>

namespace juce
{
JUCE_DECLARE_UUID_GETTER (::IDXGIFactory, "7b7166ec-21c7-44ae-b21a-c9ae321ae369")
}

#include <juce_gui_basics/juce_gui_basics.cpp>
