// The composition alone, from an in-memory 4K canvas into a real output file:
// the strip pipeline's own cost, without any decoder.

#include <benchmark/benchmark.h>

#include "linux/linux_files.h"
#include "support/fake_platform.h"
#include "support/temporary_folder.h"
#include "wallpaper/compose.h"

namespace {

void ComposeFourKCanvas(benchmark::State& state) {
  tessarin::testing::TemporaryFolder folder;
  const tessarin::ports::Bitmap canvasImage = tessarin::testing::PatternImage(3840, 2160, 1);
  const tessarin::ports::Bitmap block = tessarin::testing::PatternImage(800, 600, 2);
  const auto placement =
      tessarin::wallpaper::PlaceBlock(100, 100, 800, 600, {800, 600}, {3840, 2160});
  const auto layout = *tessarin::wallpaper::BmpLayout::For(3840, 2160);
  tessarin::linux_platform::LinuxFiles files;
  for (auto _ : state) {
    tessarin::pictures::held::HeldPicture canvas(canvasImage, "canvas.bmp");
    auto output = files.CreateReplacement(folder / "out.bmp", layout.FileSize());
    tessarin::pictures::held::HeldPicture inset(block, "inset.bmp");
    tessarin::wallpaper::ComposeInto(canvas, inset, "inset.bmp", placement, layout, *output);
    output->Commit();
  }
}
BENCHMARK(ComposeFourKCanvas)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
