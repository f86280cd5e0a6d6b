// The LV2 bundles in a host of our own built on lilv, Debian's LV2 library
// (the one most Linux LV2 hosts read plug-ins with): it finds each plug-in
// from its bundle's metadata, instantiates it with the features the metadata
// requires, connects every port and runs blocks with its own atom messages,
// nothing of JUCE on the host's side. Debian's lv2apply would be the ready
// tool for the stopped-transport render, but it refuses plug-ins with atom
// ports, and these carry their parameters and the host's transport on one.
//
// Without a time position the plug-ins play as a stopped VST 2.4 transport
// makes the VST 2.4 build play; with one, as the VST 2.4 build plays the same
// input at the same tempo.
#include "LooperParameters.h"
#include "MorluneIdentity.h"
#include "SlicerParameters.h"
#include "Vst2Reference.h"
#include "ZintrakIdentity.h"

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/patch/patch.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace
{

using tavrel::IdentityRecord;
using tavrel::ParameterInfo;

constexpr double sampleRate = 44100.0;
constexpr int blockSize = 512;
constexpr double bpm = 120.0;

struct Bundle
{
    const char* label;
    const char* bundlePath;
    const char* vst2Path;
    const IdentityRecord& identity;
    const ParameterInfo* table;
    int parameterCount;
    const char* classLabel; // the class besides lv2:Plugin, as lilv names it
};

void PrintTo (const Bundle& bundle, std::ostream* out) { *out << bundle.label; }

const Bundle bundles[] = {
    { "Zintrak", ZINTRAK_LV2_PATH, ZINTRAK_VST2_PATH, tavrel::zintrakIdentity, tavrel::SlicerParameters::table,
      tavrel::SlicerParameters::count, "Delay Plugin" },
    { "Morlune", MORLUNE_LV2_PATH, MORLUNE_VST2_PATH, tavrel::morluneIdentity, tavrel::LooperParameters::table,
      tavrel::LooperParameters::count, "Delay Plugin" },
};

//==============================================================================
// The host's URI map, the one feature every plug-in asks for.
class UridMap
{
public:
    LV2_URID map (const char* uri)
    {
        const auto found = ids.find (uri);
        if (found != ids.end())
            return found->second;
        uris.emplace_back (uri);
        return ids[uri] = (LV2_URID) uris.size();
    }

    LV2_URID_Map* mapFeature() { return &mapData; }
    LV2_URID_Unmap* unmapFeature() { return &unmapData; }

private:
    static LV2_URID mapUri (LV2_URID_Map_Handle handle, const char* uri)
    {
        return static_cast<UridMap*> (handle)->map (uri);
    }

    static const char* unmapUrid (LV2_URID_Unmap_Handle handle, LV2_URID urid)
    {
        const auto& all = static_cast<UridMap*> (handle)->uris;
        return urid >= 1 && urid <= all.size() ? all[urid - 1].c_str() : nullptr;
    }

    std::map<std::string, LV2_URID> ids;
    std::vector<std::string> uris;
    LV2_URID_Map mapData { this, mapUri };
    LV2_URID_Unmap unmapData { this, unmapUrid };
};

// An atom sequence buffer, aligned as atoms must be.
struct SequenceBuffer
{
    static constexpr size_t bytes = 65536;
    std::unique_ptr<uint64_t[]> storage { new uint64_t[bytes / sizeof (uint64_t)] {} };
    LV2_Atom_Sequence* sequence() { return reinterpret_cast<LV2_Atom_Sequence*> (storage.get()); }
};

//==============================================================================
// One plug-in, found and run as a lilv host does.
class HostedLv2Plugin
{
public:
    explicit HostedLv2Plugin (const Bundle& bundle) : world (lilv_world_new())
    {
        // The LV2 vocabularies installed on the system (for the class
        // names), then the bundle itself.
        lilv_world_load_all (world);
        LilvNode* bundleUri = lilv_new_file_uri (world, nullptr, (std::string (bundle.bundlePath) + "/").c_str());
        lilv_world_load_bundle (world, bundleUri);
        lilv_node_free (bundleUri);

        LilvNode* uri = lilv_new_uri (world, bundle.identity.lv2Uri);
        plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world), uri);
        lilv_node_free (uri);
    }

    ~HostedLv2Plugin()
    {
        if (instance != nullptr)
        {
            lilv_instance_deactivate (instance);
            lilv_instance_free (instance);
        }
        lilv_world_free (world);
    }

    HostedLv2Plugin (const HostedLv2Plugin&) = delete;
    HostedLv2Plugin& operator= (const HostedLv2Plugin&) = delete;

    const LilvPlugin* description() const { return plugin; }
    LilvWorld* lilvWorld() const { return world; }

    // Instantiates with the features the metadata requires and connects every
    // port; false when the plug-in refuses.
    bool start()
    {
        features = { { LV2_URID__map, urids.mapFeature() },
                     { LV2_URID__unmap, urids.unmapFeature() },
                     { LV2_OPTIONS__options, options() },
                     { LV2_BUF_SIZE__boundedBlockLength, nullptr } };
        featureList.clear();
        for (auto& feature : features)
            featureList.push_back (&feature);
        featureList.push_back (nullptr);

        instance = lilv_plugin_instantiate (plugin, sampleRate, featureList.data());
        if (instance == nullptr)
            return false;

        lv2_atom_forge_init (&forge, urids.mapFeature());
        connect ("audio_in_1", inLeft.data());
        connect ("audio_in_2", inRight.data());
        connect ("audio_out_1", outLeft.data());
        connect ("audio_out_2", outRight.data());
        connect ("in", input.sequence());
        connect ("out", output.sequence());
        connect ("latency", &latency);
        connect ("freeWheeling", &freeWheeling);
        connect ("enabled", &enabled);
        lilv_instance_activate (instance);
        return true;
    }

    // A parameter write, sent with the next block as a patch:Set of the
    // parameter's URI, as LV2 hosts send them.
    void write (const std::string& parameterUri, float value) { pendingWrites.emplace_back (parameterUri, value); }

    // One block of the stereo signal from `start`; with a time position of
    // the song at that sample when `playing`, with none otherwise.
    void run (const float* left, const float* right, bool playing, int64_t songSample)
    {
        std::copy_n (left, blockSize, inLeft.begin());
        std::copy_n (right, blockSize, inRight.begin());
        fillInput (playing, songSample);

        auto* out = output.sequence();
        out->atom.type = urids.map (LV2_ATOM__Chunk);
        out->atom.size = (uint32_t) (SequenceBuffer::bytes - sizeof (LV2_Atom));

        lilv_instance_run (instance, blockSize);
    }

    const std::vector<float>& left() const { return outLeft; }
    const std::vector<float>& right() const { return outRight; }

