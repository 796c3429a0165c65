// The window's preview pane on Windows: draws the model of an OPT or PRJ file with the
// library's renderer on a thread of the pane's own (a newer file or view supersedes a drawing
// still going) into a DIB section. Dragging with the mouse turns the model (drawn at a third of
// each side while the mouse moves, stretched over the pane, in full once it is released), the
// wheel zooms and a double click returns to the first view. A file that cannot be drawn shows
// the reason in the pane; the bitmaps missing from a picture are named at its foot. Its context
// menu exports the model shown.
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

#include "app/win32/model_export_menu.h"
#include "app/win32/window_support.h"
#include "app/window/preview_view.h"
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

  // What the pane shows, for its tests: the view, the picture's size (0 by 0 without one) and
  // whether it is a reduced one, and the note at its foot.
  const window::PreviewView& View() const { return view_; }
  SIZE PictureSize() const { return picture_ ? SIZE{picture_width_, picture_height_} : SIZE{}; }
  bool PictureReduced() const { return picture_draft_; }
  const std::string& Note() const { return note_; }

 private:
  struct Request {
    std::uint64_t generation = 0;
    std::string file;
    bool reuse_model = false;
    bool draft = false;  // reduced, while dragging
    render::RenderOptions options;
  };
  // What the pane's thread drew for a request, waiting for the window's thread.
  struct Drawn {
    std::uint64_t generation = 0;
    int width = 0;
    int height = 0;
    bool draft = false;
    std::vector<std::uint8_t> bgra;
    std::vector<std::string> warnings;
    std::string error;
  };

  template <typename Owner>
  friend LRESULT CALLBACK OwnedWindowProcedure(HWND, UINT, WPARAM, LPARAM);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);
  // Asks for a drawing of the shown file at the current view, reduced for a `draft`.
  void Ask(bool reuse_model, bool draft);
  // Drops a request not begun yet; one for a draft counts as that draft's end. Under mutex_.
  void DropRequest();
  void Work(std::stop_token stop);
  void TakeDrawn();
  void Paint();
  void OnContextMenu(LPARAM at);

  HWND pane_ = nullptr;
  std::string file_;
  std::string message_;       // shown instead of a picture
  std::string note_;          // at the picture's foot: what it lacks
  bool model_drawn_ = false;  // the file was drawn: the view may turn
  window::PreviewView view_;
  HFONT font_ = nullptr;  // the window's, for the messages
  HBITMAP picture_ = nullptr;
  int picture_width_ = 0;
  int picture_height_ = 0;
  bool picture_draft_ = false;  // stretched over the pane
  std::optional<ModelExportMenu> menu_;

  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::uint64_t generation_ = 0;  // the newest request's; older drawings give up
  std::optional<Request> request_;
  std::optional<Drawn> drawn_;
  int drafts_ended_ = 0;  // drawn, given up or dropped; each is told to view_
  // The thread's: the model last read and its file, kept while the view turns.
  std::shared_ptr<const render::Model> model_;
  std::string model_file_;
  std::jthread worker_;
};

}  // namespace durvane::win32
