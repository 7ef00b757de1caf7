// Runs every benchmark, then prints the table of ratios and goals.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <vector>

#include "bench/ratios.h"

namespace {

std::vector<Goal>& goals() {
  static std::vector<Goal> list;
  return list;
}

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      // Single runs, or only the means when repetitions report aggregates alone.
      const bool single = run.run_type == Run::RT_Iteration;
      if (!single && run.aggregate_name != "mean") continue;
      Mean& mean = (single ? times_ : means_)[run.run_name.str()];
      mean.sum += run.GetAdjustedRealTime() * multiplier(run.time_unit);
      ++mean.count;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-58s %12s %12s %8s %8s\n", "ratio (baseline time / our time)", "ours ns", "baseline ns", "ratio",
                "goal");
    times_.merge(means_);
    for (const Goal& goal : goals()) {
      const auto ours = times_.find(goal.ours), base = times_.find(goal.baseline);
      if (ours == times_.end() || base == times_.end()) continue;
      const double ratio = base->second.value() / ours->second.value();
      std::printf("%-58s %12.0f %12.0f %7.2fx >=%5.2fx %s\n", goal.label.c_str(), ours->second.value(),
                  base->second.value(), ratio, goal.at_least, ratio >= goal.at_least ? "met" : "MISSED");
    }
    std::printf("(mean real time per operation over the repetitions)\n");
    std::fflush(stdout);
  }

 private:
  static double multiplier(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kSecond:
        return 1e9;
      case benchmark::kMillisecond:
        return 1e6;
      case benchmark::kMicrosecond:
        return 1e3;
      default:
        return 1;
    }
  }
  struct Mean {
    double sum = 0;
    int count = 0;
    double value() const { return sum / count; }
  };
  std::map<std::string, Mean> times_;
  std::map<std::string, Mean> means_;
};

}  // namespace

void add_goal(Goal goal) { goals().push_back(std::move(goal)); }

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  register_picture_benchmarks();
  register_frame_benchmarks();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