private:
    void connect (const char* symbol, void* data)
    {
        LilvNode* name = lilv_new_string (world, symbol);
        const LilvPort* port = lilv_plugin_get_port_by_symbol (plugin, name);
        lilv_node_free (name);
        ASSERT_NE (port, nullptr) << "no port " << symbol;
        lilv_instance_connect_port (instance, lilv_port_get_index (plugin, port), data);
    }

    LV2_Options_Option* options()
    {
        const auto intType = urids.map (LV2_ATOM__Int);
        const auto floatType = urids.map (LV2_ATOM__Float);
        optionList = {
            { LV2_OPTIONS_INSTANCE, 0, urids.map (LV2_BUF_SIZE__maxBlockLength), sizeof (int32_t), intType, &maxBlock },
            { LV2_OPTIONS_INSTANCE, 0, urids.map (LV2_BUF_SIZE__minBlockLength), sizeof (int32_t), intType, &minBlock },
            { LV2_OPTIONS_INSTANCE, 0, urids.map (LV2_BUF_SIZE__nominalBlockLength), sizeof (int32_t), intType, &maxBlock },
            { LV2_OPTIONS_INSTANCE, 0, urids.map (LV2_PARAMETERS__sampleRate), sizeof (float), floatType, &rate },
            { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr },
        };
        return optionList.data();
    }

    void fillInput (bool playing, int64_t songSample)
    {
        lv2_atom_forge_set_buffer (&forge, reinterpret_cast<uint8_t*> (input.storage.get()), SequenceBuffer::bytes);
        LV2_Atom_Forge_Frame sequence;
        lv2_atom_forge_sequence_head (&forge, &sequence, 0);

        if (playing)
        {
            const double beat = (double) songSample / sampleRate * bpm / 60.0;
            LV2_Atom_Forge_Frame position;
            lv2_atom_forge_frame_time (&forge, 0);
            lv2_atom_forge_object (&forge, &position, 0, urids.map (LV2_TIME__Position));
            lv2_atom_forge_key (&forge, urids.map (LV2_TIME__speed));
            lv2_atom_forge_float (&forge, 1.0f);
            lv2_atom_forge_key (&forge, urids.map (LV2_TIME__frame));
            lv2_atom_forge_long (&forge, songSample);
            lv2_atom_forge_key (&forge, urids.map (LV2_TIME__beat));
            lv2_atom_forge_double (&forge, beat);
            lv2_atom_forge_key (&forge, urids.map (LV2_TIME__beatsPerBar));
            lv2_atom_forge_float (&forge, 4.0f);
            lv2_atom_forge_key (&forge, urids.map (LV2_TIME__beatUnit));
            lv2_atom_forge_int (&forge, 4);
            lv2_atom_forge_key (&forge, urids.map (LV2_TIME__beatsPerMinute));
            lv2_atom_forge_float (&forge, (float) bpm);
            lv2_atom_forge_pop (&forge, &position);
        }

        for (const auto& [parameterUri, value] : pendingWrites)
        {
            LV2_Atom_Forge_Frame set;
            lv2_atom_forge_frame_time (&forge, 0);
            lv2_atom_forge_object (&forge, &set, 0, urids.map (LV2_PATCH__Set));
            lv2_atom_forge_key (&forge, urids.map (LV2_PATCH__property));
            lv2_atom_forge_urid (&forge, urids.map (parameterUri.c_str()));
            lv2_atom_forge_key (&forge, urids.map (LV2_PATCH__value));
            lv2_atom_forge_float (&forge, value);
            lv2_atom_forge_pop (&forge, &set);
        }
        pendingWrites.clear();

        lv2_atom_forge_pop (&forge, &sequence);
    }

    LilvWorld* world;
    const LilvPlugin* plugin = nullptr;
    LilvInstance* instance = nullptr;

    UridMap urids;
    int32_t maxBlock = blockSize, minBlock = 1;
    float rate = (float) sampleRate;
    std::vector<LV2_Options_Option> optionList;
    std::vector<LV2_Feature> features;
    std::vector<const LV2_Feature*> featureList;
    LV2_Atom_Forge forge {};

    std::vector<float> inLeft = std::vector<float> (blockSize), inRight = std::vector<float> (blockSize);
    std::vector<float> outLeft = std::vector<float> (blockSize), outRight = std::vector<float> (blockSize);
    SequenceBuffer input, output;
    float latency = 0.0f, freeWheeling = 0.0f, enabled = 1.0f;
    std::vector<std::pair<std::string, float>> pendingWrites;
};

