// Host lifecycles, each in a child process of its own (LifecycleHost.cpp),
// for both plug-ins: how hosts really end (exit with instances open, an
// editor shown, a chunk held, a broadcast pending; unloading under an open
// instance), and how they make and close instances (never opened, closed on
// another thread, two scanner threads at once, the library under two paths).
// What counts is how the child ended: normally, with status 0.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace
{

struct Lifecycle
{
    const char* name;
    int runs; // the lifecycles that race the plug-in's threads run more than once
    bool secondPath = false;
};

const Lifecycle lifecycles[] = {
    { "quit-with-instance-open", 5 },
    { "quit-with-chunk-and-broadcast-pending", 3 },
    { "quit-with-editor-open", 3 },
    { "unload-with-instance-open", 3 },
    { "close-without-open", 1 },
    { "close-on-another-thread", 2 },
    { "scan-in-parallel", 2 },
    { "load-twice-under-two-paths", 2, true },
};

struct Plugin
{
    const char* name;
    const char* path;
};

const Plugin plugins[] = { { "Zintrak", ZINTRAK_PATH }, { "Morlune", MORLUNE_PATH } };

// How a child ended: its status, or the signal that ended it, or a hang.
struct Ending
{
    bool exited = false;
    int status = -1;
    int signal = 0;

    std::string describe() const
    {
        if (exited)
            return "exit status " + std::to_string (status);
        if (signal != 0)
            return std::string ("signal ") + strsignal (signal);
        return "no end within the time limit";
    }
};

Ending run (const std::vector<std::string>& arguments, std::chrono::seconds limit = std::chrono::seconds (60))
{
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back (const_cast<char*> (argument.c_str()));
    argv.push_back (nullptr);

    pid_t child = 0;
    if (posix_spawn (&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return {};

    Ending ending;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;

    while (waitpid (child, &status, WNOHANG) == 0)
    {
        if (std::chrono::steady_clock::now() > deadline)
        {
            kill (child, SIGKILL);
            waitpid (child, &status, 0);
            return ending;
        }
        std::this_thread::sleep_for (std::chrono::milliseconds (5));
    }

    ending.exited = WIFEXITED (status);
    ending.status = ending.exited ? WEXITSTATUS (status) : -1;
    ending.signal = WIFSIGNALED (status) ? WTERMSIG (status) : 0;
    return ending;
}

// A second path to the plug-in: a copy of its file, which the loader treats
// as another library.
class SecondPath
{
public:
    explicit SecondPath (const char* original)
        : path (std::filesystem::temp_directory_path() / ("tavrel-lifecycle-" + std::to_string (getpid()) + "-"
                                                          + std::filesystem::path (original).filename().string()))
    {
        std::filesystem::copy_file (original, path, std::filesystem::copy_options::overwrite_existing);
    }

    ~SecondPath() { std::filesystem::remove (path); }

    const std::filesystem::path path;
};

class HostLifecycle : public ::testing::TestWithParam<std::tuple<Lifecycle, Plugin>>
{
};

TEST_P (HostLifecycle, EndsTheProcessNormally)
{
    const auto& [lifecycle, plugin] = GetParam();
    std::vector<std::string> arguments { LIFECYCLE_HOST_PATH, lifecycle.name, plugin.path };

    std::unique_ptr<SecondPath> second;
    if (lifecycle.secondPath)
    {
        second = std::make_unique<SecondPath> (plugin.path);
        arguments.push_back (second->path.string());
    }

    for (int attempt = 1; attempt <= lifecycle.runs; ++attempt)
    {
        const auto ending = run (arguments);
        ASSERT_TRUE (ending.exited && ending.status == 0)
            << plugin.name << ", " << lifecycle.name << ", run " << attempt << ": " << ending.describe();
    }
}

std::string rowName (const ::testing::TestParamInfo<HostLifecycle::ParamType>& info)
{
    std::string name = std::string (std::get<1> (info.param).name) + "_" + std::get<0> (info.param).name;
    for (auto& c : name)
        if (c == '-')
            c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P (BothPlugins, HostLifecycle,
                          ::testing::Combine (::testing::ValuesIn (lifecycles), ::testing::ValuesIn (plugins)), rowName);

} // namespace
