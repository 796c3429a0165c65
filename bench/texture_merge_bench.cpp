// Micro benchmarks of the palette conversion, the texture scan and the merge's work besides
// reading and writing: validating a PRJ file's layout, planning the merge and shifting the
// second file's top-level indices.
#include <benchmark/benchmark.h>

#include <vector>

#include "merge/index_shift.h"
#include "merge/merge_plan.h"
#include "opt/opt_image.h"
#include "opt/opt_scan.h"
#include "opt/texture_export.h"
#include "usecases/conversion_run.h"
#include "prj/prj_layout_reader.h"
#include "tests/support/workload_model.h"

namespace {

using namespace durvane;

void BM_PaletteConversion(benchmark::State& state) {
  std::vector<std::byte> palette(opt::kPaletteBytes);
  for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = static_cast<std::byte>(i * 37);
  const std::array<std::byte, 8> name{};
  const std::vector<std::byte> pixels(16);
  for (auto _ : state) {
    opt::TextureBitmap bitmap = opt::ExportTexture(
        name, std::span<const std::byte, opt::kPaletteBytes>(palette), pixels, 4, 4);
    benchmark::DoNotOptimize(bitmap.header.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 256);  // colours
}
BENCHMARK(BM_PaletteConversion);

void BM_TextureScan(benchmark::State& state) {
  const auto model = fixture::WorkloadModel(fixture::MediumModelShape(1));
  const opt::OptImage image(model.bytes);
  for (auto _ : state) {
    std::vector<std::string> warnings;
    auto textures = opt::ScanOpt(image, warnings);
    benchmark::DoNotOptimize(textures.data());
  }
}
BENCHMARK(BM_TextureScan)->Unit(benchmark::kMicrosecond);

// The PRJ file of a model of about 5 MB, as a conversion writes it.
std::vector<std::byte> Prj(std::uint64_t seed) {
  const auto model = fixture::WorkloadModel(fixture::MediumModelShape(seed));
  return prj::PrjImage(ConvertOpt(model.bytes).prj).Flatten();
}

void BM_MergeValidation(benchmark::State& state) {
  const std::vector<std::byte> prj = Prj(1);
  for (auto _ : state) {
    prj::PrjLayout layout = prj::ReadPrjLayout(prj);
    benchmark::DoNotOptimize(&layout);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(prj.size()));
}
BENCHMARK(BM_MergeValidation)->Unit(benchmark::kMillisecond);

void BM_MergePlanAndShift(benchmark::State& state) {
  const std::vector<std::byte> first = Prj(1);
  const prj::PrjLayout first_layout = prj::ReadPrjLayout(first);
  const std::vector<std::byte> second_original = Prj(2);
  const prj::PrjLayout second_layout = prj::ReadPrjLayout(second_original);
  std::vector<std::byte> second = second_original;
  for (auto _ : state) {
    state.PauseTiming();
    second = second_original;  // the shift changes the second file's indices in place
    state.ResumeTiming();
    const merge::MergePlan plan = merge::PlanMerge(first_layout, second_layout);
    for (const merge::MergePlan::Block& block : plan.blocks) {
      if (!block.from_second) continue;
      merge::ShiftRecords(std::span(second).subspan(block.from_second->records_offset,
                                                    block.from_second->records_bytes()),
                          block.kind, plan.index_shift, true);
    }
    benchmark::DoNotOptimize(second.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(second.size()));
}
BENCHMARK(BM_MergePlanAndShift)->Unit(benchmark::kMillisecond);

}  // namespace
