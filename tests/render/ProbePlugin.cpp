// A VST 2.4 effect that shows what its host does: every dispatcher request is
// appended to the file named by RENDER_PROBE_LOG, and every block starts with
// what the host reported, in channel 0 (position, rate, tempo, quarter notes,
// time flags, host version). Channel 1 passes input 1 through.
#include "VstInterface.h"

#include <cstdio>
#include <cstdlib>

using namespace tavrel::vst;

namespace
{

struct Probe
{
    AEffect effect {};
    HostCallback host = nullptr;
    intptr_t hostVersion = 0;
};

void logRequest (int32_t opcode, intptr_t value)
{
    if (const char* path = std::getenv ("RENDER_PROBE_LOG"))
    {
        if (FILE* log = std::fopen (path, "a"))
        {
            std::fprintf (log, "%d %ld\n", opcode, (long) value);
            std::fclose (log);
        }
    }
}

intptr_t TAVREL_VST_CALL dispatch (AEffect* effect, int32_t opcode, int32_t, intptr_t value, void* ptr, float)
{
    logRequest (opcode, value);

    if (opcode == effClose)
    {
        delete static_cast<Probe*> (effect->object);
        return 1;
    }

    if (opcode == effGetParamName && ptr != nullptr)
        std::snprintf (static_cast<char*> (ptr), 9, "Level");
    if (opcode == effGetParamDisplay && ptr != nullptr)
        std::snprintf (static_cast<char*> (ptr), 9, "0 dB");

    return 0;
}

void TAVREL_VST_CALL processReplacing (AEffect* effect, float** inputs, float** outputs, int32_t frames)
{
    auto* probe = static_cast<Probe*> (effect->object);
    auto* time = reinterpret_cast<VstTimeInfo*> (probe->host (effect, audioMasterGetTime, 0, 0xee00, nullptr, 0.0f));

    for (int32_t i = 0; i < frames; ++i)
    {
        outputs[0][i] = 0.0f;
        outputs[1][i] = inputs[1][i];
    }

    if (time == nullptr || frames < 6)
        return;

    const double header[] = { time->samplePos, time->sampleRate, time->tempo, time->ppqPos,
                              (double) time->flags, (double) probe->hostVersion };
    for (int i = 0; i < 6; ++i)
        outputs[0][i] = (float) header[i];
}

void TAVREL_VST_CALL setParameter (AEffect*, int32_t, float) {}
float TAVREL_VST_CALL getParameter (AEffect*, int32_t) { return 0.0f; }

} // namespace

extern "C" __attribute__ ((visibility ("default"))) AEffect* VSTPluginMain (HostCallback host)
{
    auto* probe = new Probe();
    probe->host = host;
    probe->hostVersion = host (nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);

    AEffect& e = probe->effect;
    e.magic = effectMagic;
    e.dispatcher = dispatch;
    e.setParameter = setParameter;
    e.getParameter = getParameter;
    e.numParams = 1;
    e.numInputs = 2;
    e.numOutputs = 2;
    e.flags = effFlagsCanReplacing;
    e.ioRatio = 1.0f;
    e.object = probe;
    e.processReplacing = processReplacing;
    return &e;
}
