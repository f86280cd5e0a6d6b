#include "RenderJob.h"

#include "DrumLoop.h"
#include "ParameterSetting.h"
#include "PluginHost.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <unistd.h>

#include <charconv>
#include <cmath>
#include <iomanip>
#include <ostream>
#include <vector>

namespace tavrel::render
{

namespace
{
    //==========================================================================
    // Audio in and out.

    // Where the samples to render come from: a file, or the generated loop.
    class Source
    {
    public:
        virtual ~Source() = default;
        virtual double sampleRate() const = 0;
        virtual int numChannels() const = 0;
        virtual juce::int64 length() const = 0;
        virtual bool read (juce::AudioBuffer<float>& destination, juce::int64 start, int numSamples) = 0;
    };

    class FileSource : public Source
    {
    public:
        explicit FileSource (std::unique_ptr<juce::AudioFormatReader> r) : reader (std::move (r)) {}

        double sampleRate() const override   { return reader->sampleRate; }
        int numChannels() const override     { return (int) reader->numChannels; }
        juce::int64 length() const override  { return reader->lengthInSamples; }

        bool read (juce::AudioBuffer<float>& destination, juce::int64 start, int numSamples) override
        {
            return reader->read (&destination, 0, numSamples, start, true, true);
        }

    private:
        std::unique_ptr<juce::AudioFormatReader> reader;
    };

    class BufferSource : public Source
    {
    public:
        BufferSource (juce::AudioBuffer<float> b, double r) : buffer (std::move (b)), rate (r) {}

        double sampleRate() const override   { return rate; }
        int numChannels() const override     { return buffer.getNumChannels(); }
        juce::int64 length() const override  { return buffer.getNumSamples(); }

        bool read (juce::AudioBuffer<float>& destination, juce::int64 start, int numSamples) override
        {
            for (int c = 0; c < buffer.getNumChannels(); ++c)
                destination.copyFrom (c, 0, buffer, c, (int) start, numSamples);
            return true;
        }

    private:
        juce::AudioBuffer<float> buffer;
        double rate;
    };

    std::unique_ptr<Source> openSource (const RenderOptions& options, juce::String& error)
    {
        if (options.inputPath.isEmpty())
        {
            const double rate = options.sampleRate.value_or (44100.0);
            return std::make_unique<BufferSource> (makeDrumLoop (options.tempo > 0.0 ? options.tempo : 120.0,
                                                                 rate, options.bars), rate);
        }

        const juce::File file = juce::File::getCurrentWorkingDirectory().getChildFile (options.inputPath);
        if (! file.existsAsFile())
        {
            error = "input file " + options.inputPath.quoted() + " does not exist";
            return {};
        }

        juce::AudioFormatManager formats;
        formats.registerBasicFormats();
        std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));

        if (reader == nullptr || reader->numChannels == 0 || reader->sampleRate <= 0.0)
        {
            error = "input file " + options.inputPath.quoted() + " is not a WAV or AIFF file this renderer can read";
            return {};
        }

