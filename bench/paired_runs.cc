// Runs two commands alternately, A B A B ..., and reports for each the median
// wall time, and the ratio A / B of the medians.
// Alternating pairs share whatever the machine is doing at the moment.
//
//   paired_runs RUNS -- COMMAND_A... -- COMMAND_B...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

double run_once(std::vector<char*>& argv)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::perror(argv[0]);
        std::exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const auto end = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    return std::chrono::duration<double>(end - start).count();
}

template <typename T>
T median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5 || std::strcmp(argv[2], "--") != 0) {
        std::fprintf(stderr, "usage: paired_runs RUNS -- COMMAND_A... -- COMMAND_B...\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    std::vector<char*> a;
    std::vector<char*> b;
    int i = 3;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        a.push_back(argv[i]);
    for (++i; i < argc; ++i)
        b.push_back(argv[i]);
    a.push_back(nullptr);
    b.push_back(nullptr);

    run_once(a); // warm the caches for both
    run_once(b);
    std::vector<double> time_a, time_b;
    for (int r = 0; r < runs; ++r) {
        time_a.push_back(run_once(a));
        time_b.push_back(run_once(b));
    }
    const double ma = median(time_a), mb = median(time_b);
    std::printf("median_a_ms=%.3f median_b_ms=%.3f ratio=%.3f runs=%d\n", ma * 1e3, mb * 1e3, ma / mb, runs);
    return 0;
}
