#pragma once

#include "VstInterface.h"

#if defined(_WIN32)
 #include <windows.h>
#else
 #include <dlfcn.h>
#endif

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavrel::test
{

// The host side of the effect record: answers the plug-in's callback with a
// version, a time record the test sets, and records the parameter-change
// notices and the editor's window requests (can-do, size window, idle). One host is active at a time; the callback finds it through
// TestHost::active. The callback allocates nothing on the get-time path.
class TestHost
{
public:
    TestHost() { active = this; }
    ~TestHost() { active = nullptr; }

    TestHost (const TestHost&) = delete;
    TestHost& operator= (const TestHost&) = delete;

    static intptr_t TAVREL_VST_CALL callback (vst::AEffect*, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
    {
        return active != nullptr ? active->answer (opcode, index, value, ptr, opt) : 0;
    }

    // Transport playing at the given tempo, 44.1 kHz, from sample 0.
    void play (double bpm, double samplePosition = 0.0)
    {
        giveTime = true;
        time = {};
        time.sampleRate = 44100.0;
        time.samplePos = samplePosition;
        time.tempo = bpm;
        time.timeSigNumerator = 4;
        time.timeSigDenominator = 4;
        time.flags = vst::kVstTransportPlaying | vst::kVstTempoValid | vst::kVstTimeSigValid;
    }

    void stop()
    {
        play (time.tempo);
        time.flags &= ~vst::kVstTransportPlaying;
    }

    struct Notice
    {
        int index;
        float value;
        bool fromCallingThread;
        bool operator== (const Notice& other) const { return index == other.index && value == other.value; }
    };

    intptr_t versionReply = 2400;
    bool giveTime = false;
    vst::VstTimeInfo time {};
    std::atomic<int> timeRequests { 0 };
    std::atomic<intptr_t> lastTimeMask { 0 };
    std::thread::id callingThread = std::this_thread::get_id();
    // Notices may come from the plug-in's message thread.
    std::vector<Notice> notices() const
    {
        const std::lock_guard<std::mutex> lock (noticeMutex);
        return automated;
    }

    void clearNotices()
    {
        const std::lock_guard<std::mutex> lock (noticeMutex);
        automated.clear();
        automateCount = 0;
    }

    std::atomic<int> automateCount { 0 };
    std::vector<std::string>* journal = nullptr; // shared with a probe processor

    // The reply to audioMasterCanDo "sizeWindow", and what a size window
    // request does besides being noted.
    intptr_t canSizeWindow = 1;
    std::function<void (int width, int height)> onSizeWindow;

    // "canDo <text>" and "sizeWindow <width>x<height>", in order.
    std::vector<std::string> windowRequests() const
    {
        const std::lock_guard<std::mutex> lock (noticeMutex);
        return windowLog;
    }

    // When each audioMasterIdle arrived, in milliseconds of a steady clock.
    std::vector<double> idleCallTimes() const
    {
        const std::lock_guard<std::mutex> lock (noticeMutex);
        return idleTimes;
    }

    void clearWindowRequests()
    {
        const std::lock_guard<std::mutex> lock (noticeMutex);
        windowLog.clear();
        idleTimes.clear();
    }

    static inline TestHost* active = nullptr;

private:
    mutable std::mutex noticeMutex;
    std::vector<Notice> automated;
    std::vector<std::string> windowLog;
    std::vector<double> idleTimes;

    void noteWindowRequest (const std::string& entry)
    {
        {
            const std::lock_guard<std::mutex> lock (noticeMutex);
            windowLog.push_back (entry);
        }
        if (journal != nullptr)
            journal->push_back (entry);
    }

    intptr_t answer (int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
    {
        switch (opcode)
        {
            case vst::audioMasterVersion:
                return versionReply;

            case vst::audioMasterGetTime:
                ++timeRequests;
                lastTimeMask = value;
                return giveTime ? reinterpret_cast<intptr_t> (&time) : 0;

            case vst::audioMasterAutomate:
            {
                const std::lock_guard<std::mutex> lock (noticeMutex);
                automated.push_back ({ index, opt, std::this_thread::get_id() == callingThread });
                if (journal != nullptr)
                    journal->push_back ("automate " + std::to_string (index));
                ++automateCount;
                return 0;
            }

            case vst::audioMasterCanDo:
                noteWindowRequest ("canDo " + std::string (ptr != nullptr ? static_cast<const char*> (ptr) : ""));
                return ptr != nullptr && std::strcmp (static_cast<const char*> (ptr), "sizeWindow") == 0 ? canSizeWindow : 0;

            case vst::audioMasterSizeWindow:
                noteWindowRequest ("sizeWindow " + std::to_string (index) + "x" + std::to_string (value));
                if (onSizeWindow != nullptr)
                    onSizeWindow (index, (int) value);
                return 1;

            case vst::audioMasterIdle:
            {
                const std::lock_guard<std::mutex> lock (noticeMutex);
                idleTimes.push_back (std::chrono::duration<double, std::milli> (
                    std::chrono::steady_clock::now().time_since_epoch()).count());
                return 0;
            }

            default:
                return 0;
        }
    }
};

// A plug-in library loaded as hosts load it (dlopen, or LoadLibrary on
// Windows), and its entry point.
class PluginLibrary
{
public:
    explicit PluginLibrary (const char* path) : handle (open (path))
    {
        entry = reinterpret_cast<Entry> (symbol ("main"));
    }

    ~PluginLibrary()
    {
        if (handle != nullptr)
            close (handle);
    }

    PluginLibrary (const PluginLibrary&) = delete;
    PluginLibrary& operator= (const PluginLibrary&) = delete;

    bool isLoaded() const { return handle != nullptr && entry != nullptr; }

    vst::AEffect* create (vst::HostCallback host = TestHost::callback) const
    {
        return entry != nullptr ? entry (host) : nullptr;
    }

    void* symbol (const char* name) const
    {
        if (handle == nullptr)
            return nullptr;
       #if defined(_WIN32)
        return reinterpret_cast<void*> (GetProcAddress (static_cast<HMODULE> (handle), name));
       #else
        return dlsym (handle, name);
       #endif
    }

    using Entry = vst::AEffect* (TAVREL_VST_CALL*) (vst::HostCallback);

private:
    static void* open (const char* path)
    {
       #if defined(_WIN32)
        return LoadLibraryA (path);
       #else
        return dlopen (path, RTLD_NOW | RTLD_LOCAL);
       #endif
    }

    static void close (void* library)
    {
       #if defined(_WIN32)
        FreeLibrary (static_cast<HMODULE> (library));
       #else
        dlclose (library);
       #endif
    }

    void* handle = nullptr;
    Entry entry = nullptr;
};

// One opened effect: request 0 at construction, request 1 at destruction
// unless the test closed it.
class OpenEffect
{
public:
    explicit OpenEffect (vst::AEffect* record) : effect (record)
    {
        if (effect != nullptr)
            dispatch (vst::effOpen);
    }

    ~OpenEffect() { close(); }

    OpenEffect (const OpenEffect&) = delete;
    OpenEffect& operator= (const OpenEffect&) = delete;

    intptr_t dispatch (int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f)
    {
        return effect->dispatcher (effect, opcode, index, value, ptr, opt);
    }

    intptr_t close()
    {
        intptr_t reply = 0;
        if (effect != nullptr)
            reply = dispatch (vst::effClose);
        effect = nullptr;
        return reply;
    }

    std::string text (int32_t opcode, int32_t index = 0)
    {
        char buffer[256];
        std::memset (buffer, 'Q', sizeof (buffer));
        buffer[sizeof (buffer) - 1] = 0;
        dispatch (opcode, index, 0, buffer);
        return buffer;
    }

    void processReplacing (float** in, float** out, int32_t n) { effect->processReplacing (effect, in, out, n); }

    vst::AEffect* operator->() const { return effect; }
    vst::AEffect* get() const { return effect; }

private:
    vst::AEffect* effect;
};

// Two channels of samples and the channel pointer arrays a host passes.
struct StereoBlock
{
    explicit StereoBlock (size_t length, float value = 0.0f) : left (length, value), right (length, value) {}

    float** channels()
    {
        pointers[0] = left.data();
        pointers[1] = right.data();
        return pointers;
    }

    size_t size() const { return left.size(); }

    std::vector<float> left, right;
    float* pointers[2] {};
};

} // namespace tavrel::test
