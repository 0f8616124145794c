// Replays the inputs that once made a fuzz target fail, through the target's
// own entry point (LLVMFuzzerTestOneInput), without libFuzzer: each in a
// process of its own, which must end normally within the bounds the fuzzer
// enforced (10 s of processor time, 384 MiB peak). Built into the tests, so
// that a fixed finding stays fixed.
//   fuzz_replay_<target> FOLDER   (every file in it; no folder: no input)

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

constexpr double kMaxSeconds = 10;
constexpr long kMaxKiB = 384 * 1024;
// A process that waits without working is stopped after this.
constexpr unsigned kWallSeconds = 60;

std::vector<std::uint8_t> Contents(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double Seconds(const timeval& time) { return double(time.tv_sec) + double(time.tv_usec) / 1e6; }

// Runs one input in a child; false (with the reason printed) when it did not
// end normally within the bounds.
bool Replays(const std::filesystem::path& file) {
  const std::vector<std::uint8_t> bytes = Contents(file);
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) {
    std::perror("fork");
    return false;
  }
  if (child == 0) {
    const rlimit cpu{rlim_t(kMaxSeconds) + 1, rlim_t(kMaxSeconds) + 2};
    ::setrlimit(RLIMIT_CPU, &cpu);
    ::alarm(kWallSeconds);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    std::exit(0);  // a leak checker, when built in, looks at exit
  }
  int status = 0;
  rusage usage{};
  while (::wait4(child, &status, 0, &usage) < 0) {
  }
  const double seconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  const std::string name = file.filename().string();
  std::printf("%s: %zu bytes, %.2f s, %ld MiB peak\n", name.c_str(), bytes.size(), seconds,
              usage.ru_maxrss / 1024);
  if (WIFSIGNALED(status)) {
    std::printf("%s: FAILED: ended by signal %d\n", name.c_str(), WTERMSIG(status));
    return false;
  }
  if (WEXITSTATUS(status) != 0) {
    std::printf("%s: FAILED: exit status %d\n", name.c_str(), WEXITSTATUS(status));
    return false;
  }
  if (seconds > kMaxSeconds || usage.ru_maxrss > kMaxKiB) {
    std::printf("%s: FAILED: over %.0f s or %ld MiB\n", name.c_str(), kMaxSeconds, kMaxKiB / 1024);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1], error)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  const auto failed =
      std::count_if(files.begin(), files.end(), [](const auto& file) { return !Replays(file); });
  std::printf("%zu inputs replayed from %s, %td failed\n", files.size(), argv[1], failed);
  return failed == 0 ? 0 : 1;
}