        return std::make_unique<FileSource> (std::move (reader));
    }

    // Shows how far a render has come, on one line of stderr.
    class ProgressBar
    {
    public:
        ProgressBar (std::ostream& stream, bool enabled) : err (stream), shown (enabled) {}

        void update (juce::int64 done, juce::int64 total)
        {
            if (! shown || total <= 0)
                return;

            const int percent = (int) (100 * done / total);
            if (percent == lastPercent)
                return;

            lastPercent = percent;
            const int filled = percent * width / 100;
            err << "\rrendering [" << std::string ((size_t) filled, '#') << std::string ((size_t) (width - filled), ' ')
                << "] " << std::setw (3) << percent << "%" << std::flush;

            if (percent == 100)
                err << "\n";
        }

    private:
        static constexpr int width = 40;
        std::ostream& err;
        bool shown;
        int lastPercent = -1;
    };

    std::vector<float*> channelPointers (juce::AudioBuffer<float>& buffer)
    {
        std::vector<float*> pointers;
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            pointers.push_back (buffer.getWritePointer (c));
        return pointers;
    }

    bool writeFileAtomically (const juce::File& target, const juce::MemoryBlock& data, juce::String& error)
    {
        juce::TemporaryFile temporary (target);

        if (! temporary.getFile().replaceWithData (data.getData(), data.getSize())
            || ! temporary.overwriteTargetFileWithTemporary())
        {
            error = "cannot write " + target.getFullPathName().quoted();
            return false;
        }

        return true;
    }

    juce::File resolvePath (const juce::String& path)
    {
        return juce::File::getCurrentWorkingDirectory().getChildFile (path);
    }

    //==========================================================================
    class Renderer
    {
    public:
        Renderer (const RenderOptions& o, std::ostream& outStream, std::ostream& errStream)
            : options (o), out (outStream), err (errStream)
        {
        }

        int run()
        {
            juce::String error;
            if (! prepare (error) || ! render (error) || ! saveChunk (error))
            {
                err << "tavrel-render: error: " << error << "\n";
                return exitFailure;
            }
            return exitSuccess;
        }

    private:
        bool prepare (juce::String& error)
        {
            auto library = PluginLibrary::open (resolvePath (options.pluginPath), error);
            if (library == nullptr)
                return false;

            if (options.outputPath.isNotEmpty() || options.inputPath.isNotEmpty())
                if ((source = openSource (options, error)) == nullptr)
                    return false;

            plugin = PluginInstance::create (library, error);
            if (plugin == nullptr)
                return false;

            // Handed its own settings, as a host restoring a project does, the
            // instance settles into the state that the scratch instances of a
            // text look-up start from (the slicer and the looper announce their
            // radio group on the first change, for instance).
            if (auto own = plugin->getChunk(); own.getSize() > 0)
                plugin->setChunk (own);

            if ((options.loadChunkPath.isNotEmpty() || options.saveChunkPath.isNotEmpty())
                && ! plugin->keepsSettingsInChunks())
            {
                error = plugin->effectName().quoted() + " does not keep its settings in a chunk";
                return false;
            }

            if (options.loadChunkPath.isNotEmpty() && ! loadChunk (error))
                return false;

            for (const auto& setting : options.settings)
                if (! applySetting (*plugin, setting, error))
                    return false;

            if (options.listParameters)
                listParameters();

            if (options.saveChunkPath.isNotEmpty())
                savedChunk = plugin->getChunk();

            return true;
        }

        bool loadChunk (juce::String& error)
        {
            const auto file = resolvePath (options.loadChunkPath);
            juce::MemoryBlock chunk;

            if (! file.existsAsFile() || ! file.loadFileAsData (chunk))
            {
                error = "settings chunk file " + options.loadChunkPath.quoted() + " cannot be read";
                return false;
            }

            if (chunk.getSize() == 0)
            {
                error = "settings chunk file " + options.loadChunkPath.quoted() + " is empty";
                return false;
            }

            plugin->setChunk (chunk);
            return true;
        }

        void listParameters()
        {
            out << plugin->effectName() << ": " << plugin->numParameters() << " parameters\n";

            for (int i = 0; i < plugin->numParameters(); ++i)
            {
                char value[32];
                const auto end = std::to_chars (value, value + sizeof (value), plugin->getParameter (i)).ptr;

                out << std::setw (4) << i << "  " << std::left << std::setw (10) << plugin->parameterName (i)
                    << std::setw (13) << std::string (value, end) << std::right << plugin->parameterText (i) << "\n";
            }
        }

        bool render (juce::String& error)
        {
            if (options.outputPath.isEmpty())
                return true;

            const auto target = resolvePath (options.outputPath);
            if (! target.getParentDirectory().isDirectory())
            {
                error = "output folder " + target.getParentDirectory().getFullPathName().quoted() + " does not exist";
                return false;
            }

            // Written next to the target and renamed over it only once complete.
            juce::TemporaryFile temporary (target);
            const int outputs = plugin->numOutputs();

            {
                auto stream = std::make_unique<juce::FileOutputStream> (temporary.getFile());
                std::unique_ptr<juce::AudioFormatWriter> writer;

                if (stream->openedOk())
                    writer.reset (juce::WavAudioFormat().createWriterFor (stream.get(), source->sampleRate(),
                                                                         (unsigned int) outputs,
                                                                         options.bitsPerSample, {}, 0));
                if (writer == nullptr)
                {
                    error = "cannot write " + target.getFullPathName().quoted();
                    return false;
                }
                stream.release(); // the writer owns it now

                if (! processAll (*writer, error))
                    return false;
            }

            if (! temporary.overwriteTargetFileWithTemporary())
            {
                error = "cannot write " + target.getFullPathName().quoted();
                return false;
            }

            out << "wrote " << target.getFullPathName() << " (" << juce::String (source->length() / source->sampleRate(), 2)
                << " s, " << (int) source->sampleRate() << " Hz, " << outputs << " channels, " << options.bitsPerSample
                << "-bit)\n";
            return true;
        }

        bool processAll (juce::AudioFormatWriter& writer, juce::String& error)
        {
            const int block = options.blockSize;
            const int inputs = plugin->numInputs();
            juce::AudioBuffer<float> sourceBlock (source->numChannels(), block);
            juce::AudioBuffer<float> inputBlock (juce::jmax (1, inputs), block);
            juce::AudioBuffer<float> outputBlock (plugin->numOutputs(), block);
            const auto inputPointers = channelPointers (inputBlock);
            const auto outputPointers = channelPointers (outputBlock);

            const juce::int64 total = source->length();
            const bool longRender = total > (juce::int64) (10.0 * source->sampleRate());
            ProgressBar progress (err, options.showProgress || (longRender && isatty (STDERR_FILENO) != 0));

            plugin->startProcessing ({ source->sampleRate(), options.tempo, options.startSeconds, options.playing }, block);

            for (juce::int64 position = 0; position < total; position += block)
            {
                const int n = (int) juce::jmin ((juce::int64) block, total - position);

                if (! source->read (sourceBlock, position, n))
                {
                    error = "cannot read " + options.inputPath.quoted() + " at sample " + juce::String (position);
                    return false;
                }

                // The plug-in's inputs take the source's channels, the last one
                // repeated (a mono file feeds both sides of a stereo effect).
                for (int c = 0; c < inputs; ++c)
                    inputBlock.copyFrom (c, 0, sourceBlock, juce::jmin (c, sourceBlock.getNumChannels() - 1), 0, n);
                outputBlock.clear();

                plugin->process (inputPointers.data(), outputPointers.data(), n);

                if (! writer.writeFromAudioSampleBuffer (outputBlock, 0, n))
                {
                    error = "cannot write " + options.outputPath.quoted() + " (disk full?)";
                    return false;
                }

                progress.update (position + n, total);
            }

            plugin->stopProcessing();
            return true;
        }

        bool saveChunk (juce::String& error)
        {
            if (options.saveChunkPath.isEmpty())
                return true;

            if (! writeFileAtomically (resolvePath (options.saveChunkPath), savedChunk, error))
                return false;

            out << "wrote " << resolvePath (options.saveChunkPath).getFullPathName() << " (settings chunk, "
                << (int) savedChunk.getSize() << " bytes)\n";
            return true;
        }

        const RenderOptions& options;
        std::ostream& out;
        std::ostream& err;
        std::unique_ptr<Source> source;
        std::unique_ptr<PluginInstance> plugin;
        juce::MemoryBlock savedChunk;
    };
}

//==============================================================================
int runRender (const RenderOptions& options, std::ostream& out, std::ostream& err)
{
    return Renderer (options, out, err).run();
}

} // namespace tavrel::render
