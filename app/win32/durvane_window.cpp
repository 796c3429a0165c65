#include "app/win32/durvane_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "app/win32/task_dialog.h"
#include "app/window/file_routing.h"
#include "core/platform.h"

namespace durvane::win32 {
namespace {

constexpr wchar_t kClassName[] = L"DurvaneWindow";
// Messages the run's thread posts to the window.
constexpr UINT kRunProgress = WM_APP + 1;  // WPARAM: the units done
constexpr UINT kRunWaiting = WM_APP + 2;   // the message is in waiting_message_
constexpr UINT kRunEnded = WM_APP + 3;     // the outcome is in run_outcome_
// The folder watch's message, and the timer that gathers a burst of changes into one listing.
constexpr UINT kFolderChanged = WM_APP + 4;
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshDelayMs = 200;
// Control IDs start above IDOK and IDCANCEL, which Enter and Escape send.
constexpr int kFirstId = 100;

int IdOf(Control control) {
  return kFirstId + static_cast<int>(control);
}

std::wstring WidePath(const std::string& path_bytes) {
  return platform::PathFromBytes(path_bytes).wstring();
}

std::string PathBytesOf(const std::wstring& path) {
  return platform::PathBytes(std::filesystem::path(path));
}

// Whether `name` ends in `extension`, regardless of letter case.
bool HasExtension(const std::wstring& name, const std::wstring& extension) {
  if (name.size() <= extension.size()) return false;
  return ::CompareStringOrdinal(name.data() + name.size() - extension.size(),
                                static_cast<int>(extension.size()), extension.data(),
                                static_cast<int>(extension.size()), TRUE) == CSTR_EQUAL;
}

bool LessIgnoringCase(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
}

// The monitor's DPI for `window`: GetDpiForWindow where Windows has it (10 and later), else
// the system's.
int DpiOf(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto get_dpi =
      reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void (*)()>(
          ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (get_dpi) return static_cast<int>(get_dpi(window));
  const HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi;
}

std::wstring ListItem(HWND list, int index) {
  const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == LB_ERR) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied = ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
  return text;
}

// The folder list's first entry, which goes up one folder.
constexpr wchar_t kParentEntry[] = L"..";

}  // namespace

DurvaneWindow::DurvaneWindow(HINSTANCE instance, window::Operations operations, int show)
    : instance_(instance), logic_(std::move(operations), *this) {
  INITCOMMONCONTROLSEX classes{sizeof(classes),
                               ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_LINK_CLASS};
  ::InitCommonControlsEx(&classes);
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = &OwnedWindowProcedure<DurvaneWindow>;
  window_class.hInstance = instance_;
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
  window_class.lpszClassName = kClassName;
  window_class.hIcon = ::LoadIconW(instance_, MAKEINTRESOURCEW(1));
  // The title bar's and the task bar's icon: the icon's picture of that size, not a shrunk one.
  window_class.hIconSm = static_cast<HICON>(
      ::LoadImageW(instance_, MAKEINTRESOURCEW(1), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                   ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  ::RegisterClassExW(&window_class);

  // "DURVANE v" and the version's first two numbers.
  std::string version = DURVANE_VERSION;
  version = version.substr(0, version.rfind('.'));
  window_ = ::CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES, kClassName,
                              Wide("DURVANE v" + version).c_str(),
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_, this);
  if (!window_) throw std::runtime_error("Windows could not make the window.");
  watch_.emplace(window_, kFolderChanged);
  MakeControls();
  ApplyDpi(DpiOf(window_));
  const ClientSize smallest = MinimumClientSize(dpi_);
  RECT frame{0, 0, smallest.width, smallest.height};
  ::AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_CONTROLPARENT);
  ::SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER);

  std::error_code error;
  const std::string start = PathBytesOf(std::filesystem::current_path(error).wstring());
  drives_ = platform::Drives();
  ShowFolder(top_, start);
  ShowFolder(bottom_, start);
  // The start state is the state after choosing Create New.
  ::SendMessageW(Item(Control::kOpCreate), BM_SETCHECK, BST_CHECKED, 0);
  logic_.ChooseMode(window::Mode::kCreateNew);
  ::ShowWindow(window_, show);
  ::SetFocus(Item(Control::kOptFile));
}

