// The window's preview pane on Windows: draws the model of an OPT or PRJ file with the
// library's renderer on a thread of the pane's own (a newer file or view supersedes a drawing
// still going) into a DIB section, and turns it as the mouse drags over it. A file that cannot
// be drawn shows the reason in the pane.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/win32/window_support.h"
#include "render/model.h"
#include "render/renderer.h"

namespace durvane::win32 {

class PreviewPane {
 public:
  // Makes the pane, a child of `parent` with the control ID `id`. Throws std::runtime_error
  // when Windows refuses to make it.
  PreviewPane(HINSTANCE instance, HWND parent, int id);
  // Gives up a drawing in progress and waits for the pane's thread.
  ~PreviewPane();
  PreviewPane(const PreviewPane&) = delete;
  PreviewPane& operator=(const PreviewPane&) = delete;

  HWND handle() const { return pane_; }
  const std::string& File() const { return file_; }
  // Draws `file` (PathBytes) in the first view, read again even when it is the file shown
  // (it may have changed); an empty name empties the pane.
  void Show(const std::string& file);

 private:
  struct Request {
    std::uint64_t generation = 0;
    std::string file;
    bool reuse_model = false;
    render::RenderOptions options;
  };
  // What the pane's thread drew for a request, waiting for the window's thread.
  struct Drawn {
    std::uint64_t generation = 0;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgra;
    std::string error;
  };

  template <typename Owner>
  friend LRESULT CALLBACK OwnedWindowProcedure(HWND, UINT, WPARAM, LPARAM);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);
  void Ask(bool reuse_model);
  void Work(std::stop_token stop);
  void TakeDrawn();
  void Paint();

  HWND pane_ = nullptr;
  std::string file_;
  std::string message_;  // shown instead of a picture
  double yaw_ = 0;
  double pitch_ = 0;
  std::optional<POINT> drag_from_;
  HFONT font_ = nullptr;  // the window's, for the messages
  HBITMAP picture_ = nullptr;
  int picture_width_ = 0;
  int picture_height_ = 0;

  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::uint64_t generation_ = 0;  // the newest request's; older drawings give up
  std::optional<Request> request_;
  std::optional<Drawn> drawn_;
  // The thread's: the model last read and its file, kept while the view turns.
  std::shared_ptr<const render::Model> model_;
  std::string model_file_;
  std::jthread worker_;
};

}  // namespace durvane::win32
