// Counts read from a file must be checked against the bytes the file holds before anything is
// allocated or looped over: a tiny file claiming 2^31 - 1 of something fails at once.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <array>
#include <chrono>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>
#include <utility>

#include "core/error.h"
#include "core/little_endian.h"
#include "prj/prj_layout.h"
#include "usecases/conversion_run.h"
#include "prj/prj_layout_reader.h"
#include "tests/support/child_process.h"
#include "tests/support/opt_builder.h"
#include "tests/support/prj_bytes.h"
#include "tests/support/prj_fixture.h"
#include "tests/support/run_process.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

using namespace fixture;

constexpr std::int32_t kHuge = std::numeric_limits<std::int32_t>::max();
// A file of 100 bytes, or of 168 where the count lies behind a group node and the nodes it leads
// through.
constexpr std::size_t kSmallFile = 100;
constexpr std::size_t kSmallFileWithGroup = 168;

// The built file padded to `size` bytes.
std::vector<std::byte> PaddedTo(const OptBuilder& b, std::size_t size) {
  std::vector<std::byte> bytes = b.Build().bytes;
  EXPECT_LE(bytes.size(), size);
  bytes.resize(size);
  return bytes;
}

// Converts and returns the error message, checking that the refusal came at once.
std::string RefusalOf(const std::vector<std::byte>& bytes) {
  const auto start = std::chrono::steady_clock::now();
  std::string message = "converted without error";
  try {
    ConvertOpt(bytes);
  } catch (const Error& e) {
    message = e.what();
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::milliseconds(250)) << message;
  return message;
}

// A group node k whose selected node s leads to P, in place and through its child table.
int GroupLeadingTo(OptBuilder& b, int p) {
  const int table = b.Blob(Bytes().Address(Ref::To(p)));
  const int s = b.Node({.type = 0, .child_count = 1, .child_table = Ref::To(table)},
                       Bytes().Address(Ref::To(p)));
  return b.Node({.type = 0, .child_count = 1}, Bytes().Address(Ref::To(s)));
}

TEST(ResourceBounds, HugeNodeCountIsRefusedBeforeTheTopLevelTableIsRead) {
  OptBuilder b;
  b.TopLevel({});
  b.OverrideNodeCount(kHuge);
  EXPECT_EQ(RefusalOf(PaddedTo(b, kSmallFile)),
            "offset 0x16: the top-level table of 2147483647 entries would end at 0x200000012, but "
            "the file ends at 0x64");
}

TEST(ResourceBounds, HugeChildCountIsRefusedBeforeTheChildrenAreVisited) {
  // In a top-level node.
  OptBuilder top;
  top.TopLevel({Ref::To(top.Node({.type = 0, .child_count = kHuge}))});
  const std::string top_message = RefusalOf(PaddedTo(top, kSmallFile));
  EXPECT_NE(top_message.find("top-level entry 1: the child list of 2147483647 entries at node "
                             "offset 0x18 of the node at address 0x1001a would end at 0x20000002e"),
            std::string::npos)
      << top_message;

  // In P, the node a group node leads to.
  OptBuilder group;
  const int k = GroupLeadingTo(group, group.Node({.type = 0, .child_count = kHuge}));
  group.TopLevel({Ref::To(TopLevelNode(group, {Ref::To(k)}))});
  const std::string p_message = RefusalOf(PaddedTo(group, kSmallFileWithGroup));
  EXPECT_NE(p_message.find("the child list of 2147483647 entries"), std::string::npos) << p_message;
}

