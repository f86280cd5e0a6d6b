// The settings chunk as a host sees it: the plug-in library loaded through
// its entry point, the chunk fetched with effGetChunk and handed back with
// effSetChunk.
#include "TestHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace tavrel::vst;

namespace
{

intptr_t TAVREL_VST_CALL minimalHost (AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

class LoadedPlugin : public ::testing::Test
{
protected:
    void load (const char* path)
    {
        library = std::make_unique<tavrel::test::PluginLibrary> (path);
        ASSERT_TRUE (library->isLoaded()) << path;
        effect = library->create (minimalHost);
        ASSERT_NE (effect, nullptr);
        dispatch (effOpen);
    }

    void TearDown() override
    {
        if (effect != nullptr)
            dispatch (effClose);
        library.reset();
    }

    intptr_t dispatch (int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr)
    {
        return effect->dispatcher (effect, opcode, index, value, ptr, 0.0f);
    }

    std::string chunk()
    {
        void* data = nullptr;
        const auto size = dispatch (effGetChunk, 0, 0, &data);
        return data != nullptr && size > 0 ? std::string (static_cast<const char*> (data), (size_t) size) : std::string();
    }

    std::unique_ptr<tavrel::test::PluginLibrary> library;
    AEffect* effect = nullptr;
};

class LoadedSlicer : public LoadedPlugin
{
protected:
    void SetUp() override { load (ZINTRAK_PLUGIN_PATH); }
};

// The settings text of a new instance: the given value texts in index order.
std::string newInstanceChunk (const std::vector<std::string>& values, const char* header)
{
    std::string text = "<QVPLUGINSETTINGS";
    for (size_t i = 0; i < values.size(); ++i)
        text += " QVParam" + std::to_string (i) + "=\"" + values[i] + "\"";
    text += "/>";
    return std::string (header, 8) + text + std::string (2, '\0');
}

} // namespace

TEST_F (LoadedSlicer, NewInstanceHandsOutThe311ByteChunk)
{
    std::vector<std::string> values (20, "0");
    values[15] = "0.5";
    values[16] = "0.449999988";

    const auto expected = newInstanceChunk (values, "VC2!\x2d\x01\x00\x00");
    ASSERT_EQ (expected.size(), 311u);
    EXPECT_EQ (chunk(), expected);
}

TEST_F (LoadedPlugin, NewLooperHandsOutThe170ByteChunk)
{
    load (MORLUNE_PLUGIN_PATH);
    const auto expected = newInstanceChunk ({ "0", "0", "0", "0", "0", "0.5", "0.5", "0.333333343", "0.449999988" },
                                            "VC2!\xa0\x00\x00\x00");
    ASSERT_EQ (expected.size(), 170u);
    EXPECT_EQ (chunk(), expected);
}

TEST_F (LoadedSlicer, ChunkFromOneInstanceRestoresAnother)
{
    effect->setParameter (effect, 15, 1.0f);  // 1/32 bar
    effect->setParameter (effect, 16, 0.8f);
    effect->setParameter (effect, 18, 1.0f);
    const std::string saved = chunk();

    AEffect* other = library->create (minimalHost);
    ASSERT_NE (other, nullptr);
    other->dispatcher (other, effOpen, 0, 0, nullptr, 0.0f);

    EXPECT_EQ (other->dispatcher (other, effSetChunk, 0, (intptr_t) saved.size(), (void*) saved.data(), 0.0f), 0);
    for (int i : { 15, 16, 18 })
        EXPECT_EQ (other->getParameter (other, i), effect->getParameter (effect, i)) << "index " << i;

    // A damaged chunk is refused quietly and changes nothing.
    std::string damaged = saved;
    damaged[0] = 'X';
    other->setParameter (other, 15, 0.0f);
    EXPECT_EQ (other->dispatcher (other, effSetChunk, 0, (intptr_t) damaged.size(), damaged.data(), 0.0f), 0);
    EXPECT_EQ (other->dispatcher (other, effSetChunk, 0, 5, nullptr, 0.0f), 0);
    EXPECT_EQ (other->getParameter (other, 15), 0.0f);

    other->dispatcher (other, effClose, 0, 0, nullptr, 0.0f);
}
