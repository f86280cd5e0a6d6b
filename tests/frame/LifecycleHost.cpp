// A small host, run as a child process by HostLifecycleTest: it drives one
// plug-in library through one host lifecycle and ends the process the way
// that lifecycle's host does. Its exit status is the verdict: 0 when the
// process ended normally and left behind only what the lifecycle leaves open
// on purpose, another number (and a line on stderr) otherwise; a crash at
// exit shows as the signal that ended it.
//
//   lifecycle_host <lifecycle> <library> [<second library path>]
//
// Plain C++, Xlib and dlopen: the framework the plug-in carries is nowhere in
// this process but inside the plug-in.
#include "TestHost.h"
#include "ThreadCount.h"

#include <X11/Xlib.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

using namespace tavrel;
using namespace tavrel::test;
using namespace tavrel::vst;

namespace
{

enum Verdict
{
    ok = 0,
    cannotStart = 2,
    threadLeftBehind = 3,
    libraryLeftLoaded = 4,
    libraryUnloadedUnderAnInstance = 5,
    wrongReply = 6
};

bool isLoaded (const std::string& path)
{
    void* handle = dlopen (path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr)
        dlclose (handle);
    return handle != nullptr;
}

[[noreturn]] void fail (Verdict verdict, const std::string& what)
{
    std::fprintf (stderr, "lifecycle_host: %s\n", what.c_str());
    std::fflush (stderr);
    std::_Exit (verdict);
}

// What the plug-in's threads need a moment for: their start, a timer round.
void settle (int milliseconds = 50)
{
    std::this_thread::sleep_for (std::chrono::milliseconds (milliseconds));
}

void* openLibrary (const std::string& path)
{
    void* handle = dlopen (path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        fail (cannotStart, "cannot load " + path + ": " + dlerror());
    return handle;
}

AEffect* makeEffect (void* library)
{
    const auto entry = reinterpret_cast<PluginLibrary::Entry> (dlsym (library, "main"));
    AEffect* effect = entry != nullptr ? entry (TestHost::callback) : nullptr;
    if (effect == nullptr)
        fail (cannotStart, "the entry point made no effect");
    return effect;
}

intptr_t dispatch (AEffect* effect, int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr)
{
    return effect->dispatcher (effect, opcode, index, value, ptr, 0.0f);
}

// What a host does with an instance before it quits: open it, start it,
// play a few blocks.
void startAndPlay (AEffect* effect)
{
    dispatch (effect, effOpen);
    dispatch (effect, effSetSampleRate, 0, 0, nullptr);
    dispatch (effect, effMainsChanged, 0, 1);

    StereoBlock in (512, 0.25f), out (512);
    for (int block = 0; block < 4; ++block)
        effect->processReplacing (effect, in.channels(), out.channels(), 512);
}

void closeEffect (AEffect* effect)
{
    if (dispatch (effect, effClose) != 1)
        fail (wrongReply, "effClose did not reply 1");
}

// After everything was closed and unloaded: no thread and no library of the
// plug-in is left.
void expectNothingLeft (int threadsBefore, const std::string& path)
{
    if (isLoaded (path))
        fail (libraryLeftLoaded, path + " is still loaded");

    // A thread of the plug-in ends just after it signals that it stopped.
    for (int attempt = 0; attempt < 100 && threadCount() > threadsBefore; ++attempt)
        settle (10);
    if (threadCount() > threadsBefore)
        fail (threadLeftBehind, std::to_string (threadCount() - threadsBefore) + " thread(s) left behind");
}

// An X top-level window for the editor, on the display of $DISPLAY.
Window makeHostWindow (Display* display)
{
    const Window window = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 400, 700, 0, 0, 0);
    XMapWindow (display, window);
    XSync (display, False);
    return window;
}

//==============================================================================
// The lifecycles. Each ends the process itself; returning means success.

// The host quits (exit) with the instance open and running, at once.
void quitWithInstanceOpen (const std::string& path)
{
    AEffect* effect = makeEffect (openLibrary (path));
    startAndPlay (effect);
    std::exit (ok);
}

// The host quits while a chunk it asked for is still held, a parameter
// write from another thread waits for its change broadcast, and the
// adapter's timer has run.
void quitWithChunkAndBroadcastPending (const std::string& path)
{
    AEffect* effect = makeEffect (openLibrary (path));
    startAndPlay (effect);
    settle (300);

    void* chunk = nullptr;
    if (dispatch (effect, effGetChunk, 0, 0, &chunk) <= 0 || chunk == nullptr)
        fail (wrongReply, "effGetChunk gave no chunk");

    std::thread automation ([effect] { effect->setParameter (effect, 1, 1.0f); });
    automation.join();
    std::exit (ok);
}

// The host quits with the editor open in its window, after a few idle calls.
void quitWithEditorOpen (const std::string& path)
{
    Display* display = XOpenDisplay (nullptr);
    if (display == nullptr)
        fail (cannotStart, "no X display (run under xvfb-run)");

    AEffect* effect = makeEffect (openLibrary (path));
    startAndPlay (effect);

    const Window window = makeHostWindow (display);
    if (dispatch (effect, effEditOpen, 0, 0, reinterpret_cast<void*> (window)) != 1)
        fail (wrongReply, "effEditOpen did not open the editor");
    for (int idle = 0; idle < 5; ++idle)
    {
        dispatch (effect, effEditIdle);
        settle (10);
    }

    void* chunk = nullptr;
    dispatch (effect, effGetChunk, 0, 0, &chunk);
    std::exit (ok);
}

// The host unloads the library while an instance is still open, and goes on:
// the instance keeps its library (and plays) until the process ends.
void unloadWithInstanceOpen (const std::string& path)
{
    void* library = openLibrary (path);
    AEffect* effect = makeEffect (library);
    startAndPlay (effect);
    dlclose (library);

    settle (300); // the plug-in's threads keep running meanwhile
    if (! isLoaded (path))
        fail (libraryUnloadedUnderAnInstance, "the library was unloaded under an open instance");
    StereoBlock in (512, 0.25f), out (512);
    effect->processReplacing (effect, in.channels(), out.channels(), 512);
}

// effClose on an instance that was never opened.
void closeWithoutOpen (const std::string& path)
{
    const int threadsBefore = threadCount();
    void* library = openLibrary (path);
    closeEffect (makeEffect (library));
    dlclose (library);
    expectNothingLeft (threadsBefore, path);
}

// Made and played on one thread, which then ends; closed on another.
void closeOnAnotherThread (const std::string& path)
{
    const int threadsBefore = threadCount();
    void* library = openLibrary (path);

    AEffect* effect = nullptr;
    std::thread maker ([&] { effect = makeEffect (library); startAndPlay (effect); });
    maker.join();
    settle();

    std::thread closer ([&] { closeEffect (effect); });
    closer.join();
    dlclose (library);
    expectNothingLeft (threadsBefore, path);
}

// Two scanner threads make, query and close instances at once.
void scanInParallel (const std::string& path)
{
    const int threadsBefore = threadCount();
    void* library = openLibrary (path);

    const auto scan = [library]
    {
        for (int round = 0; round < 20; ++round)
        {
            AEffect* effect = makeEffect (library);
            dispatch (effect, effOpen);
            char name[65] = {};
            dispatch (effect, effGetEffectName, 0, 0, name);
            dispatch (effect, effGetParamName, 0, 0, name);
            void* chunk = nullptr;
            dispatch (effect, effGetChunk, 0, 0, &chunk);
            closeEffect (effect);
        }
    };
    std::thread first (scan), second (scan);
    first.join();
    second.join();

    dlclose (library);
    expectNothingLeft (threadsBefore, path);
}

// The same plug-in under two paths: two copies of the library, each with an
// instance, side by side. One is closed and unloaded, the host quits with
// the other open.
void loadTwiceUnderTwoPaths (const std::string& path, const std::string& secondPath)
{
    void* firstLibrary = openLibrary (path);
    void* secondLibrary = openLibrary (secondPath);
    if (firstLibrary == secondLibrary)
        fail (cannotStart, "the second path gave the same library");

    AEffect* first = makeEffect (firstLibrary);
    AEffect* second = makeEffect (secondLibrary);
    startAndPlay (first);
    startAndPlay (second);
    settle();

    const float secondsValue = second->getParameter (second, 1);
    first->setParameter (first, 1, secondsValue > 0.5f ? 0.0f : 1.0f);
    if (second->getParameter (second, 1) != secondsValue)
        fail (wrongReply, "the two copies share their parameters");

    closeEffect (second);
    dlclose (secondLibrary);
    if (isLoaded (secondPath))
        fail (libraryLeftLoaded, secondPath + " is still loaded");

    dispatch (first, effEditIdle);
    std::exit (ok);
}

} // namespace

int main (int argc, char** argv)
{
    if (argc < 3)
        fail (cannotStart, "usage: lifecycle_host <lifecycle> <library> [<second library path>]");

    TestHost host;
    host.play (120.0);

    const std::string lifecycle = argv[1];
    const std::string path = argv[2];

    if (lifecycle == "quit-with-instance-open")                 quitWithInstanceOpen (path);
    else if (lifecycle == "quit-with-chunk-and-broadcast-pending") quitWithChunkAndBroadcastPending (path);
    else if (lifecycle == "quit-with-editor-open")               quitWithEditorOpen (path);
    else if (lifecycle == "unload-with-instance-open")           unloadWithInstanceOpen (path);
    else if (lifecycle == "close-without-open")                  closeWithoutOpen (path);
    else if (lifecycle == "close-on-another-thread")             closeOnAnotherThread (path);
    else if (lifecycle == "scan-in-parallel")                    scanInParallel (path);
    else if (lifecycle == "load-twice-under-two-paths" && argc > 3) loadTwiceUnderTwoPaths (path, argv[3]);
    else fail (cannotStart, "unknown lifecycle " + lifecycle);

    return ok;
}