DurvaneWindow::~DurvaneWindow() {
  watch_.reset();
  logic_.Cancel();
  if (run_thread_.joinable()) run_thread_.join();
  if (window_) ::DestroyWindow(window_);
  if (font_) ::DeleteObject(font_);
  if (bold_font_) ::DeleteObject(bold_font_);
}

void DurvaneWindow::MakeControls() {
  struct Made {
    Control control;
    const wchar_t* window_class;
    const wchar_t* text;
    DWORD style;
  };
  constexpr DWORD kList = WS_VSCROLL | WS_BORDER | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
  // Made in tab order (a window's controls take the focus in the order they were made):
  // optfile, optdirectory, optdrive, prjdirectory, prjdrive, prjwriter, opcreate, opmerge,
  // prjfile1, cancel. Captions, the status line and the links take no focus.
  const Made made[] = {
      {Control::kOptFile, WC_LISTBOXW, L"", kList | WS_TABSTOP | LBS_EXTENDEDSEL | LBS_SORT},
      {Control::kOptDirectory, WC_LISTBOXW, L"", kList | WS_TABSTOP},
      {Control::kOptDrive, WC_COMBOBOXW, L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST},
      {Control::kLabel2, WC_STATICW, L"", SS_LEFT},
      {Control::kPrjDirectory, WC_LISTBOXW, L"", kList | WS_TABSTOP},
      {Control::kPrjDrive, WC_COMBOBOXW, L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST},
      {Control::kLabel1, WC_STATICW, L"", SS_LEFT},
      {Control::kPrjWriter, WC_BUTTONW, L"&Write to *.prj", WS_TABSTOP | BS_DEFPUSHBUTTON},
      {Control::kOpCreate, WC_BUTTONW, L"&Create New", WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON},
      {Control::kOpMerge, WC_BUTTONW, L"&Merge PRJ", BS_AUTORADIOBUTTON},
      {Control::kPrjFile1, WC_LISTBOXW, L"", kList | WS_TABSTOP | WS_GROUP | LBS_SORT},
      {Control::kCancel, WC_BUTTONW, L"Cancel", WS_TABSTOP | BS_PUSHBUTTON},
      {Control::kStatus, WC_STATICW, L"",
       SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS | SS_NOPREFIX | SS_CENTERIMAGE | SS_NOTIFY},
      {Control::kProgress, PROGRESS_CLASSW, L"", 0},
      {Control::kOpenFolder, WC_LINK, L"<a>Open folder</a>", 0},
      {Control::kUndo, WC_LINK, L"<a>Undo</a>", 0},
  };
  for (const Made& m : made) {
    const bool hidden = m.control == Control::kCancel || m.control == Control::kProgress ||
                        m.control == Control::kOpenFolder || m.control == Control::kUndo;
    controls_[static_cast<int>(m.control)] = ::CreateWindowExW(
        0, m.window_class, m.text, WS_CHILD | (hidden ? 0 : WS_VISIBLE) | m.style, 0, 0, 0, 0,
        window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdOf(m.control))), instance_,
        nullptr);
  }
  // Tooltips: the status line's whole text, the folder lists' full paths, what Undo does.
  tooltips_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_,
                                nullptr, instance_, nullptr);
  ::SendMessageW(tooltips_, TTM_SETMAXTIPWIDTH, 0, 600);
  for (Control control :
       {Control::kStatus, Control::kPrjDirectory, Control::kOptDirectory, Control::kUndo}) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(Item(control));
    tool.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  SetTooltip(Control::kUndo, L"Put the first file back as it was before the merge");
  preview_.emplace(instance_, window_, IdOf(Control::kPreview));
  controls_[static_cast<int>(Control::kPreview)] = preview_->handle();
}

