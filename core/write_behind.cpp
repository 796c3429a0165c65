#include "core/write_behind.h"

#include <utility>

namespace durvane {

WriteBehind::WriteBehind(StagedFile& file, std::size_t depth)
    : file_(file), depth_(depth == 0 ? 1 : depth), thread_([this] { Run(); }) {}

WriteBehind::~WriteBehind() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  changed_.notify_all();
  thread_.join();
}

void WriteBehind::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    Chunk chunk = std::move(queue_.front());
    queue_.pop_front();
    writing_ = true;
    lock.unlock();
    std::exception_ptr failure;
    try {
      file_.WriteAt(chunk.offset, chunk.bytes);
    } catch (...) {
      failure = std::current_exception();
    }
    chunk.bytes.resize(0);
    lock.lock();
    writing_ = false;
    if (failure && !failure_) failure_ = failure;
    // After a failure nothing more is written: the file is abandoned.
    if (failure_) queue_.clear();
    written_.push_back(std::move(chunk.bytes));
    changed_.notify_all();
  }
}

void WriteBehind::RethrowFailure() {
  if (failure_) std::rethrow_exception(failure_);
}

ByteBuffer WriteBehind::Write(std::uint64_t offset, ByteBuffer bytes) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return failure_ || queue_.size() < depth_; });
  RethrowFailure();
  queue_.push_back({offset, std::move(bytes)});
  ByteBuffer next;
  if (!written_.empty()) {
    next = std::move(written_.back());
    written_.pop_back();
  }
  lock.unlock();
  changed_.notify_all();
  return next;
}

bool WriteBehind::Full() {
  const std::lock_guard lock(mutex_);
  return !failure_ && queue_.size() >= depth_;
}

void WriteBehind::Finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return failure_ || (queue_.empty() && !writing_); });
  RethrowFailure();
}

}  // namespace durvane
