// Runs a fuzz target's entry point over files and folders of inputs, without
// libFuzzer: every build replays the committed corpus, so an input that once
// crashed a target keeps failing the suite until the fault is mended.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerInitialize (int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

namespace
{

int replay (const std::filesystem::path& file)
{
    std::ifstream stream (file, std::ios::binary);
    const std::vector<uint8_t> bytes { std::istreambuf_iterator<char> (stream), std::istreambuf_iterator<char>() };
    std::printf ("%s (%zu bytes)\n", file.c_str(), bytes.size());
    std::fflush (stdout); // the name stays on record if the target aborts
    return LLVMFuzzerTestOneInput (bytes.data(), bytes.size());
}

} // namespace

int main (int argc, char** argv)
{
    LLVMFuzzerInitialize (&argc, &argv);

    int replayed = 0;
    for (int i = 1; i < argc; ++i)
    {
        const std::filesystem::path path (argv[i]);
        if (std::filesystem::is_directory (path))
        {
            for (const auto& entry : std::filesystem::directory_iterator (path))
                if (entry.is_regular_file())
                    replayed += replay (entry.path()) == 0 ? 1 : 0;
        }
        else
        {
            replayed += replay (path) == 0 ? 1 : 0;
        }
    }

    std::printf ("%d inputs replayed\n", replayed);
    return replayed > 0 ? 0 : 1;
}