void DurvaneWindow::ApplyDpi(int dpi) {
  dpi_ = dpi;
  for (HFONT font : {font_, bold_font_}) {
    if (font) ::DeleteObject(font);
  }
  // 8.25 points, as the design's "MS Sans Serif"; Segoe UI is the face Windows has.
  const int height = -::MulDiv(825, dpi_, 7200);
  font_ = ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH,
                        L"Segoe UI");
  bold_font_ = ::CreateFontW(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                             DEFAULT_PITCH, L"Segoe UI");
  for (HWND control : controls_) {
    const bool bold = control == Item(Control::kPrjWriter);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(bold ? bold_font_ : font_), TRUE);
  }
  PlaceControls();
}

void DurvaneWindow::PlaceControls() {
  RECT client{};
  ::GetClientRect(window_, &client);
  const auto places = LayOut(dpi_, {client.right, client.bottom});
  HDWP moves = ::BeginDeferWindowPos(kControlCount);
  for (int i = 0; i < kControlCount && moves; ++i) {
    const PixelRect& p = places[static_cast<std::size_t>(i)];
    // A drop-down list's height includes its opened list.
    const bool drive =
        i == static_cast<int>(Control::kPrjDrive) || i == static_cast<int>(Control::kOptDrive);
    moves =
        ::DeferWindowPos(moves, controls_[static_cast<std::size_t>(i)], nullptr, p.left, p.top,
                         p.width, drive ? p.height * 8 : p.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (moves) ::EndDeferWindowPos(moves);
}

LRESULT DurvaneWindow::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_SIZE:
      PlaceControls();
      return 0;
    case WM_GETMINMAXINFO: {
      const ClientSize smallest = MinimumClientSize(dpi_);
      RECT frame{0, 0, smallest.width, smallest.height};
      ::AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_CONTROLPARENT);
      auto* limits = reinterpret_cast<MINMAXINFO*>(l);
      limits->ptMinTrackSize = {frame.right - frame.left, frame.bottom - frame.top};
      return 0;
    }
    case WM_DPICHANGED: {
      // Windows suggests the window's place at the new DPI.
      const auto* suggested = reinterpret_cast<const RECT*>(l);
      dpi_ = HIWORD(w);
      ::SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      ApplyDpi(HIWORD(w));
      return 0;
    }
    case WM_COMMAND:
      OnCommand(LOWORD(w), HIWORD(w));
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(l);
      if (header->code != NM_CLICK && header->code != NM_RETURN) break;
      if (header->hwndFrom == Item(Control::kOpenFolder)) {
        const auto result = reinterpret_cast<INT_PTR>(::ShellExecuteW(
            window_, L"open", WidePath(open_folder_).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        if (result <= 32) {
          ShowError("The folder " + open_folder_ + " could not be opened.",
                    "Windows has no program set up to open folders.");
        }
      } else if (header->hwndFrom == Item(Control::kUndo)) {
        StartRun(logic_.PressUndo(WaitingReporter()));
      }
      return 0;
    }
    case WM_SETCURSOR:
      if (logic_.Running()) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case kRunProgress:
      ::SendMessageW(Item(Control::kProgress), PBM_SETPOS, w, 0);
      return 0;
    case kRunWaiting: {
      std::lock_guard lock(run_mutex_);
      ::SetWindowTextW(Item(Control::kProgress), Wide(waiting_message_).c_str());
      return 0;
    }
    case kRunEnded:
      OnRunEnded();
      return 0;
    case kFolderChanged:
      ::SetTimer(window_, kRefreshTimer, kRefreshDelayMs, nullptr);
      return 0;
    case WM_TIMER:
      if (w != kRefreshTimer) break;
      ::KillTimer(window_, kRefreshTimer);
      // A run lists the folders again when it ends.
      if (!logic_.Running()) RefreshFolders();
      return 0;
    case WM_DROPFILES:
      OnDrop(reinterpret_cast<HDROP>(w));
      return 0;
    case WM_CLOSE:
      // A run of several files stops after its current file; the window then closes.
      watch_.reset();
      logic_.Cancel();
      if (run_thread_.joinable()) run_thread_.join();
      ::DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      window_ = nullptr;
      ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window_, message, w, l);
}

