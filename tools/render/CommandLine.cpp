#include "RenderJob.h"

#include "ParameterSetting.h"

#include <cmath>
#include <ostream>

namespace tavrel::render
{

namespace
{
    struct NumberRule
    {
        const char* what;
        double minimum, maximum;
        bool wholeNumber;
    };

    bool readNumber (const juce::String& option, const juce::String& text, const NumberRule& rule,
                     double& result, juce::String& error)
    {
        const auto value = parseNumber (text);

        if (! value.has_value() || *value < rule.minimum || *value > rule.maximum
            || (rule.wholeNumber && *value != std::floor (*value)))
        {
            error = option + " expects " + rule.what + " from " + juce::String (rule.minimum) + " to "
                    + juce::String (rule.maximum) + ", not " + text.quoted();
            return false;
        }

        result = *value;
        return true;
    }

    // One command-line option: its names, whether a value follows, and what it sets.
    struct OptionRule
    {
        const char* name;
        const char* shortName;
        bool takesValue;
        bool (*apply) (RenderOptions&, juce::StringArray& positional, const juce::String& option,
                       const juce::String& value, juce::String& error);
    };

    using Positional = juce::StringArray;
    using Text = juce::String;

    bool setWholeNumber (int& target, const Text& option, const Text& value, const NumberRule& rule, Text& error)
    {
        double number = 0.0;
        if (! readNumber (option, value, rule, number, error))
            return false;
        target = (int) number;
        return true;
    }

    const OptionRule optionRules[] = {
        { "--help", "-h", false, [] (RenderOptions& o, Positional&, const Text&, const Text&, Text&)
            { o.help = true; return true; } },
        { "--output", "-o", true, [] (RenderOptions& o, Positional&, const Text&, const Text& v, Text&)
            { o.outputPath = v; return true; } },
        { "--input", nullptr, true, [] (RenderOptions&, Positional& p, const Text&, const Text& v, Text&)
            { p.add (v); return true; } },
        { "--tempo", nullptr, true, [] (RenderOptions& o, Positional&, const Text& n, const Text& v, Text& e)
            { return readNumber (n, v, { "a tempo in beats per minute", 0.0, 999.0, false }, o.tempo, e); } },
        { "--start", nullptr, true, [] (RenderOptions& o, Positional&, const Text& n, const Text& v, Text& e)
            { return readNumber (n, v, { "a song position in seconds", 0.0, 86400.0, false }, o.startSeconds, e); } },
        { "--block", nullptr, true, [] (RenderOptions& o, Positional&, const Text& n, const Text& v, Text& e)
            { return setWholeNumber (o.blockSize, n, v, { "a block size in samples", 1.0, 16384.0, true }, e); } },
        { "--bars", nullptr, true, [] (RenderOptions& o, Positional&, const Text& n, const Text& v, Text& e)
            { return setWholeNumber (o.bars, n, v, { "a number of bars", 1.0, 256.0, true }, e); } },
        { "--rate", nullptr, true, [] (RenderOptions& o, Positional&, const Text& n, const Text& v, Text& e)
            {
                double rate = 0.0;
                if (! readNumber (n, v, { "a sample rate in Hz", 8000.0, 384000.0, false }, rate, e))
                    return false;
                o.sampleRate = rate;
                return true;
            } },
        { "--bits", nullptr, true, [] (RenderOptions& o, Positional&, const Text& n, const Text& v, Text& e)
            {
                const auto bits = parseNumber (v);
                if (! bits.has_value() || (*bits != 16.0 && *bits != 24.0 && *bits != 32.0))
                {
                    e = n + " expects 16, 24 or 32, not " + v.quoted();
                    return false;
                }
                o.bitsPerSample = (int) *bits;
                return true;
            } },
        { "--set", nullptr, true, [] (RenderOptions& o, Positional&, const Text&, const Text& v, Text&)
            { o.settings.add (v); return true; } },
        { "--load-chunk", nullptr, true, [] (RenderOptions& o, Positional&, const Text&, const Text& v, Text&)
            { o.loadChunkPath = v; return true; } },
        { "--save-chunk", nullptr, true, [] (RenderOptions& o, Positional&, const Text&, const Text& v, Text&)
            { o.saveChunkPath = v; return true; } },
        { "--stopped", nullptr, false, [] (RenderOptions& o, Positional&, const Text&, const Text&, Text&)
            { o.playing = false; return true; } },
        { "--list", nullptr, false, [] (RenderOptions& o, Positional&, const Text&, const Text&, Text&)
            { o.listParameters = true; return true; } },
        { "--progress", nullptr, false, [] (RenderOptions& o, Positional&, const Text&, const Text&, Text&)
            { o.showProgress = true; return true; } },
    };

