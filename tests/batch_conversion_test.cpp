// ConvertFiles: the order of what the observer hears, stopping between files, and the rule
// that no file of a run replaces another's output.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "usecases/batch_conversion.h"
#include "tests/support/prj_bytes.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

using namespace fixture;

// Every event, as text: "repeated 3", "started 0", "progress 0 2", "finished 0", ...; and for
// the events that end a file, the thread they came on.
class RecordingObserver : public BatchObserver {
 public:
  void FileStarted(std::size_t index, const std::filesystem::path&) override {
    Note("started " + std::to_string(index));
  }
  void FileProgress(std::size_t index, ConversionStage stage) override {
    Note("progress " + std::to_string(index) + " " + std::to_string(static_cast<int>(stage)));
  }
  void FileRepeated(std::size_t index, const std::string& warning) override {
    End("repeated " + std::to_string(index), warning);
  }
  void FileFinished(std::size_t index, const ConversionResult&) override {
    End("finished " + std::to_string(index), "");
  }
  void FileFailed(std::size_t index, const std::string& error) override {
    End("failed " + std::to_string(index), error);
  }
  void FileCancelled(std::size_t index) override { End("cancelled " + std::to_string(index), ""); }

  // Called with each file's end, on the thread that reports it.
  std::function<void(std::size_t)> on_end;

  std::vector<std::string> events, ends, messages;
  std::vector<std::thread::id> end_threads;

 private:
  void Note(const std::string& event) {
    const std::lock_guard lock(mutex_);
    events.push_back(event);
  }
  void End(const std::string& event, const std::string& message) {
    {
      const std::lock_guard lock(mutex_);
      events.push_back(event);
      ends.push_back(event);
      messages.push_back(message);
      end_threads.push_back(std::this_thread::get_id());
    }
    if (on_end) on_end(ends.size() - 1);
  }
  std::mutex mutex_;
};

std::size_t Position(const std::vector<std::string>& events, const std::string& event) {
  const auto it = std::find(events.begin(), events.end(), event);
  EXPECT_NE(it, events.end()) << event;
  return static_cast<std::size_t>(it - events.begin());
}

class BatchConversion : public ::testing::Test {
 protected:
  // Writes `name` into the input folder (a sample model, or a broken file when `broken`).
  std::filesystem::path Input(const std::string& name, bool broken = false) {
    const auto path = in_ / name;
    std::filesystem::create_directories(path.parent_path());
    const std::vector<std::byte> bytes = SampleModel().bytes;
    WriteBytes(path, broken ? std::span(bytes).first(20) : std::span(bytes));
    return path;
  }
  BatchOptions Options(unsigned jobs) const {
    BatchOptions options;
    options.qel_directory = qel_.path();
    options.jobs = jobs;
    options.durability = Durability::kNoSync;
    return options;
  }
  TempDir in_, qel_;
};

TEST_F(BatchConversion, EndsComeInInputOrderOnTheCallingThreadWithJobsAtOnce) {
  std::vector<std::filesystem::path> files;
  for (int i = 0; i < 8; ++i) files.push_back(Input("m" + std::to_string(i) + ".opt", i == 5));
  files.push_back(files[2]);           // 8: the same file again
  files.push_back(Input("x/m3.opt"));  // 9: another file with the output folder of file 3
  RecordingObserver observer;
  EXPECT_FALSE(ConvertFiles(files, Options(3), observer));

  const std::vector<std::string> expected_ends = {
      "repeated 8", "failed 9",   "finished 0", "finished 1", "finished 2",
      "finished 3", "finished 4", "failed 5",   "finished 6", "finished 7"};
  EXPECT_EQ(observer.ends, expected_ends);
  for (std::thread::id id : observer.end_threads) EXPECT_EQ(id, std::this_thread::get_id());
  EXPECT_EQ(observer.messages[0], "the same file as '" + files[2].string() + "', converted once");
  EXPECT_EQ(observer.messages[1], "not converted: its output folder '" +
                                      (qel_.path() / "m3").string() + "' is the output of '" +
                                      files[3].string() + "' in this run");
  EXPECT_NE(observer.messages[7].find("offset"), std::string::npos) << observer.messages[7];

  // Each file converted starts, passes every stage in order, and only then is reported.
  for (std::size_t i : {0, 1, 2, 3, 4, 6, 7}) {
    const std::string n = std::to_string(i);
    std::size_t at = Position(observer.events, "started " + n);
    for (int stage = 0; stage < kConversionStages; ++stage) {
      const std::size_t next =
          Position(observer.events, "progress " + n + " " + std::to_string(stage));
      EXPECT_LT(at, next) << n << " stage " << stage;
      at = next;
    }
    EXPECT_LT(at, Position(observer.events, "finished " + n));
  }
  // The broken file stops after it is read; the files left out never start.
  EXPECT_LT(Position(observer.events, "progress 5 0"), Position(observer.events, "failed 5"));
  for (const char* event : {"progress 5 1", "started 8", "started 9"}) {
    EXPECT_EQ(std::count(observer.events.begin(), observer.events.end(), event), 0) << event;
  }
  EXPECT_EQ(ReadBytes(qel_.path() / "m3" / "m3.prj"), ConvertToPrj(SampleModel()));
  EXPECT_FALSE(std::filesystem::exists(qel_.path() / "m5"));
}

TEST_F(BatchConversion, AStopLeavesTheFilesNotStartedUntouched) {
  const std::vector<std::filesystem::path> files = {Input("a.opt"), Input("b.opt"), Input("c.opt"),
                                                    in_ / "a.opt"};
  struct Case {
    int stop_after_ends;  // the stop is requested once this many ends were heard; -1: never
    std::vector<std::string> ends;
    std::vector<std::string> folders;  // written into the QEL directory
  };
  for (const Case& c : {
           Case{0, {"repeated 3", "cancelled 0", "cancelled 1", "cancelled 2"}, {}},
           Case{2, {"repeated 3", "finished 0", "cancelled 1", "cancelled 2"}, {"a"}},
           Case{3, {"repeated 3", "finished 0", "finished 1", "cancelled 2"}, {"a", "b"}},
           Case{-1, {"repeated 3", "finished 0", "finished 1", "finished 2"}, {"a", "b", "c"}},
       }) {
    SCOPED_TRACE(c.stop_after_ends);
    const TempDir qel;
    std::stop_source stop;
    if (c.stop_after_ends == 0) stop.request_stop();
    BatchOptions options = Options(1);  // one file at a time: the stop falls between two files
    options.qel_directory = qel.path();
    options.stop = stop.get_token();
    RecordingObserver observer;
    observer.on_end = [&](std::size_t end) {
      if (static_cast<int>(end) + 1 == c.stop_after_ends) stop.request_stop();
    };
    EXPECT_EQ(ConvertFiles(files, options, observer), c.stop_after_ends < 0);
    EXPECT_EQ(observer.ends, c.ends);
    std::vector<std::string> folders;
    for (const std::string& entry : ListTree(qel.path())) {
      if (entry.find('/') == std::string::npos) folders.push_back(entry);
    }
    EXPECT_EQ(folders, c.folders);
  }
}

}  // namespace
}  // namespace durvane