bool DurvaneWindow::PreTranslate(MSG& message) {
  if (!window_) return false;
  if (message.message == WM_KEYDOWN && message.wParam == VK_F5) {
    if (!logic_.Running()) RefreshLists();
    return true;
  }
  // Tab, the arrow keys between the mode buttons, Alt with an underlined letter, Enter
  // (IDOK) and Escape (IDCANCEL).
  return ::IsDialogMessageW(window_, &message) != FALSE;
}

void DurvaneWindow::OnCommand(int id, int code) {
  if (id == IDOK) return OnEnter();
  if (id == IDCANCEL) {
    // Escape stops a run of several files between two files, as Cancel does.
    if (logic_.Running() && cancel_shown_) OnCommand(IdOf(Control::kCancel), BN_CLICKED);
    return;
  }
  const auto control = static_cast<Control>(id - kFirstId);
  switch (control) {
    case Control::kPrjWriter:
      if (code == BN_CLICKED) Press();
      break;
    case Control::kCancel:
      if (code == BN_CLICKED && logic_.Running()) {
        logic_.Cancel();
        ::EnableWindow(Item(Control::kCancel), FALSE);
      }
      break;
    case Control::kOpCreate:
    case Control::kOpMerge:
      if (code == BN_CLICKED) {
        ChooseMode(control == Control::kOpCreate ? window::Mode::kCreateNew
                                                 : window::Mode::kMergePrj);
      }
      break;
    case Control::kPrjFile1:
    case Control::kOptFile:
      if (code == LBN_SELCHANGE) Preview(control == Control::kPrjFile1 ? top_ : bottom_);
      break;
    case Control::kPrjDirectory:
    case Control::kOptDirectory:
      if (code == LBN_DBLCLK) EnterFolder(control == Control::kPrjDirectory ? top_ : bottom_);
      break;
    case Control::kPrjDrive:
    case Control::kOptDrive:
      if (code == CBN_SELCHANGE) {
        Group& group = control == Control::kPrjDrive ? top_ : bottom_;
        const auto index =
            static_cast<std::size_t>(::SendMessageW(Item(group.drive), CB_GETCURSEL, 0, 0));
        if (index >= drives_.size()) break;
        const std::string root = drives_[index].root;
        if (ShowFolder(group, root)) break;
        // An unreadable drive: the lists stay where they were, the drive list included.
        ShowDrives(group, group.folder);
        SetTooltip(group.folders, WidePath(group.folder));
        ShowError("The drive " + root + " cannot be read.", "The lists stay as they were.");
      }
      break;
    default:
      break;
  }
}

void DurvaneWindow::OnEnter() {
  // Enter acts on the focused control: presses a button, chooses a mode, enters a folder.
  const HWND focus = ::GetFocus();
  if (focus == Item(Control::kPrjWriter)) {
    Press();
  } else if (focus == Item(Control::kCancel)) {
    OnCommand(IdOf(Control::kCancel), BN_CLICKED);
  } else if (focus == Item(Control::kOpCreate) || focus == Item(Control::kOpMerge)) {
    ::SendMessageW(focus, BM_CLICK, 0, 0);
  } else if (focus == Item(Control::kPrjDirectory) || focus == Item(Control::kOptDirectory)) {
    EnterFolder(focus == Item(Control::kPrjDirectory) ? top_ : bottom_);
  }
}

void DurvaneWindow::ChooseMode(window::Mode mode) {
  if (mode == logic_.CurrentMode()) return;
  logic_.ChooseMode(mode);
}

void DurvaneWindow::Press() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  StartRun(logic_.Press(std::chrono::duration_cast<std::chrono::milliseconds>(now).count(),
                        ::GetDoubleClickTime(), CurrentSelection(), WaitingReporter()));
}

window::SayWaiting DurvaneWindow::WaitingReporter() {
  // The progress bar is what a run shows; it says why the run does not advance.
  return [this, window = window_](const std::string& message) {
    {
      std::lock_guard lock(run_mutex_);
      waiting_message_ = message;
    }
    ::PostMessageW(window, kRunWaiting, 0, 0);
  };
}