TEST(ResourceBounds, HugeDataCountOfEachListKindIsRefused) {
  struct Case {
    std::int32_t type;
    bool under_group;  // polygon lists are reached through a group, the tables directly
    const char* expected;
  };
  const Case cases[] = {
      {3, false, "the 2147483647 rows of the vertex list at node offset 0x18"},
      {13, false, "the 2147483647 rows of the pair list at node offset 0x18"},
      {1, true, "the 2147483647 polygon rows and trailing tables at node offset 0x1c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    OptBuilder b;
    const int list = b.Node({.type = c.type, .data_count = kHuge});
    if (c.under_group) {
      const int p = b.Node({.type = 0, .child_count = 1}, Bytes().Address(Ref::To(list)));
      b.TopLevel({Ref::To(TopLevelNode(b, {Ref::To(GroupLeadingTo(b, p))}))});
    } else {
      b.TopLevel({Ref::To(TopLevelNode(b, {Ref::To(list)}))});
    }
    const std::size_t size = c.under_group ? kSmallFileWithGroup : kSmallFile;
    const std::string message = RefusalOf(PaddedTo(b, size));
    EXPECT_NE(message.find(c.expected), std::string::npos) << message;
    EXPECT_NE(message.find("but the file ends at " + Hex(size)), std::string::npos) << message;
  }
}

TEST(ResourceBounds, HugePixelCountIsRefusedBeforeAnyBitmapIsMade) {
  // A texture node in layout A cut short after its header fields: 57 bytes, in a 200-byte file.
  OptBuilder b;
  Bytes fields;
  fields.Text("SKIN0001").Byte(0).Long(0).Long(0).Long(kHuge).Long(0).Long(64).Long(64);
  const int texture = b.Node({.type = 20}, fields);
  b.TopLevel({Ref::To(TopLevelNode(b, {Ref::To(Group(b, {Ref::To(texture)}))}))});
  const std::string message = RefusalOf(PaddedTo(b, 200));
  EXPECT_NE(message.find("the 2147483647 pixel bytes at node offset 0x39"), std::string::npos)
      << message;
  EXPECT_NE(message.find("but the file ends at 0xc8"), std::string::npos) << message;
}

TEST(ResourceBounds, SharedNodesCannotMultiplyTheWorkWithoutBound) {
  // 64 top-level entries name one node whose 64 group children all lead to one P whose 64
  // children are one polygon list: 262144 visits of a list from a file of a few kilobytes,
  // with the polygon list sized so that the walk would pass any budget proportional to it.
  OptBuilder b;
  const int vertices = VertexList(b, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  const int pairs = PairList(b, {{0, 0}, {1, 0}, {0, 1}});
  std::vector<PolygonRow> rows(40, PolygonRow{{0, 1, 2, -1}, {0, 1, 2, -1}, {}, {}});
  const int polygons = PolygonList(b, rows);
  const int p = b.Node({.type = 0, .child_count = 64}, [&] {
    Bytes children;
    for (int i = 0; i < 64; ++i) children.Address(Ref::To(polygons));
    return children;
  }());
  const int k = GroupLeadingTo(b, p);
  std::vector<Ref> top_children = {Ref::To(vertices), Ref::To(pairs)};
  top_children.insert(top_children.end(), 64, Ref::To(k));
  const int top = TopLevelNode(b, top_children);
  b.TopLevel(std::vector<Ref>(64, Ref::To(top)));
  const std::vector<std::byte> bytes = b.Build().bytes;
  ASSERT_LT(bytes.size(), 8192u);

  const std::string message = RefusalOf(bytes);
  EXPECT_NE(message.find("refers to the same lists so often"), std::string::npos) << message;
}

TEST(ResourceBounds, SharedNodesThatMakeAHugePrjFileNeedLittleMemory) {
  const std::vector<std::byte> bytes = SharedNodesModel();
  ASSERT_LT(bytes.size(), 16384u);

  TempDir dir;
  WriteBytes(dir.path() / "shared.opt", bytes);
  const auto outcome = RunInChild({}, [&] {
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    const ConversionResult result =
        RunConversion(dir.path(), dir.path(), "shared.opt", Durability::kNoSync);
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    return std::to_string(std::filesystem::file_size(result.prj_path)) + " " +
           std::to_string((after.ru_maxrss - before.ru_maxrss) / 1024);
  });
  ASSERT_TRUE(outcome.exited && outcome.exit_code == 0) << outcome.report;
  std::uint64_t prj_bytes = 0, grown_mib = 0;
  std::istringstream(outcome.report) >> prj_bytes >> grown_mib;
  EXPECT_GT(prj_bytes, std::uint64_t{160} << 20) << outcome.report;
  EXPECT_LT(grown_mib, 64u) << "peak memory grew by " << grown_mib << " MiB";
}

// A valid PRJ file of `polygons` polygons and no node records whose records are all zero bytes
// (an FF02 record then names one empty string), written sparsely: only the headers take room.
void WriteSparsePrj(const std::filesystem::path& path, std::int32_t polygons) {
  const auto t = static_cast<std::uint64_t>(polygons);
  constexpr std::uint64_t kEmptyNameFF02RecordBytes = 4 + 1 + 1 + prj::kFF02TailBytes;
  std::vector<std::pair<std::uint64_t, std::int32_t>> longs = {{0, polygons}};
  std::uint64_t at = 4 + t * prj::kPolygonRecordBytes;
  const std::pair<std::int32_t, std::uint64_t> sections[] = {
      {prj::kTagFF01, prj::kFF01RecordBytes},
      {prj::kTagFF02, kEmptyNameFF02RecordBytes},
      {prj::kTagFF04, 0},
      {prj::kTagFF05, 0},
      {prj::kTagFF07, prj::kFF07RecordBytes}};
  for (const auto& [tag, record_bytes] : sections) {
    const std::int32_t count = record_bytes == 0 ? 0 : polygons;
    longs.push_back({at, tag});
    longs.push_back({at + 4, count});
    at += prj::kSectionHeaderBytes + record_bytes * static_cast<std::uint64_t>(count);
  }
  {
    std::ofstream out(path, std::ios::binary);
    for (const auto& [offset, value] : longs) {
      std::array<std::byte, 4> bytes;
      StoreI32(bytes.data(), value);
      out.seekp(static_cast<std::streamoff>(offset));
      out.write(reinterpret_cast<const char*>(bytes.data()), 4);
    }
    ASSERT_TRUE(out.good());
  }
  std::filesystem::resize_file(path, at);
}

struct InfoRun {
  int exit_status = -1;
  std::uint64_t peak_kib = 0;  // the largest resident set the run reached
  std::string out;
};

// Runs `durvane info FILE` from a child of its own, so that the child's record of its largest
// finished child is that run's peak memory.
InfoRun RunInfo(const std::filesystem::path& file) {
  const ChildOutcome outcome = RunInChild({}, [&] {
    const ProcessResult r = RunProcess(DURVANE_BIN_DIR "/durvane", {"info", file.string()});
    rusage children{};
    ::getrusage(RUSAGE_CHILDREN, &children);
    return std::to_string(r.exit_status) + " " + std::to_string(children.ru_maxrss) + "\n" + r.out;
  });
  EXPECT_TRUE(outcome.exited && outcome.exit_code == 0) << outcome.report;
  InfoRun run;
  std::istringstream report(outcome.report);
  report >> run.exit_status >> run.peak_kib;
  std::getline(report, run.out);  // the end of the first line
  run.out.assign(std::istreambuf_iterator<char>(report), {});
  return run;
}

TEST(ResourceBounds, InfoMemoryFollowsTheWorkNotWhatTheFileClaims) {
  TempDir dir;
  WriteBytes(dir / "small.prj", ConvertToPrj(SampleModel()));
  WriteBytes(dir / "shared.opt", SharedNodesModel());
  // Zero bytes: no polygon, then no FF01 tag at offset 4.
  { std::ofstream touch(dir / "zeros.prj"); }
  std::filesystem::resize_file(dir / "zeros.prj", std::uint64_t{512} << 20);
  WriteSparsePrj(dir / "sparse.prj", 1'000'000);  // about 174 MB

  struct Case {
    const char* file;
    int exit_status;
    const char* says;
    std::uint64_t growth_mib;  // over the run describing the small file
  };
  const Case cases[] = {
      // The OPT file is held whole, but none of the 180 MB PRJ file its shared nodes make.
      {"shared.opt", 0, "983040 polygon(s) in the leading block", 64},
      // Refused at its first blocks: the rest of the file is never read.
      {"zeros.prj", 1, "not valid merge input: offset 0x4: section FF01", 8},
      // Valid, and walked to its end through a small window.
      {"sparse.prj", 0, "valid merge input: yes", 8},
  };
  const InfoRun baseline = RunInfo(dir / "small.prj");
  ASSERT_EQ(baseline.exit_status, 0) << baseline.out;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const InfoRun run = RunInfo(dir / c.file);
    EXPECT_EQ(run.exit_status, c.exit_status) << run.out;
    EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
    const std::uint64_t growth_kib =
        run.peak_kib > baseline.peak_kib ? run.peak_kib - baseline.peak_kib : 0;
    EXPECT_LT(growth_kib, c.growth_mib << 10)
        << "peak " << run.peak_kib << " KiB, " << baseline.peak_kib << " KiB for a small file";
  }
}

TEST(ResourceBounds, HugePrjCountFieldsAreRefusedBeforeTheRecordsAreWalked) {
  PrjLayoutDesc desc;
  desc.Polygon(0, 1);
  desc.ff03 = std::vector<PrjRecord>{{0, 2}};
  desc.ff04 = {{0, 3}};
  desc.ff05 = {{0, 4}};
  desc.ff08 = std::vector<PrjRecord>{{0, 5}};
  const std::vector<std::byte> good = BuildPrjFile(desc);
  const prj::PrjLayout layout = prj::ReadPrjLayout(good);

  for (prj::PrjBlockKind kind : prj::kPrjBlockOrder) {
    SCOPED_TRACE(std::string(prj::BlockName(kind)));
    std::vector<std::byte> bytes = good;
    StoreI32(bytes.data() + layout[kind].count_offset, kHuge);
    const auto start = std::chrono::steady_clock::now();
    std::string message = "read without error";
    try {
      prj::ReadPrjLayout(bytes);
    } catch (const Error& e) {
      message = e.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
    // The per-polygon sections take their record count from the leading block, so their own
    // count fields cannot make the walk longer.
    if (prj::BlockIsPerPolygon(kind) && kind != prj::PrjBlockKind::kLeading) continue;
    EXPECT_NE(message.find("2147483647 records of " + std::to_string(prj::BlockRecordBytes(kind)) +
                           " bytes would end at"),
              std::string::npos)
        << message;
  }
}

}  // namespace
}  // namespace durvane