// Distinct values at every sample, so a replayed slice shows where it came from.
std::vector<float> ramp (int length, int period, float sign)
{
    std::vector<float> signal ((size_t) length);
    for (int i = 0; i < length; ++i)
        signal[(size_t) i] = sign * (float) ((i % period) + 1) / (float) period;
    return signal;
}

std::string parameterUri (const Bundle& bundle, int index)
{
    return std::string (bundle.identity.lv2Uri) + ":" + bundle.table[index].id;
}

std::set<std::string> nodeStrings (LilvNodes* nodes)
{
    std::set<std::string> strings;
    LILV_FOREACH (nodes, i, nodes)
        strings.insert (lilv_node_as_string (lilv_nodes_get (nodes, i)));
    lilv_nodes_free (nodes);
    return strings;
}

class LilvHost : public ::testing::TestWithParam<Bundle>
{
protected:
    void SetUp() override
    {
        // lilv_world_load_all reads the system's LV2 folders for the
        // vocabularies; the plug-ins come from their bundles alone.
        setenv ("LV2_PATH", "/usr/lib/lv2:/usr/lib/x86_64-linux-gnu/lv2", 1);
    }

    // Both builds through the same blocks: the first ones stopped (the first
    // carries the mode write), the rest playing or not. The stopped blocks
    // are spaced out so that each plug-in's hidden listener has announced
    // the radio group before the music starts: its writes pass the processor
    // through Bypass for a moment, and a slice boundary there would play one
    // slice in Bypass, at a moment each build picks on its own.
    struct Comparison
    {
        int differing = -1; // samples where the two builds differ
        int wet = 0;        // samples where the output is not the input
    };

    Comparison compare (bool playing, int blocks, int modeToggle)
    {
        const auto& bundle = GetParam();
        HostedLv2Plugin lv2 (bundle);
        tavrel::test::Vst2Reference vst2 (bundle.vst2Path, sampleRate, blockSize);
        EXPECT_TRUE (vst2.isLoaded());
        EXPECT_NE (lv2.description(), nullptr);
        if (lv2.description() == nullptr || ! vst2.isLoaded() || ! lv2.start())
            return {};

        if (modeToggle >= 0)
        {
            lv2.write (parameterUri (bundle, modeToggle), 1.0f);
            vst2.setParameter (modeToggle, 1.0f);
        }

        const auto left = ramp (blocks * blockSize, 8192, 1.0f), right = ramp (blocks * blockSize, 4096, -1.0f);
        Comparison result { 0, 0 };
        constexpr int stoppedBlocks = 3;
        for (int b = 0; b < blocks; ++b)
        {
            const int64_t start = (int64_t) b * blockSize;
            const bool blockPlays = playing && b >= stoppedBlocks;
            if (b > 0 && b < stoppedBlocks)
                std::this_thread::sleep_for (std::chrono::milliseconds (100));
            lv2.run (left.data() + start, right.data() + start, blockPlays, start);
            vst2.run (left.data() + start, right.data() + start, bpm, blockPlays, start);
            for (size_t i = 0; i < (size_t) blockSize; ++i)
            {
                result.differing += (lv2.left()[i] != vst2.left()[i]) + (lv2.right()[i] != vst2.right()[i]);
                result.wet += lv2.left()[i] != left[(size_t) start + i];
            }
        }
        return result;
    }
};

