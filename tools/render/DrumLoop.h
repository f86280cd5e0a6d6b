#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace tavrel::render
{

// A stereo groove to render when no input file is given: kick, snare, hats
// and a bass line in A minor, in 4/4 at the given tempo, the same every run.
// The last bar of every four ends in a fill.
juce::AudioBuffer<float> makeDrumLoop (double tempo, double sampleRate, int bars);

} // namespace tavrel::render
