#pragma once

namespace tavrel::vst
{

// What all effect instances of one loaded library share: the framework's GUI
// support and the thread that runs its message loop. The platform's part is
// in FrameRuntimeLinux.cpp or FrameRuntimeWindows.cpp.
//
// On Windows the support is set up when the library is attached, and the
// attaching thread (the host's GUI thread) is the message thread for good:
// the framework's messages go to a hidden window of that thread, so change
// broadcasts and timers run whenever the host pumps its message loop.
// HostDrivenLoop changes nothing there.
//
// A Linux host has no message loop the framework can join, so while no editor
// is open a background thread of ours is the message thread: it delivers the
// change broadcasts of parameter writes and runs the adapter timers, whatever
// thread the host calls us on. Host requests that touch what those callbacks
// touch take the message manager lock, so they never overlap a delivery.
//
// An open editor needs the host's own GUI thread as message thread, since the
// host creates, drives and destroys the editor's window from there. An editor
// frame therefore holds a HostDrivenLoop for its lifetime: the background
// thread stops, the calling thread becomes the message thread, and the host's
// effEditIdle calls run the loop. When the last editor goes, the background
// thread takes over again. The message thread can thus change identity while
// the library stays loaded.
//
// The support is set up with the first instance and shut down with the last,
// so a library without instances holds no threads and no framework state and
// unloads cleanly. While instances are open, the library stays loaded even if
// the host unloads it; a process that ends with instances open leaves them,
// and the framework, to the end of the process (FrameRuntimeLinux.cpp tells
// why). When the framework already runs in this process image (a
// program that links the frame statically), its message thread stays in place
// and no thread of ours is started.
class FrameRuntime
{
public:
    // One per effect instance, and one around the entry point's work.
    class Reference
    {
    public:
        Reference();
        ~Reference();

        Reference (const Reference&) = delete;
        Reference& operator= (const Reference&) = delete;
    };

    // Held by an editor frame, and while a processor is made or destroyed:
    // the constructing thread is the message thread until the last
    // HostDrivenLoop is gone. Construct and destroy it on the host's GUI
    // thread, with a Reference alive, and not while holding the message
    // manager lock.
    class HostDrivenLoop
    {
    public:
        HostDrivenLoop();
        ~HostDrivenLoop();

        HostDrivenLoop (const HostDrivenLoop&) = delete;
        HostDrivenLoop& operator= (const HostDrivenLoop&) = delete;
    };

    // Delivers every pending message and runs every due timer before
    // returning, on the message thread, or under its lock when the calling
    // thread is not the message thread.
    static void runDueTimersAndMessages();

    // The number of live References; for the tests.
    static int referenceCount();

    // Windows only: the library's attach and detach, from its DllMain.
    static void attachLibrary (void* moduleHandle);
    static void detachLibrary (bool processIsTerminating);

private:
    // The platform's part of runDueTimersAndMessages, on the message thread:
    // what the framework itself has waiting (its posted messages, and on
    // Windows the repaints of our windows), and nothing of the host's.
    static void dispatchFrameworkMessages();
};

} // namespace tavrel::vst
