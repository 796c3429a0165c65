// The program's window on Windows, a native face of the window's logic (app/window): the same
// controls, captions, access keys and tab order as the Qt window, placed at the design's twip
// positions scaled by the monitor's DPI. It keeps its lists in step, runs what the logic hands
// it on a thread of its own (results come back to the window's thread as posted messages) and
// shows what the logic asks.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <array>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/win32/folder_watch.h"
#include "app/win32/preview_pane.h"
#include "app/win32/window_layout.h"
#include "app/win32/window_support.h"
#include "app/window/file_routing.h"
#include "app/window/operations.h"
#include "app/window/window_logic.h"
#include "core/platform_drives.h"

namespace durvane::win32 {

class DurvaneWindow : private window::WindowView {
 public:
  // Makes the window, in Create New mode with every list at the process's current folder, and
  // shows it. Throws std::runtime_error when Windows refuses to make it.
  DurvaneWindow(HINSTANCE instance, window::Operations operations, int show);
  // Stops a run in progress after its current file and waits for it.
  ~DurvaneWindow() override;
  DurvaneWindow(const DurvaneWindow&) = delete;
  DurvaneWindow& operator=(const DurvaneWindow&) = delete;

  // Selects `file` as "Open with" does: an OPT file in Create New mode in the bottom lists, a
  // PRJ file in Merge PRJ mode as the first file.
  void Open(const std::string& file);

  // Handles the keys the window takes before any control (Tab, access keys, Enter, Escape, F5).
  // True when `message` was handled and must not be dispatched.
  bool PreTranslate(MSG& message);

 private:
  template <typename Owner>
  friend LRESULT CALLBACK OwnedWindowProcedure(HWND, UINT, WPARAM, LPARAM);
  HWND handle() const { return window_; }
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);

  // What the logic asks of the window.
  void ShowMode(window::Mode mode, const window::ModeTexts& texts) override;
  void ShowRunStarted(const window::RunShown& run) override;
  void ShowRunEnded() override;
  void ShowStatus(const window::StatusShown& status) override;
  void ShowPreview(const std::string& file) override;
  void ShowError(const std::string& headline, const std::string& details) override;
  void ShowWarnings(const std::string& summary, const std::vector<std::string>& lines) override;
  void Beep() override;
  // A task dialog over the window: `icon`, one plain sentence, lines below it, and `details`
  // under "Show details".
  void ShowDialog(PCWSTR icon, const std::string& instruction, const std::string& content,
                  const std::string& details);

  void MakeControls();
  void ApplyDpi(int dpi);
  void PlaceControls();
  void OnCommand(int id, int code);
  void OnEnter();
  void ChooseMode(window::Mode mode);
  void Press();
  void StartRun(std::optional<window::RunPlan> plan);
  void OnRunEnded();
  window::SayWaiting WaitingReporter();
  window::Selection CurrentSelection() const;

  // A folder list and the file list beside it.
  struct Group {
    Control drive;
    Control folders;
    Control files;
    std::string folder;  // PathBytes
    std::wstring pattern;
    std::size_t watch_slot;
  };
  // Lists `folder` in the group's lists; false, changing nothing, when it cannot be opened.
  bool ShowFolder(Group& group, const std::string& folder);
  // Fills the group's drive list and selects the drive `folder` is on.
  void ShowDrives(const Group& group, const std::string& folder);
  void EnterFolder(Group& group);
  // Lists the group's files; keeps the names selected, or selects `select` when given.
  void ListFiles(Group& group, const std::vector<std::string>* select = nullptr);
  // Reads the drives again and lists every shown folder again (F5, the end of a run).
  void RefreshLists();
  // Lists the shown folders again; one that is gone gives way to its nearest parent.
  void RefreshFolders();
  // Switches to the route's mode, moves its group's lists to the folder of its first file and
  // selects those of its files listed there; says what went wrong, or what the route says.
  void SelectRoute(const window::FileRoute& route);
  void OnDrop(HDROP drop);
  std::vector<std::string> SelectedNames(const Group& group) const;
  // Draws the file last selected in the group's file list in the preview pane.
  void Preview(const Group& group);
  // Empties the preview when its file is no longer selected in a list of the mode or is gone.
  void ForgetStalePreview();

  void SetTooltip(Control control, const std::wstring& text);
  HWND Item(Control control) const { return controls_[static_cast<int>(control)]; }

  HINSTANCE instance_;
  HWND window_ = nullptr;
  std::array<HWND, kControlCount> controls_{};
  int dpi_ = USER_DEFAULT_SCREEN_DPI;
  HFONT font_ = nullptr;
  HFONT bold_font_ = nullptr;
  Group top_{Control::kPrjDrive, Control::kPrjDirectory, Control::kPrjFile1, {}, L".prj", 0};
  Group bottom_{Control::kOptDrive, Control::kOptDirectory, Control::kOptFile, {}, L".opt", 1};
  HWND tooltips_ = nullptr;
  window::Mode shown_mode_ = window::Mode::kCreateNew;
  std::array<std::vector<std::string>, 2> bottom_selections_;  // by mode
  std::vector<platform::Drive> drives_;                        // read at the start and on F5
  std::string open_folder_;
  std::optional<PreviewPane> preview_;
  std::optional<FolderWatch> watch_;
  bool cancel_shown_ = false;
  HWND focus_before_run_ = nullptr;

  window::WindowLogic logic_;
  window::RunShown run_shown_;
  // The run's thread; what it came to waits here for the window's thread.
  std::jthread run_thread_;
  std::mutex run_mutex_;
  std::optional<window::RunOutcome> run_outcome_;
  std::string waiting_message_;
};

}  // namespace durvane::win32
