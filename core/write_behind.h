// Writes a file's chunks on a thread of its own while the caller makes the next ones: the disk
// and the page cache work while the caller computes, rather than one after the other.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "core/byte_buffer.h"
#include "core/file_io.h"

namespace durvane {

class WriteBehind {
 public:
  // Writes to `file`, holding at most `depth` chunks queued. The file must outlive this.
  explicit WriteBehind(StagedFile& file, std::size_t depth = 2);
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;
  // Stops the thread; chunks still queued are dropped, as after a failure the file is too.
  ~WriteBehind();

  // Queues `bytes` to be written at `offset`, waiting while `depth` chunks are queued, and
  // returns an empty buffer for the caller to fill next: one already written, so that memory
  // is reused rather than fresh. Throws the Error of a write that failed.
  ByteBuffer Write(std::uint64_t offset, ByteBuffer bytes);
  // Whether Write would wait now, `depth` chunks being queued: a caller with other work may do
  // some of it first.
  bool Full();
  // Waits until every queued chunk is written. Throws the Error of a write that failed.
  void Finish();

 private:
  struct Chunk {
    std::uint64_t offset;
    ByteBuffer bytes;
  };
  void Run();
  void RethrowFailure();

  StagedFile& file_;
  std::size_t depth_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Chunk> queue_;
  std::vector<ByteBuffer> written_;  // emptied buffers, for the caller to fill again
  bool writing_ = false;             // the thread holds a chunk that is not in the queue
  bool stopping_ = false;
  std::exception_ptr failure_;
  std::thread thread_;  // last: starts once everything it uses exists
};

}  // namespace durvane
