#pragma once

#include "AudioFilterBase.h"

#include <vector>

namespace tavrel::test
{

// A host link that serves whatever transport the test sets, block by block,
// and records the parameter-change notices it is given.
class FakeHostLink : public AudioFilterBase::FilterNativeCallbacks
{
public:
    explicit FakeHostLink (AudioFilterBase& processorToServe) : processor (processorToServe)
    {
        processor.setHostLink (this);
    }

    ~FakeHostLink() override { processor.setHostLink (nullptr); }

    bool getCurrentPositionInfo (HostPositionInfo& info) override
    {
        ++positionQueries;
        if (! hasPosition)
            return false;
        info = position;
        return true;
    }

    void informHostOfParameterChange (int index, float newValue) override
    {
        processor.setParameter (index, newValue);
        automated.push_back ({ index, newValue });
    }

    void play (double bpm, double seconds = 0.0)
    {
        hasPosition = true;
        position.bpm = bpm;
        position.timeInSeconds = seconds;
        position.isPlaying = true;
    }

    struct Notice
    {
        int index;
        float value;
        bool operator== (const Notice& other) const { return index == other.index && value == other.value; }
    };

    AudioFilterBase& processor;
    bool hasPosition = false;
    HostPositionInfo position;
    int positionQueries = 0;
    std::vector<Notice> automated;
};

} // namespace tavrel::test