void DurvaneWindow::StartRun(std::optional<window::RunPlan> plan) {
  if (!plan) return;
  // A run before this one has posted its end, so its thread is done or about to be.
  if (run_thread_.joinable()) run_thread_.join();
  const HWND window = window_;
  run_thread_ = std::jthread([this, window, run = std::move(plan->run), stop = logic_.StopToken()] {
    platform::LowerThreadPriority();
    const window::ReportProgress report = [window](int done) {
      ::PostMessageW(window, kRunProgress, static_cast<WPARAM>(done), 0);
    };
    window::RunOutcome outcome = run(stop, report);
    {
      std::lock_guard lock(run_mutex_);
      run_outcome_ = std::move(outcome);
    }
    ::PostMessageW(window, kRunEnded, 0, 0);
  });
}

void DurvaneWindow::OnRunEnded() {
  if (run_thread_.joinable()) run_thread_.join();
  std::optional<window::RunOutcome> outcome;
  {
    std::lock_guard lock(run_mutex_);
    outcome.swap(run_outcome_);
  }
  if (outcome) logic_.Finish(*outcome);
}

window::Selection DurvaneWindow::CurrentSelection() const {
  return {.top_folder = top_.folder,
          .top_names = SelectedNames(top_),
          .bottom_folder = bottom_.folder,
          .bottom_names = SelectedNames(bottom_)};
}

std::vector<std::string> DurvaneWindow::SelectedNames(const Group& group) const {
  const HWND list = Item(group.files);
  std::vector<std::string> names;
  const auto count = static_cast<int>(::SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    if (::SendMessageW(list, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0) {
      names.push_back(PathBytesOf(ListItem(list, i)));
    }
  }
  return names;
}

bool DurvaneWindow::ShowFolder(Group& group, const std::string& folder) {
  std::error_code error;
  auto opened = platform::Folder::Open(platform::PathFromBytes(folder), error);
  if (error) return false;
  const std::vector<std::filesystem::path> names = opened.Names(error);
  std::vector<std::wstring> folders;
  for (const std::filesystem::path& name : names) {
    std::error_code status_error;
    const auto status = platform::PathStatus(opened.path() / name, true, status_error);
    if (!status_error && status.kind == platform::FileKind::kDirectory) {
      folders.push_back(name.wstring());
    }
  }
  std::sort(folders.begin(), folders.end(), LessIgnoringCase);
  group.folder = PathBytesOf(std::filesystem::path(WidePath(folder)).wstring());
  if (watch_) watch_->Watch(group.watch_slot, WidePath(group.folder));
  const HWND list = Item(group.folders);
  ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  const std::filesystem::path path = WidePath(group.folder);
  if (path.has_relative_path()) {
    ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kParentEntry));
  }
  for (const std::wstring& name : folders) {
    ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }
  ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  ShowDrives(group, group.folder);
  ::SendMessageW(list, LB_SETCURSEL, 0, 0);
  ListFiles(group);
  ForgetStalePreview();
  return true;
}

void DurvaneWindow::ShowDrives(const Group& group, const std::string& folder) {
  const std::wstring root = std::filesystem::path(WidePath(folder)).root_path().wstring();
  const HWND list = Item(group.drive);
  ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
  int shown = -1;
  for (std::size_t i = 0; i < drives_.size(); ++i) {
    const std::wstring drive = WidePath(drives_[i].root);
    // "C:  label"
    std::wstring text = drive.substr(0, drive.find_last_not_of(L'\\') + 1);
    if (!drives_[i].label.empty()) text += L"  " + Wide(drives_[i].label);
    ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (::CompareStringOrdinal(drive.data(), static_cast<int>(drive.size()), root.data(),
                               static_cast<int>(root.size()), TRUE) == CSTR_EQUAL) {
      shown = static_cast<int>(i);
    }
  }
  // A folder on no drive letter (a network share) shows its share, which is not chosen again.
  if (shown < 0) {
    ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(root.c_str()));
    shown = static_cast<int>(drives_.size());
  }
  ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(shown), 0);
}

