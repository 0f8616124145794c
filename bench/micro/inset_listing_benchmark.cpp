// Listing and filtering a large inset folder: a folder of 100,000 files must
// take well under a second.

#include <benchmark/benchmark.h>

#include "linux/linux_files.h"
#include "run/inset_list.h"
#include "support/temporary_folder.h"

namespace {

using tessarin::testing::TemporaryFolder;

void ListLargeInsetFolder(benchmark::State& state) {
  TemporaryFolder folder;
  const auto count = static_cast<int>(state.range(0));
  for (int i = 0; i < count; ++i) {
    const char* extension = (i % 3 == 0) ? ".JPG" : (i % 3 == 1) ? ".png" : ".bmp";
    tessarin::testing::WriteWholeFile(folder.Path() / ("picture" + std::to_string(i) + extension), "");
  }
  tessarin::linux_platform::LinuxFiles files;
  std::size_t matching = 0;
  for (auto _ : state) {
    matching = tessarin::run::ListInsets(files, folder.Path().string()).size();
    benchmark::DoNotOptimize(matching);
  }
  state.counters["matching"] = static_cast<double>(matching);
}
BENCHMARK(ListLargeInsetFolder)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
