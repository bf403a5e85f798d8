#pragma once
// Timing helpers shared by the benchmark programs.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
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

// CPU and wall time of f run in this process; a thread it starts counts in the CPU time.
template <typename F>
ProcessCost costOf(F&& f) {
  ProcessCost cost;
  const auto start = std::chrono::steady_clock::now();
  const double cpu = processCpuSeconds();
  f();
  cost.seconds = processCpuSeconds() - cpu;
  cost.wall = secondsSince(start);
  cost.status = 0;
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

inline double medianOf(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// Named measurements taken round by round, every one once per round, so that each ratio
// compares two figures taken close together in time.
class Rounds {
 public:
  // Only these measurements are taken when any are named (a comma-separated list), and
  // only the figures made of them are printed.
  void select(const std::string& names) {
    for (size_t at = 0; at < names.size();) {
      const size_t comma = std::min(names.find(',', at), names.size());
      selected_.push_back(names.substr(at, comma - at));
      at = comma + 1;
    }
  }
  bool wanted(const std::string& name) const {
    return selected_.empty() ||
           std::find(selected_.begin(), selected_.end(), name) != selected_.end();
  }
  bool has(const std::string& name) const { return values_.count(name) > 0; }
  void add(const std::string& name, std::function<double()> measure) {
    if (!wanted(name)) return;
    order_.push_back(name);
    measures_[name] = std::move(measure);
  }
  // The same for a measure of both times: its wall time is kept as name + "Wall".
  void addTimed(const std::string& name, std::function<ProcessCost()> measure) {
    add(name, [this, name, measure] {
      const ProcessCost cost = measure();
      values_[name + "Wall"].push_back(cost.wall);
      return cost.seconds;
    });
  }
  void measure(int rounds) {
    for (int r = 0; r < rounds; ++r)
      for (const std::string& name : order_) values_[name].push_back(measures_[name]());
  }
  double median(const std::string& name) const { return medianOf(values_.at(name)); }
  // value / (baseline x scale), round by round.
  std::vector<double> ratios(const std::string& value, const std::string& baseline,
                             double scale = 1.0) const {
    const std::vector<double>& a = values_.at(value);
    const std::vector<double>& b = values_.at(baseline);
    std::vector<double> result;
    for (size_t i = 0; i < a.size(); ++i) result.push_back(a[i] / (b[i] * scale));
    return result;
  }
  double ratio(const std::string& value, const std::string& baseline, double scale = 1.0) const {
    return medianOf(ratios(value, baseline, scale));
  }
  // The median ratio, then the lowest and highest round: how far the neighbours moved it.
  void print(const char* what, const std::string& value, const std::string& baseline,
             const char* target, double scale = 1.0) const {
    if (!has(value) || !has(baseline)) return;
    std::vector<double> r = ratios(value, baseline, scale);
    if (r.empty()) r.push_back(0.0);
    const bool wall = value.size() > 4 && value.compare(value.size() - 4, 4, "Wall") == 0;
    std::printf("%-60s %8.3f s %s ratio %6.3f  (target %s)  rounds %.3f..%.3f\n", what,
                median(value), wall ? "wall" : "cpu ", medianOf(r), target,
                *std::min_element(r.begin(), r.end()), *std::max_element(r.begin(), r.end()));
  }
  // (a - a0) / (b - b0) per round: costs with the start-up of both programs taken out.
  void printDifference(const char* what, const std::string& a, const std::string& a0,
                       const std::string& b, const std::string& b0, const char* target) const {
    if (!has(a) || !has(a0) || !has(b) || !has(b0)) return;
    std::vector<double> ratios, differences;
    for (size_t i = 0; i < values_.at(a).size(); ++i) {
      const double d = values_.at(a)[i] - values_.at(a0)[i];
      differences.push_back(d);
      ratios.push_back(d / (values_.at(b)[i] - values_.at(b0)[i]));
    }
    std::printf("%-60s %8.3f s cpu  ratio %6.3f  (target %s)\n", what, medianOf(differences),
                medianOf(ratios), target);
  }

  // (a - a0) / (b x scale) per round: a cost inside a program, as the difference of two runs.
  void printDifferenceOver(const char* what, const std::string& a, const std::string& a0,
                           const std::string& b, const char* target, double scale) const {
    if (!has(a) || !has(a0) || !has(b)) return;
    std::vector<double> ratios, differences;
    for (size_t i = 0; i < values_.at(a).size(); ++i) {
      differences.push_back(values_.at(a)[i] - values_.at(a0)[i]);
      ratios.push_back(differences.back() / (values_.at(b)[i] * scale));
    }
    std::printf("%-60s %8.3f s cpu  ratio %6.3f  (target %s)\n", what, medianOf(differences),
                medianOf(ratios), target);
  }

 private:
  std::vector<std::string> selected_;
  std::vector<std::string> order_;
  std::map<std::string, std::function<double()>> measures_;
  std::map<std::string, std::vector<double>> values_;
};
