// Drawing models, file reading included: the W1 model's PRJ file (about 1,000,000 polygons and
// 64 bitmaps of 256 by 256) at 1024 by 1024, and the sample at 512 by 512, from both files;
// and the preview's drawings while a model of about 100,000 polygons turns.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "render/renderer.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"
#include "tests/support/workload_model.h"
#include "usecases/conversion_run.h"
#include "usecases/model_files.h"

namespace {

using namespace durvane;
using fixture::WriteBytes;

// Writes the model's OPT file and converts it beside it; returns the folder.
const fixture::TempDir& Converted(const fixture::BuiltOpt& model) {
  static fixture::TempDir dir;  // one model per process run: the benchmarks share it
  WriteBytes(dir / "model.opt", model.bytes);
  RunConversion(dir.path(), dir.path(), "model.opt", Durability::kNoSync);
  return dir;
}

void RenderFile(benchmark::State& state, const std::filesystem::path& file, int side) {
  render::RenderOptions options;
  options.width = options.height = side;
  for (auto _ : state) {
    const render::Model model = render::LoadModelFile(file);
    const render::Rendering rendering = render::Render(model, options);
    benchmark::DoNotOptimize(rendering.image.rgba.data());
  }
}

void BM_RenderW1Prj(benchmark::State& state) {
  static const fixture::TempDir& dir =
      Converted(fixture::WorkloadModel(fixture::LargeModelShape(1)));
  RenderFile(state, dir / "model" / "model.prj", 1024);
}
BENCHMARK(BM_RenderW1Prj)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RenderSampleOpt(benchmark::State& state) {
  fixture::TempDir dir;
  WriteBytes(dir / "sample.opt", fixture::SampleModel().bytes);
  RenderFile(state, dir / "sample.opt", 512);
}
BENCHMARK(BM_RenderSampleOpt)->Unit(benchmark::kMillisecond);

void BM_RenderSamplePrj(benchmark::State& state) {
  fixture::TempDir dir;
  WriteBytes(dir / "sample.opt", fixture::SampleModel().bytes);
  RunConversion(dir.path(), dir.path(), "sample.opt", Durability::kNoSync);
  RenderFile(state, dir / "sample" / "sample.prj", 512);
}
BENCHMARK(BM_RenderSamplePrj)->Unit(benchmark::kMillisecond);

// The preview while the mouse turns a model of 100,000 polygons: one drawing per frame, at a
// fraction of each side of a large pane of 1200 by 900 device pixels (the argument: the
// preview draws at a third) and, for comparison, at its full size. The model is read once, as
// the preview reads it once.
void RenderTurning(benchmark::State& state, int divisor) {
  static const render::Model model = [] {
    fixture::WorkloadShape shape = fixture::LargeModelShape(7);
    shape.top_level_nodes = 20;  // 20 nodes of 5 lists of 1,000 polygons
    static fixture::TempDir dir;
    WriteBytes(dir / "turning.opt", fixture::WorkloadModel(shape).bytes);
    return render::LoadModelFile(dir / "turning.opt");
  }();
  render::RenderOptions options;
  options.width = 1200 / divisor;
  options.height = 900 / divisor;
  for (auto _ : state) {
    options.yaw += 3;
    const render::Rendering rendering = render::Render(model, options);
    benchmark::DoNotOptimize(rendering.image.rgba.data());
  }
  state.counters["polygons"] = static_cast<double>(model.size());
  state.counters["frames"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_RenderTurning100kDraft(benchmark::State& state) {
  RenderTurning(state, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_RenderTurning100kDraft)->Arg(3)->Arg(6)->Unit(benchmark::kMillisecond);

void BM_RenderTurning100kFull(benchmark::State& state) {
  RenderTurning(state, 1);
}
BENCHMARK(BM_RenderTurning100kFull)->Unit(benchmark::kMillisecond);

}  // namespace
