#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavrel
{

// What a voice gives for one output sample: the ring position to read and the
// gain to apply to it.
struct VoiceTap
{
    float gain;
    uint32_t position;
};

// Links that put a voice into one of its pool's two lists. A voice moves itself
// between the lists: both are doubly linked and take new members at the head,
// so the voice released last is the next one started.
template <typename Voice>
struct PooledVoice
{
    Voice* prev = nullptr;
    Voice* next = nullptr;
    Voice** activeHead = nullptr;
    Voice** freeHead = nullptr;

    void moveToActiveList() noexcept { moveBetween (*freeHead, *activeHead); }
    void moveToFreeList() noexcept   { moveBetween (*activeHead, *freeHead); }

private:
    void moveBetween (Voice*& fromHead, Voice*& toHead) noexcept
    {
        auto* self = static_cast<Voice*> (this);

        if (prev != nullptr) prev->next = next;
        if (next != nullptr) next->prev = prev;
        if (fromHead == self) fromHead = next;

        prev = nullptr;
        next = toHead;
        if (toHead != nullptr) toHead->prev = self;
        toHead = self;
    }
};

// A fixed set of voices made once, with the idle ("free") and sounding
// ("active") lists. Nothing is allocated after construction; the pool must stay
// where it was built because its voices point at its list heads.
template <typename Voice, int voiceCount>
class VoicePool
{
public:
    VoicePool() noexcept
    {
        for (int i = 0; i < voiceCount; ++i)
        {
            auto& v = voices[(unsigned) i];
            v.activeHead = &activeHead;
            v.freeHead = &freeHead;
            v.prev = i > 0 ? &voices[(unsigned) i - 1] : nullptr;
            v.next = i + 1 < voiceCount ? &voices[(unsigned) i + 1] : nullptr;
        }

        freeHead = &voices[0];
    }

    VoicePool (const VoicePool&) = delete;
    VoicePool& operator= (const VoicePool&) = delete;

    Voice* firstFree() const noexcept   { return freeHead; }
    Voice* firstActive() const noexcept { return activeHead; }

    void releaseAll() noexcept
    {
        for (auto* v = activeHead; v != nullptr;)
        {
            auto* following = v->next;
            v->moveToFreeList();
            v = following;
        }
    }

    // Steps every sounding voice once; a voice may release itself in its step,
    // so its successor is taken first.
    template <typename Visitor>
    void forEachActive (Visitor&& visit) noexcept
    {
        for (auto* v = activeHead; v != nullptr;)
        {
            auto* following = v->next;
            visit (*v);
            v = following;
        }
    }

    Voice& voice (int index) noexcept { return voices[(unsigned) index]; }

    static constexpr int size() noexcept { return voiceCount; }

private:
    std::array<Voice, (std::size_t) voiceCount> voices {};
    Voice* freeHead = nullptr;
    Voice* activeHead = nullptr;
};

} // namespace tavrel
