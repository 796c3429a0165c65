// Micro benchmarks of the PRJ block writers: each runs the polygon walk with one writer (or all
// of them, as a conversion does) over a model of about 5 MB held in memory.
#include <benchmark/benchmark.h>

#include "opt/opt_image.h"
#include "opt/polygon_walk.h"
#include "prj/corner_block_writer.h"
#include "prj/node_record_section.h"
#include "prj/prj_builder.h"
#include "prj/section_ff02_writer.h"
#include "prj/section_ff07_writer.h"
#include "tests/support/workload_model.h"

namespace {

using namespace durvane;

const fixture::BuiltOpt& Model() {
  static const fixture::BuiltOpt model = fixture::WorkloadModel(fixture::MediumModelShape(1));
  return model;
}

// Reports the speed as OPT bytes walked per second.
void Count(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(Model().bytes.size()));
}

void BM_BuildPrj(benchmark::State& state) {
  const opt::OptImage image(Model().bytes);
  for (auto _ : state) {
    std::vector<std::string> warnings;
    prj::PrjImage prj = prj::BuildPrj(image, warnings);
    benchmark::DoNotOptimize(prj.leading.bytes().data());
  }
  Count(state);
}
BENCHMARK(BM_BuildPrj)->Unit(benchmark::kMillisecond);

void BM_CornerBlock(benchmark::State& state, const prj::CornerBlockParams& params) {
  const opt::OptImage image(Model().bytes);
  for (auto _ : state) {
    ByteSink out;
    prj::CornerBlockWriter writer(image, params, out);
    opt::WalkPolygons(image, writer);
    benchmark::DoNotOptimize(out.bytes().data());
  }
  Count(state);
}
BENCHMARK_CAPTURE(BM_CornerBlock, leading, prj::kLeadingBlock)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CornerBlock, ff01, prj::kSectionFF01)->Unit(benchmark::kMillisecond);

void BM_SectionFF02(benchmark::State& state) {
  const opt::OptImage image(Model().bytes);
  for (auto _ : state) {
    ByteSink out;
    prj::SectionFF02Writer writer(image, out);
    opt::WalkPolygons(image, writer);
    benchmark::DoNotOptimize(out.bytes().data());
  }
  Count(state);
}
BENCHMARK(BM_SectionFF02)->Unit(benchmark::kMillisecond);

void BM_SectionFF07(benchmark::State& state) {
  const opt::OptImage image(Model().bytes);
  for (auto _ : state) {
    ByteSink out;
    prj::SectionFF07Writer writer(out);
    opt::WalkPolygons(image, writer);
    benchmark::DoNotOptimize(out.bytes().data());
  }
  Count(state);
}
BENCHMARK(BM_SectionFF07)->Unit(benchmark::kMillisecond);

void BM_NodeRecordSections(benchmark::State& state) {
  const opt::OptImage image(Model().bytes);
  for (auto _ : state) {
    ByteSink out;
    std::vector<std::string> warnings;
    for (const auto* params :
         {&prj::kSectionFF03, &prj::kSectionFF04, &prj::kSectionFF05, &prj::kSectionFF08}) {
      prj::WriteNodeRecordSection(image, *params, out, warnings);
    }
    benchmark::DoNotOptimize(out.bytes().data());
  }
}
BENCHMARK(BM_NodeRecordSections)->Unit(benchmark::kMicrosecond);

}  // namespace