void DurvaneWindow::EnterFolder(Group& group) {
  const HWND list = Item(group.folders);
  const auto index = static_cast<int>(::SendMessageW(list, LB_GETCURSEL, 0, 0));
  if (index < 0) return;
  const std::wstring entry = ListItem(list, index);
  const std::filesystem::path here = WidePath(group.folder);
  const std::filesystem::path next =
      entry == kParentEntry ? here.parent_path() : here / std::filesystem::path(entry);
  const std::string folder = PathBytesOf(next.wstring());
  if (!ShowFolder(group, folder)) {
    ShowError("The folder " + folder + " cannot be opened.", "The lists stay as they were.");
  }
}

void DurvaneWindow::ListFiles(Group& group, const std::vector<std::string>* select) {
  const HWND list = Item(group.files);
  // The selection is kept across a new listing of the same folder.
  const std::vector<std::string> selected = select ? *select : SelectedNames(group);
  std::error_code error;
  const std::vector<std::string> names =
      platform::ListedFiles(platform::PathFromBytes(group.folder), error);
  ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& name : names) {
    const std::wstring wide = WidePath(name);
    if (!HasExtension(wide, group.pattern)) continue;
    const auto index = static_cast<int>(
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str())));
    if (std::find(selected.begin(), selected.end(), name) != selected.end()) {
      ::SendMessageW(list, group.files == Control::kPrjFile1 ? LB_SETCURSEL : LB_SETSEL,
                     group.files == Control::kPrjFile1 ? static_cast<WPARAM>(index) : TRUE,
                     group.files == Control::kPrjFile1 ? 0 : index);
    }
  }
  ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list, nullptr, TRUE);
}

void DurvaneWindow::RefreshLists() {
  drives_ = platform::Drives();
  RefreshFolders();
}

void DurvaneWindow::RefreshFolders() {
  for (Group* group : {&top_, &bottom_}) {
    std::filesystem::path folder = WidePath(group->folder);
    while (!ShowFolder(*group, PathBytesOf(folder.wstring())) && folder.has_relative_path()) {
      folder = folder.parent_path();
    }
  }
}

void DurvaneWindow::Open(const std::string& file) {
  const window::FileRoute route = window::RouteOpened(file);
  std::error_code error;
  if (route.refusal.empty() &&
      platform::PathStatus(platform::PathFromBytes(file), true, error).kind !=
          platform::FileKind::kRegular) {
    return ShowError("The file " + file + " does not exist.", {});
  }
  SelectRoute(route);
}

void DurvaneWindow::OnDrop(HDROP drop) {
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  std::vector<std::string> files;
  for (UINT i = 0; i < count; ++i) {
    std::wstring name(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    name.resize(::DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
    files.push_back(PathBytesOf(name));
  }
  POINT at{};
  ::DragQueryPoint(drop, &at);
  ::DragFinish(drop);
  // A drop during a run, or of other files, is ignored, as a refused drag would be.
  if (!logic_.TakesDrop(files)) return;
  // The top group reaches down to the bottom group's caption.
  RECT caption{};
  ::GetWindowRect(Item(Control::kLabel2), &caption);
  ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&caption), 2);
  SelectRoute(window::RouteDropped(files, at.y < caption.top));
}

