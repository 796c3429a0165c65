#include "app/win32/preview_pane.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "core/platform.h"
#include "usecases/model_files.h"

namespace durvane::win32 {
namespace {

constexpr wchar_t kClassName[] = L"DurvanePreview";
// Posted by the pane's thread when a drawing is ready or a reduced one ended.
constexpr UINT kDrawn = WM_APP + 1;
static_assert(kDrawn != ModelExportMenu::kExported);

POINT PointOf(LPARAM l) {
  return {static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
}

}  // namespace

PreviewPane::PreviewPane(HINSTANCE instance, HWND parent, int id) {
  WNDCLASSEXW pane_class{};
  pane_class.cbSize = sizeof(pane_class);
  pane_class.style = CS_DBLCLKS;
  pane_class.lpfnWndProc = &OwnedWindowProcedure<PreviewPane>;
  pane_class.hInstance = instance;
  pane_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  pane_class.hbrBackground = ::GetSysColorBrush(COLOR_WINDOW);
  pane_class.lpszClassName = kClassName;
  ::RegisterClassExW(&pane_class);
  pane_ =
      ::CreateWindowExW(WS_EX_CLIENTEDGE, kClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
  if (!pane_) throw std::runtime_error("Windows could not make the preview pane.");
  menu_.emplace(pane_);
  worker_ = std::jthread([this](std::stop_token stop) { Work(stop); });
}

PreviewPane::~PreviewPane() {
  {
    std::lock_guard lock(mutex_);
    ++generation_;  // a drawing going gives up
  }
  worker_.request_stop();
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
  if (picture_) ::DeleteObject(picture_);
}

void PreviewPane::Show(const std::string& file) {
  file_ = file;
  // A new file ends a drag and starts in the first view.
  view_.Release();
  view_.Reset();
  model_drawn_ = false;
  if (picture_) ::DeleteObject(picture_);
  picture_ = nullptr;
  note_.clear();
  message_ = file.empty() ? std::string() : "Drawing " + file + " ...";
  ::InvalidateRect(pane_, nullptr, TRUE);
  if (file.empty()) {
    std::lock_guard lock(mutex_);
    ++generation_;
    DropRequest();
    return;
  }
  Ask(false, false);
}

void PreviewPane::Ask(bool reuse_model, bool draft) {
  RECT client{};
  ::GetClientRect(pane_, &client);
  render::RenderOptions options;
  options.yaw = view_.Yaw();
  options.pitch = view_.Pitch();
  options.zoom = view_.Zoom();
  options.width = window::PreviewView::DrawingSide(client.right, draft);
  options.height = window::PreviewView::DrawingSide(client.bottom, draft);
  {
    std::lock_guard lock(mutex_);
    DropRequest();
    request_ = {++generation_, file_, reuse_model, draft, options};
  }
  wake_.notify_one();
}

void PreviewPane::DropRequest() {
  if (request_ && request_->draft) {
    ++drafts_ended_;
    ::PostMessageW(pane_, kDrawn, 0, 0);
  }
  request_.reset();
}

void PreviewPane::Work(std::stop_token stop) {
  // Drawing yields to the window's thread.
  platform::LowerThreadPriority();
  const HWND pane = pane_;
  while (true) {
    Request request;
    {
      std::unique_lock lock(mutex_);
      if (!wake_.wait(lock, stop, [this] { return request_.has_value(); })) return;
      request = std::move(*request_);
      request_.reset();
    }
    request.options.cancelled = [this, generation = request.generation] {
      std::lock_guard lock(mutex_);
      return generation != generation_;
    };
    Drawn drawn;
    drawn.generation = request.generation;
    drawn.draft = request.draft;
    bool cancelled = false;
    try {
      if (!request.reuse_model || !model_ || model_file_ != request.file) {
        model_.reset();  // its memory is free for the next one
        model_ = std::make_shared<const render::Model>(
            render::LoadModelFile(platform::PathFromBytes(request.file)));
        model_file_ = request.file;
      }
      const render::Rendering rendering = render::Render(*model_, request.options);
      const render::Image& image = rendering.image;
      drawn.width = image.width;
      drawn.height = image.height;
      drawn.bgra.resize(image.rgba.size());
      // Where no polygon is drawn the pane's own colour shows.
      const DWORD background = ::GetSysColor(COLOR_WINDOW);
      for (std::size_t i = 0; i + 3 < image.rgba.size(); i += 4) {
        const bool empty = image.rgba[i + 3] == 0;
        drawn.bgra[i] = empty ? GetBValue(background) : image.rgba[i + 2];
        drawn.bgra[i + 1] = empty ? GetGValue(background) : image.rgba[i + 1];
        drawn.bgra[i + 2] = empty ? GetRValue(background) : image.rgba[i];
        drawn.bgra[i + 3] = 255;
      }
      drawn.warnings = rendering.warnings;
    } catch (const render::Cancelled&) {
      cancelled = true;
    } catch (const std::bad_alloc&) {
      drawn.error = "Out of memory.";
    } catch (const std::exception& error) {
      drawn.error = error.what();
    }
    // A reduced drawing's end is told even when it was given up: the next may follow.
    if (cancelled && !request.draft) continue;
    {
      std::lock_guard lock(mutex_);
      if (request.draft) ++drafts_ended_;
      if (!cancelled) drawn_ = std::move(drawn);
    }
    ::PostMessageW(pane, kDrawn, 0, 0);
  }
}

void PreviewPane::TakeDrawn() {
  std::optional<Drawn> drawn;
  std::uint64_t newest = 0;
  int drafts_ended = 0;
  {
    std::lock_guard lock(mutex_);
    drawn.swap(drawn_);
    newest = generation_;
    std::swap(drafts_ended, drafts_ended_);
  }
  // The mouse moved while a reduced picture was drawn: the next follows it.
  for (int i = 0; i < drafts_ended; ++i) {
    if (view_.DraftFinished()) Ask(true, true);
  }
  // A drawing superseded meanwhile is not shown: the newer one follows.
  if (!drawn || drawn->generation != newest) return;
  if (picture_) ::DeleteObject(picture_);
  picture_ = nullptr;
  picture_draft_ = drawn->draft;
  model_drawn_ = drawn->error.empty();
  note_ = window::PreviewView::Note(drawn->warnings);
  message_ = drawn->error.empty() ? std::string() : file_ + " cannot be drawn:\n" + drawn->error;
  if (drawn->error.empty()) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = drawn->width;
    info.bmiHeader.biHeight = -drawn->height;  // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    picture_ = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (picture_ && bits) {
      std::copy(drawn->bgra.begin(), drawn->bgra.end(), static_cast<std::uint8_t*>(bits));
      picture_width_ = drawn->width;
      picture_height_ = drawn->height;
    } else {
      message_ = "Windows has no memory for the picture.";
    }
  }
  // A picture covers the pane: no need to erase it first, which would flicker while dragging.
  ::InvalidateRect(pane_, nullptr, picture_ ? FALSE : TRUE);
}

void PreviewPane::Paint() {
  PAINTSTRUCT paint;
  const HDC dc = ::BeginPaint(pane_, &paint);
  RECT client{};
  ::GetClientRect(pane_, &client);
  const HBRUSH background = ::GetSysColorBrush(COLOR_WINDOW);
  const HGDIOBJ old_font = ::SelectObject(dc, font_ ? font_ : ::GetStockObject(DEFAULT_GUI_FONT));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
  RECT inside = client;
  ::InflateRect(&inside, -4, -4);
  if (picture_) {
    const HDC memory = ::CreateCompatibleDC(dc);
    const HGDIOBJ old = ::SelectObject(memory, picture_);
    if (picture_draft_) {
      // A reduced picture, drawn while dragging, is stretched over the pane.
      ::SetStretchBltMode(dc, HALFTONE);
      ::SetBrushOrgEx(dc, 0, 0, nullptr);
      ::StretchBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, picture_width_,
                   picture_height_, SRCCOPY);
    } else {
      ::BitBlt(dc, 0, 0, picture_width_, picture_height_, memory, 0, 0, SRCCOPY);
      // Beside a picture drawn for a smaller pane, until the next one comes.
      const RECT right{picture_width_, 0, client.right, client.bottom};
      const RECT below{0, picture_height_, picture_width_, client.bottom};
      ::FillRect(dc, &right, background);
      ::FillRect(dc, &below, background);
    }
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    if (!note_.empty()) {
      // Why some polygons are flat, at the foot of the picture.
      std::wstring note = Wide(note_);
      RECT box = inside;
      ::DrawTextW(dc, note.data(), static_cast<int>(note.size()), &box,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
      ::OffsetRect(&box, 0, inside.bottom - box.bottom);
      RECT under = box;
      ::InflateRect(&under, 2, 2);
      ::FillRect(dc, &under, background);
      ::DrawTextW(dc, note.data(), static_cast<int>(note.size()), &box,
                  DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    }
  } else if (!message_.empty()) {
    std::wstring text = Wide(message_);
    ::InflateRect(&inside, -4, -4);
    ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &inside,
                DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
  }
  ::SelectObject(dc, old_font);
  if (::GetFocus() == pane_) ::DrawFocusRect(dc, &client);
  ::EndPaint(pane_, &paint);
}

void PreviewPane::OnContextMenu(LPARAM at) {
  POINT point = PointOf(at);
  if (at == -1) {
    // From the keyboard: at the pane's top left corner.
    point = {8, 8};
    ::ClientToScreen(pane_, &point);
  }
  menu_->Open(point, file_);
}

LRESULT PreviewPane::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      // Paint fills what no picture covers.
      if (picture_) return 1;
      break;
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(w);
      if (LOWORD(l)) ::InvalidateRect(pane_, nullptr, TRUE);
      return 0;
    case kDrawn:
      TakeDrawn();
      return 0;
    case ModelExportMenu::kExported:
      menu_->Finish();
      return 0;
    case WM_SIZE:
      if (!file_.empty()) Ask(true, false);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      ::InvalidateRect(pane_, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      // The wheel and the menu key go to the window with the focus.
      ::SetFocus(pane_);
      if (message == WM_RBUTTONDOWN) break;
      view_.Press(PointOf(l).x, PointOf(l).y);
      ::SetCapture(pane_);
      return 0;
    case WM_MOUSEMOVE:
      if ((w & MK_LBUTTON) && ::GetCapture() == pane_ && model_drawn_) {
        // A reduced picture follows the mouse; the next starts once the last is shown.
        if (view_.DragTo(PointOf(l).x, PointOf(l).y)) Ask(true, true);
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      // Releasing the capture sends WM_CAPTURECHANGED: the full picture is asked once.
      if (message == WM_LBUTTONUP) ::ReleaseCapture();
      if (view_.Release()) Ask(true, false);
      return 0;
    case WM_LBUTTONDBLCLK:
      // Back to the first view.
      view_.Reset();
      if (!file_.empty()) Ask(true, false);
      return 0;
    case WM_MOUSEWHEEL:
      if (model_drawn_ && view_.Wheel(GET_WHEEL_DELTA_WPARAM(w) / double{WHEEL_DELTA})) {
        Ask(true, false);
        return 0;
      }
      break;
    case WM_CONTEXTMENU:
      OnContextMenu(l);
      return 0;
    case WM_DESTROY:
      pane_ = nullptr;
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(pane_, message, w, l);
}

}  // namespace durvane::win32
