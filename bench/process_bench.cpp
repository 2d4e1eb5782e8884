// What image_export costs: a run as a process, beside the least static C
// program that does the same job; and what embedding the catalogue costs the
// build, the assembler run over every run's pixel blob.
//
//   build/release/bench/process_bench
//
// Counters come from wait4, per process: minor_faults, max_rss_kB; for the
// embedding, the compiler's CPU time over all files and its peak memory.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Usage {
  long minor_faults = 0;
  long max_rss_kb = 0;
  double cpu_seconds = 0;  // user + system
};

// Runs argv in cwd with standard output on /dev/null; false if it failed.
bool spawn_and_wait(const std::vector<std::string>& argv, const std::string& cwd, Usage& usage) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::string here = get_current_dir_name();
  if (chdir(cwd.c_str()) != 0) return false;
  pid_t pid = 0;
  int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (chdir(here.c_str()) != 0 || rc != 0) return false;
  int status = 0;
  rusage ru{};
  if (wait4(pid, &status, 0, &ru) != pid) return false;
  usage.minor_faults = ru.ru_minflt;
  usage.max_rss_kb = ru.ru_maxrss;
  usage.cpu_seconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                      static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string scratch_dir() {
  char pattern[] = "/tmp/process-bench-XXXXXX";
  const char* dir = mkdtemp(pattern);
  return dir ? dir : "/tmp";
}

void run_program(benchmark::State& state, const char* program) {
  const std::string dir = scratch_dir();
  Usage usage, total;
  for (auto _ : state) {
    if (!spawn_and_wait({program}, dir, usage)) {
      state.SkipWithError("the program failed");
      break;
    }
    total.minor_faults += usage.minor_faults;
    total.max_rss_kb = std::max(total.max_rss_kb, usage.max_rss_kb);
  }
  state.counters["minor_faults"] = benchmark::Counter(static_cast<double>(total.minor_faults),
                                                      benchmark::Counter::kAvgIterations);
  state.counters["max_rss_kB"] = static_cast<double>(total.max_rss_kb);
  std::remove((dir + "/image_data.bin").c_str());
  rmdir(dir.c_str());
}

void BM_ImageExport(benchmark::State& state) { run_program(state, IMAGE_EXPORT_PATH); }
void BM_MinimalStaticWriter(benchmark::State& state) { run_program(state, MINIMAL_WRITER_PATH); }

double seconds_now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The two programs run in turn, so that a busy moment of the machine falls
// on both alike; time_ratio is image_export's time over the yardstick's.
void BM_ImageExportOverMinimal(benchmark::State& state) {
  const std::string dir = scratch_dir();
  double ours = 0, theirs = 0;
  Usage usage;
  for (auto _ : state) {
    const double t0 = seconds_now();
    bool ok = spawn_and_wait({IMAGE_EXPORT_PATH}, dir, usage);
    const double t1 = seconds_now();
    ok = spawn_and_wait({MINIMAL_WRITER_PATH}, dir, usage) && ok;
    const double t2 = seconds_now();
    if (!ok) {
      state.SkipWithError("a program failed");
      break;
    }
    ours += t1 - t0;
    theirs += t2 - t1;
  }
  state.counters["time_ratio"] = theirs > 0 ? ours / theirs : 0;
  std::remove((dir + "/image_data.bin").c_str());
  rmdir(dir.c_str());
}

// The build's own steps for the catalogue, as a clean build runs them: the
// assembler over the file that embeds every blob, and the compiler over the
// generated records and table.
void BM_EmbedCatalogue(benchmark::State& state) {
  const std::string generated = GENERATED_DIR;
  const std::string dir = scratch_dir();
  struct Step {
    const char* what;
    std::vector<std::string> argv;
  };
  const Step steps[] = {
      {"pixels.S", {ASM_COMPILER, "-c", generated + "/pixels.S", "-o", dir + "/pixels.o"}},
      {"catalogue.cpp",
       {CXX_COMPILER, "-std=c++17", "-O2", "-I", BITMAPS_INCLUDE_DIR, "-c", generated + "/catalogue.cpp", "-o",
        dir + "/catalogue.o"}},
  };
  long peak_kb = 0;
  double cpu = 0;
  for (auto _ : state) {
    for (const Step& step : steps) {
      Usage usage;
      if (!spawn_and_wait(step.argv, dir, usage)) {
        state.SkipWithError((std::string("compiling ") + step.what + " failed").c_str());
        return;
      }
      peak_kb = std::max(peak_kb, usage.max_rss_kb);
      cpu += usage.cpu_seconds;
    }
  }
  state.counters["compiler_cpu_s"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
  state.counters["peak_compiler_rss_MB"] = static_cast<double>(peak_kb) / 1024.0;
  std::remove((dir + "/pixels.o").c_str());
  std::remove((dir + "/catalogue.o").c_str());
  rmdir(dir.c_str());
}

}  // namespace

BENCHMARK(BM_ImageExport)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_MinimalStaticWriter)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_ImageExportOverMinimal)->Unit(benchmark::kMicrosecond)->MinTime(4.0);
BENCHMARK(BM_EmbedCatalogue)->Unit(benchmark::kMillisecond)->Iterations(10);

BENCHMARK_MAIN();