void DurvaneWindow::SelectRoute(const window::FileRoute& route) {
  if (!route.refusal.empty()) return ShowError(route.refusal, {});
  if (route.files.empty()) return;
  std::error_code error;
  const auto absolute = [&error](const std::string& file) {
    return std::filesystem::absolute(platform::PathFromBytes(file), error);
  };
  const bool opt = route.mode == window::Mode::kCreateNew;
  ::SendMessageW(Item(Control::kOpCreate), BM_SETCHECK, opt ? BST_CHECKED : BST_UNCHECKED, 0);
  ::SendMessageW(Item(Control::kOpMerge), BM_SETCHECK, opt ? BST_UNCHECKED : BST_CHECKED, 0);
  ChooseMode(route.mode);
  Group& group = route.top ? top_ : bottom_;
  const std::filesystem::path folder = absolute(route.files.front()).parent_path();
  if (!ShowFolder(group, PathBytesOf(folder.wstring()))) {
    return ShowError("The folder " + PathBytesOf(folder.wstring()) + " cannot be opened.", {});
  }
  const HWND list = Item(group.files);
  // The files handed over replace what was selected.
  if (!route.top) ::SendMessageW(list, LB_SETSEL, FALSE, -1);
  std::vector<std::string> left_out;
  for (const std::string& file : route.files) {
    const std::filesystem::path path = absolute(file);
    const LRESULT index = path.parent_path() == folder
                              ? ::SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                               reinterpret_cast<LPARAM>(path.filename().c_str()))
                              : LB_ERR;
    if (index == LB_ERR) {
      left_out.push_back(file);
    } else if (route.top) {
      ::SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    } else {
      ::SendMessageW(list, LB_SETSEL, TRUE, index);
      ::SendMessageW(list, LB_SETCARETINDEX, static_cast<WPARAM>(index), FALSE);
    }
  }
  Preview(group);
  ::SetFocus(list);
  const std::string problem = window::LeftOutMessage(route.files, left_out);
  if (!problem.empty()) return ShowError(problem, {});
  if (!route.after.empty()) ShowError(route.after, {});
}

void DurvaneWindow::ShowMode(window::Mode mode, const window::ModeTexts& texts) {
  ::ShowWindow(Item(Control::kPrjFile1), texts.top_files_shown ? SW_SHOW : SW_HIDE);
  ::SetWindowTextW(Item(Control::kLabel1), Wide(texts.top_caption).c_str());
  ::SetWindowTextW(Item(Control::kLabel2), Wide(texts.bottom_caption).c_str());
  // The pattern is "*.ext": the list keeps the files with that extension.
  bottom_.pattern = Wide(texts.bottom_pattern).substr(1);
  if (bottom_.folder.empty()) return;
  // The bottom file list shows each mode's files with the selection they had in it.
  bottom_selections_[static_cast<std::size_t>(shown_mode_)] = SelectedNames(bottom_);
  shown_mode_ = mode;
  ListFiles(bottom_, &bottom_selections_[static_cast<std::size_t>(mode)]);
  // The other mode's file is not drawn on: the pane shows the new mode's selection, if any.
  preview_->Show({});
  Preview(bottom_);
}

void DurvaneWindow::ShowRunStarted(const window::RunShown& run) {
  run_shown_ = run;
  cancel_shown_ = run.cancel_shown;
  // The window stays painted but takes no input: every control is disabled, so clicks and
  // keys given meanwhile are dropped, not queued for later. Only Cancel takes a click.
  focus_before_run_ = ::GetFocus();
  // The preview pane stays live: it draws and turns on a thread of its own.
  for (int i = 0; i < kControlCount; ++i) {
    const auto control = static_cast<Control>(i);
    if (control != Control::kCancel && control != Control::kPreview) {
      ::EnableWindow(controls_[static_cast<std::size_t>(i)], FALSE);
    }
  }
  for (Control hidden : {Control::kStatus, Control::kOpenFolder, Control::kUndo}) {
    ::ShowWindow(Item(hidden), SW_HIDE);
  }
  const HWND bar = Item(Control::kProgress);
  // A run that cannot count its work shows the busy bar.
  const LONG_PTR style = ::GetWindowLongPtrW(bar, GWL_STYLE);
  ::SetWindowLongPtrW(bar, GWL_STYLE, run.units > 0 ? style & ~PBS_MARQUEE : style | PBS_MARQUEE);
  ::SendMessageW(bar, PBM_SETMARQUEE, run.units > 0 ? FALSE : TRUE, 0);
  ::SendMessageW(bar, PBM_SETRANGE32, 0, run.units);
  ::SendMessageW(bar, PBM_SETPOS, 0, 0);
  ::ShowWindow(bar, SW_SHOW);
  ::EnableWindow(bar, TRUE);
  const HWND cancel = Item(Control::kCancel);
  ::EnableWindow(cancel, TRUE);
  ::ShowWindow(cancel, run.cancel_shown ? SW_SHOW : SW_HIDE);
  // Enter or Space then stops the run, as Escape does.
  ::SetFocus(run.cancel_shown ? cancel : window_);
  ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
}