    const OptionRule* findOptionRule (const juce::String& option)
    {
        for (const auto& rule : optionRules)
            if (option == rule.name || (rule.shortName != nullptr && option == rule.shortName))
                return &rule;
        return nullptr;
    }

    // What the options say together: the files, and that there is work to do.
    bool checkOptions (RenderOptions& options, const juce::StringArray& positional, juce::String& error)
    {
        if (positional.isEmpty())
            error = "no plug-in given";
        else if (positional.size() > 2)
            error = "too many files given: " + positional.joinIntoString (" ");
        else if (positional.size() == 2 && options.sampleRate.has_value())
            error = "--rate is for the generated loop; an input file has its own sample rate";
        else if (options.outputPath.isEmpty() && ! options.listParameters && options.saveChunkPath.isEmpty())
            error = "nothing to do: give --output, --list or --save-chunk";
        else
        {
            options.pluginPath = positional[0];
            options.inputPath = positional[1];
            return true;
        }
        return false;
    }
}

//==============================================================================
juce::String usageText()
{
    return "usage: tavrel-render PLUGIN.so [INPUT.wav] [options]\n"
           "\n"
           "Renders audio offline through a VST 2.4 plug-in, as a host would play it.\n"
           "Without INPUT.wav, a generated drum loop is rendered.\n"
           "\n"
           "  -o, --output FILE       write the rendered audio to FILE (WAV)\n"
           "  --tempo BPM             host tempo (default 120; 0 is passed on as it is,\n"
           "                          and the generated loop then plays at 120)\n"
           "  --start SECONDS         song position of the first sample (default 0)\n"
           "  --stopped               transport not playing\n"
           "  --block N               samples per process call (default 512)\n"
           "  --rate HZ               sample rate of the generated loop (default 44100)\n"
           "  --bars N                length of the generated loop in bars (default 4)\n"
           "  --bits 16|24|32         output sample format; 32 is float (default 24)\n"
           "  --set NAME=VALUE        set a parameter by name or index, to a normalised\n"
           "                          value from 0 to 1 or a text the plug-in shows,\n"
           "                          e.g. --set Size=\"1/16 bar\" --set 7=0.5 (repeatable)\n"
           "  --load-chunk FILE       restore the plug-in's settings chunk from FILE first\n"
           "  --save-chunk FILE       save the plug-in's settings chunk to FILE\n"
           "  --list                  print the parameters and their current texts\n"
           "  --progress              show a progress bar even when stderr is not a terminal\n"
           "  -h, --help              show this text\n";
}

std::optional<RenderOptions> parseCommandLine (const juce::StringArray& arguments, juce::String& error)
{
    RenderOptions options;
    juce::StringArray positional;

    for (int i = 0; i < arguments.size(); ++i)
    {
        juce::String option = arguments[i];
        std::optional<juce::String> value;

        if (option.startsWith ("--") && option.containsChar ('='))
        {
            value = option.fromFirstOccurrenceOf ("=", false, false);
            option = option.upToFirstOccurrenceOf ("=", false, false);
        }

        const auto* rule = findOptionRule (option);

        if (rule == nullptr)
        {
            if (option.startsWith ("-") && option.length() > 1)
            {
                error = "unknown option " + option;
                return {};
            }
            positional.add (option);
            continue;
        }

        if (rule->takesValue && ! value.has_value())
        {
            if (i + 1 >= arguments.size())
            {
                error = "option " + option + " needs a value";
                return {};
            }
            value = arguments[++i];
        }

        if (! rule->apply (options, positional, option, value.value_or (juce::String()), error))
            return {};
    }

    if (options.help || checkOptions (options, positional, error))
        return options;

    return {};
}

int runCommandLine (const juce::StringArray& arguments, std::ostream& out, std::ostream& err)
{
    juce::String error;
    const auto options = parseCommandLine (arguments, error);

    if (! options.has_value())
    {
        err << "tavrel-render: " << error << "\n(run tavrel-render --help for the options)\n";
        return exitUsage;
    }

    if (options->help)
    {
        out << usageText();
        return exitSuccess;
    }

    return runRender (*options, out, err);
}

} // namespace tavrel::render
