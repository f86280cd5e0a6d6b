// One slice voice and the pool's two lists: which ring positions a voice reads,
// the gains of its fades, and the order in which voices are reused.
#include "SliceVoice.h"

#include <gtest/gtest.h>

#include <vector>

using tavrel::SliceVoice;
using tavrel::VoicePool;

namespace
{

using Pool = VoicePool<SliceVoice, 128>;

std::vector<uint32_t> positionsPlayed (Pool& pool, bool reverse, uint32_t start, int32_t length, uint32_t ring)
{
    auto* voice = pool.firstFree();
    voice->start (reverse, start, length, ring);

    std::vector<uint32_t> positions;
    while (pool.firstActive() == voice && positions.size() < 10000)
        positions.push_back (voice->step().position);
    return positions;
}

struct WalkCase
{
    bool reverse;
    uint32_t start;
    int32_t length;
    std::vector<uint32_t> expected;
};

TEST (SliceVoice, WalksTheRingForwardOrBackwardAndReleasesItself)
{
    const WalkCase cases[] = {
        { false, 100, 5, { 100, 101, 102, 103, 104 } },
        { false, 998, 4, { 998, 999, 0, 1 } },
        { true, 100, 5, { 105, 104, 103, 102, 101 } }, // begins one past the slice, never reads 100
        { true, 998, 4, { 2, 1, 0, 999 } },
        { false, 7, 1, { 7 } },
        // Starts beyond the ring are reduced modulo its length, both ways.
        { false, 1003, 4, { 3, 4, 5, 6 } },
        { false, 2999, 3, { 999, 0, 1 } },
        { true, 1003, 4, { 7, 6, 5, 4 } },
    };

    for (const auto& c : cases)
    {
        Pool pool;
        EXPECT_EQ (positionsPlayed (pool, c.reverse, c.start, c.length, 1000), c.expected)
            << (c.reverse ? "reverse" : "forward") << " from " << c.start;
        EXPECT_EQ (pool.firstActive(), nullptr) << "the last sample releases the voice";
    }
}

TEST (SliceVoice, FadesInOverTheFirst440AndOutOverTheLast440Samples)
{
    Pool pool;
    auto& voice = *pool.firstFree();
    voice.start (false, 0, 1000, 100000);

    std::vector<float> gains;
    for (int i = 0; i < 1000; ++i)
        gains.push_back (voice.step().gain);

    EXPECT_EQ (gains[0], 0.0f);
    EXPECT_NEAR (gains[1], 1.03e-5f, 0.01e-5f);
    EXPECT_NEAR (gains[100], 0.1219f, 0.0001f);
    EXPECT_NEAR (gains[220], 0.4996f, 0.0001f);
    for (int i = 440; i <= 560; ++i)
        EXPECT_EQ (gains[(size_t) i], 1.0f) << i;
    EXPECT_NEAR (gains[880], 0.1723f, 0.0001f);
    EXPECT_NEAR (gains[999], 1.03e-5f, 0.01e-5f);

    for (int i = 1; i < 440; ++i)
        EXPECT_GT (gains[(size_t) i], gains[(size_t) i - 1]) << "the fade-in rises at " << i;
}

TEST (SliceVoice, ShortSlicesNeverReachFullGain)
{
    Pool pool;
    auto& voice = *pool.firstFree();
    voice.start (false, 0, 300, 100000);

    float loudest = 0.0f;
    for (int i = 0; i < 300; ++i)
    {
        const float g = voice.step().gain;
        if (i == 150)
        {
            EXPECT_NEAR (g, 0.2601f, 0.0001f);
        }
        loudest = std::max (loudest, g);
    }
    EXPECT_LT (loudest, 0.27f);

    voice.moveToFreeList();
    auto& single = *pool.firstFree();
    single.start (false, 3, 1, 10);
    EXPECT_EQ (single.step().gain, 0.0f);
    EXPECT_EQ (pool.firstActive(), nullptr);
}

TEST (VoicePool, StartsInCreationOrderAndReusesTheVoiceReleasedLast)
{
    Pool pool;
    EXPECT_EQ (pool.firstFree(), &pool.voice (0));
    EXPECT_EQ (pool.firstActive(), nullptr);

    pool.firstFree()->start (false, 0, 100, 1000);
    pool.firstFree()->start (false, 0, 100, 1000);
    EXPECT_EQ (pool.firstActive(), &pool.voice (1)) << "a started voice becomes the head";
    EXPECT_EQ (pool.firstFree(), &pool.voice (2));

    pool.releaseAll();
    EXPECT_EQ (pool.firstActive(), nullptr);
    EXPECT_EQ (pool.firstFree(), &pool.voice (0)) << "released last, started next";

    // Every voice ends up in exactly one list.
    int free = 0;
    for (auto* v = pool.firstFree(); v != nullptr; v = v->next)
        ++free;
    EXPECT_EQ (free, 128);
}

TEST (VoicePool, EveryVoiceCanSoundUntilTheIdleListRunsDry)
{
    Pool pool;
    for (int i = 0; i < 128; ++i)
        pool.firstFree()->start (false, 0, 50, 1000);

    EXPECT_EQ (pool.firstFree(), nullptr);
    EXPECT_EQ (pool.firstActive(), &pool.voice (127));

    int sounding = 0;
    pool.forEachActive ([&] (SliceVoice&) { ++sounding; });
    EXPECT_EQ (sounding, 128);
}

} // namespace
