// A host that makes random requests: request numbers, indices, values and
// floats from the input, pointers to scratch buffers of the sizes the
// interface allows, interleaved with blocks, parameter writes and changes of
// the time record, through the effect record of an instance made in this
// process. No crash, no sanitizer report, no sample or parameter read that
// is not finite.
#include "JuceVSTWrapper.h"
#include "LooperFilter.h"
#include "MorluneIdentity.h"
#include "SlicerFilter.h"
#include "ZintrakIdentity.h"

#include <juce_events/juce_events.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace tavrel;
using namespace tavrel::vst;

namespace
{

void require (bool condition)
{
    if (! condition)
        std::abort();
}

const PluginIdentity identities[] = {
    { zintrakIdentity.effectName, zintrakIdentity.vendor, zintrakIdentity.fourCharCode(), zintrakIdentity.vendorVersion,
      [] () -> std::unique_ptr<AudioFilterBase> { return std::make_unique<SlicerFilter>(); } },
    { morluneIdentity.effectName, morluneIdentity.vendor, morluneIdentity.fourCharCode(), morluneIdentity.vendorVersion,
      [] () -> std::unique_ptr<AudioFilterBase> { return std::make_unique<LooperFilter>(); } },
};

// Reads the input front to back; past its end every value is 0.
class Input
{
public:
    Input (const uint8_t* d, size_t n) : data (d), size (n) {}

    bool empty() const { return position >= size; }
    size_t remaining() const { return size - position; }
    const uint8_t* here() const { return data + position; }
    void skip (size_t n) { position += std::min (n, remaining()); }

    template <typename T>
    T take()
    {
        T value {};
        const size_t n = std::min (sizeof (T), remaining());
        std::memcpy (&value, data + position, n);
        position += n;
        return value;
    }

private:
    const uint8_t* data;
    size_t size;
    size_t position = 0;
};

VstTimeInfo timeRecord {};
bool giveTimeRecord = true;

intptr_t TAVREL_VST_CALL fuzzHost (AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    switch (opcode)
    {
        case audioMasterVersion: return 2400;
        case audioMasterGetTime: return giveTimeRecord ? reinterpret_cast<intptr_t> (&timeRecord) : 0;
        default:                 return 0;
    }
}

void resetTimeRecord()
{
    timeRecord = {};
    timeRecord.sampleRate = 44100.0;
    timeRecord.tempo = 120.0;
    timeRecord.timeSigNumerator = 4;
    timeRecord.timeSigDenominator = 4;
    timeRecord.flags = kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid;
    giveTimeRecord = true;
}

constexpr int32_t maxBlock = 4096;
float channelData[4][maxBlock];

void processBlock (AEffect* effect, Input& input)
{
    const auto n = (int32_t) (input.take<uint16_t>() % (maxBlock + 1));
    const auto layout = input.take<uint8_t>();
    const auto seed = input.take<uint8_t>();

    for (int c = 0; c < 4; ++c)
        for (int32_t i = 0; i < n; ++i)
            channelData[c][i] = std::sin (0.01f * (float) (i + seed * 13)) * (float) (c + 1) * 0.2f;

    float* inputs[2] = { channelData[0], channelData[1] };
    float* outputs[2] = { channelData[2], channelData[3] };
    float** outputArrays = (layout & 1) != 0 ? inputs : outputs; // the same arrays for both, or not

    effect->processReplacing (effect, inputs, outputArrays, n);
    timeRecord.samplePos += n;

    for (int c = 0; c < 2; ++c)
        for (int32_t i = 0; i < n; ++i)
            require (std::isfinite (outputArrays[c][i]));
}

void changeTime (Input& input)
{
    switch (input.take<uint8_t>() % 7)
    {
        case 0: timeRecord.tempo = input.take<double>(); break;
        case 1: timeRecord.samplePos = input.take<double>(); break;
        case 2: timeRecord.sampleRate = input.take<double>(); break;
        case 3: timeRecord.flags = input.take<int32_t>(); break;
        case 4: giveTimeRecord = ! giveTimeRecord; break;
        case 5: timeRecord.tempo = (double) input.take<uint8_t>() * 2.0; break; // tempi a host would send
        default: resetTimeRecord(); break;
    }
}

// One request with arguments from the input. Every pointer the request may
// read or write leads to memory of the size the interface allows for it.
void dispatchRequest (AEffect* effect, Input& input)
{
    auto opcode = (int32_t) input.take<uint8_t>();
    if (opcode >= 96)
        opcode = input.take<int32_t>(); // now and then a number far outside the table
    const auto index = (input.take<uint8_t>() & 0x80) != 0 ? input.take<int32_t>()
                                                           : (int32_t) (input.take<uint8_t>() % 24) - 2;
    auto value = (intptr_t) input.take<int32_t>();
    const auto opt = input.take<float>();

    if (opcode == effClose)
        return; // the record is closed once, at the end

    // Texts of up to 64 characters and a 0 byte, and room for a pointer.
    alignas (16) char scratch[256];
    const size_t textLength = std::min<size_t> (input.take<uint8_t>() % 80, input.remaining());
    std::memset (scratch, 0, sizeof (scratch));
    std::memcpy (scratch, input.here(), textLength);
    input.skip (textLength);
    const bool withoutPointer = (input.take<uint8_t>() & 0x1f) == 0;

    void* ptr = scratch;
    void* arrangements[2] = { scratch, scratch };

    switch (opcode)
    {
        case effEditOpen:
            ptr = nullptr; // a window handle is the host's to give; there is none here
            break;

        case effSetChunk:
            // The rest of the input is the chunk.
            value = (intptr_t) std::min<size_t> ((size_t) (uint32_t) value, input.remaining());
            ptr = const_cast<uint8_t*> (input.here());
            break;

        case effGetSpeakerArrangement:
            value = reinterpret_cast<intptr_t> (&arrangements[0]);
            ptr = &arrangements[1];
            break;

        default:
            break;
    }

    if (withoutPointer)
        ptr = nullptr;

    effect->dispatcher (effect, opcode, index, value, ptr, opt);

    if (opcode == effSetChunk)
        input.skip ((size_t) value);
}

} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    // This thread is the message thread; the frame finds the framework
    // running and delivers broadcasts only at effEditIdle, so a run depends
    // on its input alone.
    // Never shut down: at exit the framework's own statics may already be gone.
    static auto* framework = new juce::ScopedJuceInitialiser_GUI();
    juce::ignoreUnused (framework);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    Input input (data, size);
    const auto& identity = identities[input.take<uint8_t>() & 1];

    resetTimeRecord();
    AEffect* effect = createEffect (fuzzHost, identity);
    require (effect != nullptr);
    effect->dispatcher (effect, effOpen, 0, 0, nullptr, 0.0f);

    for (int operations = 0; ! input.empty() && operations < 64; ++operations)
    {
        switch (input.take<uint8_t>() % 6)
        {
            case 0:
            case 1: dispatchRequest (effect, input); break;
            case 2: processBlock (effect, input); break;
            case 3: effect->setParameter (effect, input.take<int32_t>() % 32, input.take<float>()); break;
            case 4: effect->getParameter (effect, input.take<int32_t>()); break;
            default: changeTime (input); break;
        }
    }

    effect->dispatcher (effect, effEditIdle, 0, 0, nullptr, 0.0f);
    for (int32_t i = 0; i < effect->numParams; ++i)
    {
        const float value = effect->getParameter (effect, i);
        require (std::isfinite (value) && value >= 0.0f && value <= 1.0f);
    }

    require (effect->dispatcher (effect, effClose, 0, 0, nullptr, 0.0f) == 1);
    return 0;
}
