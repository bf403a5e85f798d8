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

struct ProcessCost {
  double seconds = 0.0;
  long maxRssKb = 0;
  int status = -1;
};

inline double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs argv with its output discarded; wall time and peak resident memory of the child.
inline ProcessCost runProcess(const std::vector<std::string>& argv) {
  ProcessCost cost;
  const auto start = std::chrono::steady_clock::now();
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
  cost.seconds = secondsSince(start);
  cost.maxRssKb = usage.ru_maxrss;
  cost.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
  std::printf("%-58s %8.3f s  ratio %6.3f  (target %s)\n", what, value, value / baseline, target);
}
