#pragma once
// Timing helpers shared by the benchmark programs.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <ctime>

// CPU time is what the ratios compare: on a shared machine wall time mostly measures the
// neighbours. Wall time is printed beside it.
struct ProcessCost {
  double seconds = 0.0;  // user + system CPU time
  double wall = 0.0;
  long maxRssKb = 0;
  int status = -1;
};

inline double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double processCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

// CPU time of f run in this process.
template <typename F>
double cpuSecondsOf(F&& f) {
  const double start = processCpuSeconds();
  f();
  return processCpuSeconds() - start;
}

// Runs argv with its output discarded; wall time and peak resident memory of the child.
inline ProcessCost runProcess(const std::vector<std::string>& argv) {
  ProcessCost cost;
  const auto start = std::chrono::steady_clock::now();
  std::fflush(stdout);  // the child must not repeat what is still buffered
  const pid_t pid = fork();
  if (pid == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  cost.wall = secondsSince(start);
  cost.seconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
                 usage.ru_stime.tv_usec * 1e-6;
  cost.maxRssKb = usage.ru_maxrss;
  cost.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (cost.status != 0) {  // a failed run would pass for a fast one
    std::fprintf(stderr, "error: %s exited with status %d\n", argv[0].c_str(), cost.status);
    std::exit(1);
  }
  return cost;
}

// The fastest of several runs: the machines are shared, the minimum is the least noisy.
template <typename F>
double fastestOf(int repeats, F&& measure) {
  double best = 1e300;
  for (int i = 0; i < repeats; ++i) {
    const double s = measure();
    if (s < best) best = s;
  }
  return best;
}

inline void printRatio(const char* what, double value, double baseline, const char* target) {
  std::printf("%-60s %8.3f s cpu  ratio %6.3f  (target %s)\n", what, value, value / baseline,
              target);
}