TEST_P (LilvHost, ReadsTheMetadataAsLinuxHostsDo)
{
    const auto& bundle = GetParam();
    HostedLv2Plugin lv2 (bundle);
    const auto* plugin = lv2.description();
    ASSERT_NE (plugin, nullptr) << bundle.identity.lv2Uri << " not found in " << bundle.bundlePath;
    auto* world = lv2.lilvWorld();

    LilvNode* name = lilv_plugin_get_name (plugin);
    EXPECT_STREQ (lilv_node_as_string (name), bundle.identity.effectName);
    lilv_node_free (name);
    LilvNode* author = lilv_plugin_get_author_name (plugin);
    ASSERT_NE (author, nullptr);
    EXPECT_STREQ (lilv_node_as_string (author), bundle.identity.vendor);
    lilv_node_free (author);
    EXPECT_STREQ (lilv_node_as_string (lilv_plugin_class_get_label (lilv_plugin_get_class (plugin))), bundle.classLabel);

    // Stereo in, stereo out, no MIDI.
    LilvNode* audio = lilv_new_uri (world, LV2_CORE__AudioPort);
    LilvNode* inputs = lilv_new_uri (world, LV2_CORE__InputPort);
    LilvNode* outputs = lilv_new_uri (world, LV2_CORE__OutputPort);
    LilvNode* midi = lilv_new_uri (world, "http://lv2plug.in/ns/ext/midi#MidiEvent");
    EXPECT_EQ (lilv_plugin_get_num_ports_of_class (plugin, audio, inputs, nullptr), 2u);
    EXPECT_EQ (lilv_plugin_get_num_ports_of_class (plugin, audio, outputs, nullptr), 2u);
    for (uint32_t i = 0; i < lilv_plugin_get_num_ports (plugin); ++i)
        EXPECT_FALSE (lilv_port_supports_event (plugin, lilv_plugin_get_port_by_index (plugin, i), midi)) << "port " << i;
    for (auto* node : { audio, inputs, outputs, midi })
        lilv_node_free (node);

    // Every parameter of the table, by its stable id, writable and readable.
    std::set<std::string> expected;
    for (int i = 0; i < bundle.parameterCount; ++i)
        expected.insert (parameterUri (bundle, i));
    for (const char* property : { LV2_PATCH__writable, LV2_PATCH__readable })
    {
        LilvNode* predicate = lilv_new_uri (world, property);
        EXPECT_EQ (nodeStrings (lilv_plugin_get_value (plugin, predicate)), expected) << property;
        lilv_node_free (predicate);
    }

    // And this host can give it everything it requires.
    EXPECT_TRUE (lv2.start()) << "the plug-in refused the features its metadata requires";
}

// No time position: the stopped transport, in bypass and in a wet mode.
TEST_P (LilvHost, WithoutATimePositionPlaysAsAStoppedTransport)
{
    const auto bypass = compare (false, 40, -1);
    EXPECT_EQ (bypass.differing, 0) << "in bypass";
    EXPECT_EQ (bypass.wet, 440) << "bypass passes the input once its 440-sample tail has played";

    const auto wetMode = compare (false, 40, 1);
    EXPECT_EQ (wetMode.differing, 0) << "in the first wet mode";
    EXPECT_GT (wetMode.wet, 0) << "a wet mode with the transport stopped is silent";
}

// A time position at 120 BPM, playing: the slicer's "Backwards", the
// looper's "Loop", as the VST 2.4 build plays them.
TEST_P (LilvHost, WithATimePositionPlaysAModeAsTheVst2BuildDoes)
{
    const auto playing = compare (true, 400, 1);
    EXPECT_EQ (playing.differing, 0);
    EXPECT_GT (playing.wet, 0) << "the mode changed nothing";
}

INSTANTIATE_TEST_SUITE_P (Bundles, LilvHost, ::testing::ValuesIn (bundles),
                          [] (const auto& testInfo) { return std::string (testInfo.param.label); });

} // namespace
