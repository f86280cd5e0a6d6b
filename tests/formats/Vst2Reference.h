#pragma once

// The VST 2.4 build of a plug-in, loaded through its entry point, as the
// reference that the other formats' tests compare sound and state with.
#include "TestHost.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tavrel::test
{

class Vst2Reference
{
public:
    Vst2Reference (const char* path, double sampleRate, int blockSize)
        : library (path), effect (library.create()), in ((size_t) blockSize), out ((size_t) blockSize)
    {
        effect.dispatch (vst::effSetSampleRate, 0, 0, nullptr, (float) sampleRate);
        effect.dispatch (vst::effSetBlockSize, 0, blockSize);
        effect.dispatch (vst::effMainsChanged, 0, 1);
    }

    bool isLoaded() const { return effect.get() != nullptr; }
    void setParameter (int index, float value) { effect->setParameter (effect.get(), index, value); }

    // One block of the stereo input at the song's sample, the transport at
    // `bpm` and playing or stopped; the result is in left() and right().
    void run (const float* left, const float* right, double bpm, bool playing, int64_t songSample)
    {
        host.play (bpm, (double) songSample);
        if (! playing)
            host.stop();
        std::copy_n (left, in.size(), in.left.data());
        std::copy_n (right, in.size(), in.right.data());
        effect.processReplacing (in.channels(), out.channels(), (int) in.size());
    }

    const std::vector<float>& left() const { return out.left; }
    const std::vector<float>& right() const { return out.right; }

    std::vector<char> chunk()
    {
        void* data = nullptr;
        const auto size = effect.dispatch (vst::effGetChunk, 0, 0, &data);
        const auto* bytes = static_cast<const char*> (data);
        return data != nullptr && size > 0 ? std::vector<char> (bytes, bytes + size) : std::vector<char>();
    }

    void setChunk (const std::vector<char>& chunk)
    {
        effect.dispatch (vst::effSetChunk, 0, (intptr_t) chunk.size(), const_cast<char*> (chunk.data()));
    }

private:
    TestHost host;
    PluginLibrary library;
    OpenEffect effect;
    StereoBlock in, out;
};

} // namespace tavrel::test
