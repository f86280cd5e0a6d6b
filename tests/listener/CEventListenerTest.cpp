// The hidden listener as a host sees it: the parameter-change notices that
// reach the host after the processor's change broadcasts are delivered, with
// no editor open.
#include "FakeHost.h"
#include "LooperFilter.h"
#include "SlicerFilter.h"

#include <gtest/gtest.h>

using namespace tavrel;
using Notice = tavrel::test::FakeHostLink::Notice;
using Notices = std::vector<Notice>;

namespace
{

template <typename Processor>
class HostedProcessor
{
public:
    HostedProcessor() : host (processor) {}

    // A host's own parameter write: not a notice.
    void hostWrites (int index, float value) { processor.setParameter (index, value); }

    // Delivers the pending broadcast (one listener callback) and returns the
    // notices it produced.
    Notices deliver()
    {
        host.automated.clear();
        processor.dispatchPendingMessages();
        return host.automated;
    }

    // Lets the first exchange after construction happen and end.
    void settle()
    {
        hostWrites (Processor::sizeLikeIndex, processor.getParameter (Processor::sizeLikeIndex));
        for (int i = 0; i < 3; ++i)
            deliver();
    }

    Processor processor;
    test::FakeHostLink host;
};

struct Slicer : SlicerFilter { static constexpr int sizeLikeIndex = SlicerParameters::sizeIndex; };
struct Looper : LooperFilter { static constexpr int sizeLikeIndex = LooperParameters::startIndex; };

// Zeros to every toggle of the group but `selected`, then 1 to it.
Notices groupAnnouncement (int toggles, int selected)
{
    Notices n;
    for (int i = 0; i < toggles; ++i)
        if (i != selected)
            n.push_back ({ i, 0.0f });
    n.push_back ({ selected, 1.0f });
    return n;
}

Notices slicerAnnouncement (int selected, float hold = 0.0f, float reverse = 0.0f)
{
    auto n = groupAnnouncement (14, selected);
    n.push_back ({ 17, hold });
    n.push_back ({ 18, reverse });
    return n;
}

TEST (SlicerListener, FirstCallbackAnnouncesTheWholeInitialGroup)
{
    HostedProcessor<Slicer> s;
    s.hostWrites (SlicerParameters::sizeIndex, 1.0f);

    EXPECT_EQ (s.deliver(), slicerAnnouncement (0));
    EXPECT_EQ (s.processor.getParameter (0), 1.0f);
    EXPECT_EQ (s.deliver(), Notices {}); // the exchange ends after one more look
}

TEST (SlicerListener, SwitchingAToggleOnAnnouncesTheGroupOnce)
{
    HostedProcessor<Slicer> s;
    s.settle();
    s.hostWrites (5, 1.0f);

    EXPECT_EQ (s.deliver(), slicerAnnouncement (5));
    EXPECT_EQ (s.deliver(), Notices {});
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ (s.processor.getParameter (i), i == 5 ? 1.0f : 0.0f) << i;
    EXPECT_EQ (s.processor.getParameter (SlicerParameters::modeIndex), 5 * 0.0714285746f);
}

TEST (SlicerListener, HoldReleasedByAToggleWriteIsAnnouncedOff)
{
    HostedProcessor<Slicer> s;
    s.settle();
    s.hostWrites (SlicerParameters::holdIndex, 1.0f);
    s.hostWrites (SlicerParameters::reverseIndex, 1.0f);
    s.hostWrites (2, 1.0f);

    EXPECT_EQ (s.deliver(), slicerAnnouncement (2, 0.0f, 1.0f));
    EXPECT_EQ (s.processor.getParameter (SlicerParameters::holdIndex), 0.0f);
    EXPECT_EQ (s.processor.getParameter (SlicerParameters::reverseIndex), 1.0f);
}

TEST (SlicerListener, TopModePositionAnnouncesOnlyModeAndTheFollowUps)
{
    HostedProcessor<Slicer> s;
    s.settle();
    s.hostWrites (3, 1.0f);
    s.deliver();
    s.deliver();

    s.hostWrites (SlicerParameters::modeIndex, 1.0f);
    // "Mode" at the top sends no broadcast of its own; another write does.
    s.hostWrites (SlicerParameters::trimIndex, 0.3f);
    EXPECT_EQ (s.deliver(), (Notices { { 14, 1.0f }, { 17, 0.0f }, { 18, 0.0f } }));
    EXPECT_EQ (s.deliver(), Notices {});
    EXPECT_EQ (s.processor.getParameter (3), 1.0f); // the toggles keep their values
}

TEST (SlicerListener, ChangesOutsideTheGroupAnnounceNothing)
{
    HostedProcessor<Slicer> s;
    s.settle();
    for (int index : { SlicerParameters::sizeIndex, SlicerParameters::trimIndex, SlicerParameters::bufLenIndex,
                       SlicerParameters::holdIndex, SlicerParameters::reverseIndex })
    {
        s.hostWrites (index, 0.8f);
        EXPECT_EQ (s.deliver(), Notices {}) << index;
    }
}

TEST (LooperListener, FirstCallbackSwitchesBypassOn)
{
    HostedProcessor<Looper> l;
    EXPECT_EQ (l.processor.getParameter (0), 0.0f);
    l.hostWrites (LooperParameters::trimIndex, 0.5f);

    EXPECT_EQ (l.deliver(), groupAnnouncement (3, 0));
    EXPECT_EQ (l.processor.getParameter (0), 1.0f);
    EXPECT_EQ (l.deliver(), Notices {});
}

TEST (LooperListener, SwitchingAlternatingOnAnnouncesBypassAndLoopOffThenAlternating)
{
    HostedProcessor<Looper> l;
    l.settle();
    l.hostWrites (LooperParameters::alternatingButton, 1.0f);

    EXPECT_EQ (l.deliver(), (Notices { { 0, 0.0f }, { 1, 0.0f }, { 2, 1.0f } }));
    EXPECT_EQ (l.deliver(), Notices {});
    EXPECT_EQ (l.processor.parameters().selection.load(), 2);
    EXPECT_EQ (l.processor.getParameter (LooperParameters::modeIndex), 0.6666667f);
}

TEST (LooperListener, TopModePositionAnnouncesOnlyMode)
{
    HostedProcessor<Looper> l;
    l.settle();
    l.hostWrites (LooperParameters::loopButton, 1.0f);
    l.deliver();
    l.deliver();

    l.hostWrites (LooperParameters::modeIndex, 1.0f);
    l.hostWrites (LooperParameters::startIndex, 0.5f);
    EXPECT_EQ (l.deliver(), (Notices { { 3, 1.0f } }));
    EXPECT_EQ (l.deliver(), Notices {});
    EXPECT_EQ (l.processor.parameters().selection.load(), 3);
    EXPECT_EQ (l.processor.getParameter (LooperParameters::loopButton), 1.0f);
}

TEST (LooperListener, ChangesOutsideTheGroupAnnounceNothing)
{
    HostedProcessor<Looper> l;
    l.settle();
    for (int index = LooperParameters::startIndex; index <= LooperParameters::trimIndex; ++index)
    {
        l.hostWrites (index, 0.8f);
        EXPECT_EQ (l.deliver(), Notices {}) << index;
    }
}

TEST (LooperListener, StateRestoreIsAnnouncedToTheHost)
{
    LooperFilter source;
    source.setParameter (LooperParameters::loopButton, 1.0f);
    juce::MemoryBlock chunk;
    source.getStateInformation (chunk);

    HostedProcessor<Looper> l;
    l.settle();
    l.processor.setStateInformation (chunk.getData(), (int) chunk.getSize());
    EXPECT_EQ (l.deliver(), groupAnnouncement (3, 1));
    EXPECT_EQ (l.deliver(), Notices {});
}

TEST (LooperListener, WithoutAHostTheGroupStillEndsConsistent)
{
    LooperFilter looper; // no host link: the listener's writes go straight to the processor
    looper.setParameter (LooperParameters::alternatingButton, 1.0f);
    for (int i = 0; i < 3; ++i)
        looper.dispatchPendingMessages();
    EXPECT_EQ (looper.getParameter (0), 0.0f);
    EXPECT_EQ (looper.getParameter (1), 0.0f);
    EXPECT_EQ (looper.getParameter (2), 1.0f);
}

} // namespace
