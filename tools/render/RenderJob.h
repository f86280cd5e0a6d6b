#pragma once

#include <juce_core/juce_core.h>

#include <iosfwd>
#include <optional>

namespace tavrel::render
{

// Everything one run of the renderer is asked to do.
struct RenderOptions
{
    juce::String pluginPath;
    juce::String inputPath;             // empty: the generated drum loop
    juce::String outputPath;            // empty: render nothing
    juce::String loadChunkPath, saveChunkPath;
    juce::StringArray settings;         // "NAME=VALUE", applied in order
    double tempo = 120.0;
    std::optional<double> sampleRate;   // the generated loop's; an input file has its own
    int bars = 4;                       // length of the generated loop
    double startSeconds = 0.0;
    int blockSize = 512;
    int bitsPerSample = 24;
    bool playing = true;
    bool listParameters = false;
    bool showProgress = false;          // also when stderr is not a terminal
    bool help = false;
};

enum ExitCode
{
    exitSuccess = 0,
    exitFailure = 1,
    exitUsage = 2
};

std::optional<RenderOptions> parseCommandLine (const juce::StringArray& arguments, juce::String& error);
juce::String usageText();

// Loads the plug-in, applies chunk and settings, lists, renders and saves as
// asked. Nothing is left at the output paths unless everything succeeded.
int runRender (const RenderOptions& options, std::ostream& out, std::ostream& err);

// The whole command: parse, then run; what main() does.
int runCommandLine (const juce::StringArray& arguments, std::ostream& out, std::ostream& err);

} // namespace tavrel::render