void DurvaneWindow::ShowRunEnded() {
  ::ShowWindow(Item(Control::kProgress), SW_HIDE);
  ::ShowWindow(Item(Control::kCancel), SW_HIDE);
  cancel_shown_ = false;
  // Input given at the very end of the run is still queued: drop it before the controls
  // take input again.
  MSG dropped;
  while (::PeekMessageW(&dropped, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
  }
  while (::PeekMessageW(&dropped, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
  }
  for (HWND control : controls_) ::EnableWindow(control, TRUE);
  if (focus_before_run_) ::SetFocus(focus_before_run_);
  RefreshLists();
  ::ShowWindow(Item(Control::kStatus), SW_SHOW);
  POINT cursor{};
  ::GetCursorPos(&cursor);
  ::SetCursorPos(cursor.x, cursor.y);  // the arrow comes back without waiting for a move
}

void DurvaneWindow::ShowStatus(const window::StatusShown& status) {
  ::SetWindowTextW(Item(Control::kStatus), Wide(status.text).c_str());
  SetTooltip(Control::kStatus, Wide(status.tooltip));
  open_folder_ = status.open_folder;
  const bool running = logic_.Running();
  ::ShowWindow(Item(Control::kOpenFolder), !running && !open_folder_.empty() ? SW_SHOW : SW_HIDE);
  ::ShowWindow(Item(Control::kUndo), !running && status.undo_offered ? SW_SHOW : SW_HIDE);
}

void DurvaneWindow::SetTooltip(Control control, const std::wstring& text) {
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(Item(control));
  tool.lpszText = const_cast<wchar_t*>(text.c_str());  // copied by the tooltip control
  ::SendMessageW(tooltips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void DurvaneWindow::ShowPreview(const std::string& file) {
  preview_->Show(file);
}

void DurvaneWindow::Preview(const Group& group) {
  const HWND list = Item(group.files);
  int index = -1;
  if (group.files == Control::kPrjFile1) {
    index = static_cast<int>(::SendMessageW(list, LB_GETCURSEL, 0, 0));
  } else {
    // The file last clicked, when it is selected.
    const auto caret = static_cast<int>(::SendMessageW(list, LB_GETCARETINDEX, 0, 0));
    if (caret >= 0 && ::SendMessageW(list, LB_GETSEL, static_cast<WPARAM>(caret), 0) > 0) {
      index = caret;
    }
  }
  if (index < 0) return ForgetStalePreview();
  preview_->Show(window::InFolder(group.folder, PathBytesOf(ListItem(list, index))));
}

void DurvaneWindow::ForgetStalePreview() {
  const std::string shown = preview_->File();
  if (shown.empty()) return;
  std::error_code error;
  const bool there = platform::PathStatus(platform::PathFromBytes(shown), true, error).kind ==
                     platform::FileKind::kRegular;
  if (there && window::StillSelected(logic_.CurrentMode(), CurrentSelection(), shown)) return;
  preview_->Show({});
  // Another file of the mode may still be selected.
  Preview(bottom_);
}

void DurvaneWindow::ShowError(const std::string& headline, const std::string& details) {
  ShowDialog(TD_ERROR_ICON, headline, {}, details);
}

void DurvaneWindow::ShowWarnings(const std::string& summary,
                                 const std::vector<std::string>& lines) {
  std::string joined;
  for (const std::string& line : lines) joined += (joined.empty() ? "" : "\n") + line;
  ShowDialog(TD_WARNING_ICON, summary, joined, {});
}

void DurvaneWindow::ShowDialog(PCWSTR icon, const std::string& instruction,
                               const std::string& content, const std::string& details) {
  ShowTaskDialog(window_, icon, instruction, content, details);
}

void DurvaneWindow::Beep() {
  ::MessageBeep(MB_OK);
}

}  // namespace durvane::win32
