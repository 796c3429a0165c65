#include "app/win32/preview_pane.h"

#include <algorithm>
#include <stdexcept>

#include "core/platform.h"
#include "usecases/model_files.h"

namespace durvane::win32 {
namespace {

constexpr wchar_t kClassName[] = L"DurvanePreview";
// Posted by the pane's thread when a drawing is ready.
constexpr UINT kDrawn = WM_APP + 1;
constexpr double kDegreesPerPixel = 0.5;

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
  yaw_ = 0;
  pitch_ = 0;
  if (picture_) ::DeleteObject(picture_);
  picture_ = nullptr;
  message_ = file.empty() ? std::string() : "Drawing " + file + " ...";
  ::InvalidateRect(pane_, nullptr, TRUE);
  if (file.empty()) {
    std::lock_guard lock(mutex_);
    ++generation_;
    request_.reset();
    return;
  }
  Ask(false);
}

void PreviewPane::Ask(bool reuse_model) {
  RECT client{};
  ::GetClientRect(pane_, &client);
  render::RenderOptions options;
  options.yaw = yaw_;
  options.pitch = pitch_;
  options.width = std::clamp(static_cast<int>(client.right), 1, render::kMaxImageSide);
  options.height = std::clamp(static_cast<int>(client.bottom), 1, render::kMaxImageSide);
  {
    std::lock_guard lock(mutex_);
    request_ = {++generation_, file_, reuse_model, options};
  }
  wake_.notify_one();
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
    } catch (const render::Cancelled&) {
      continue;
    } catch (const std::bad_alloc&) {
      drawn.error = "Out of memory.";
    } catch (const std::exception& error) {
      drawn.error = error.what();
    }
    {
      std::lock_guard lock(mutex_);
      drawn_ = std::move(drawn);
    }
    ::PostMessageW(pane, kDrawn, 0, 0);
  }
}

void PreviewPane::TakeDrawn() {
  std::optional<Drawn> drawn;
  std::uint64_t newest = 0;
  {
    std::lock_guard lock(mutex_);
    drawn.swap(drawn_);
    newest = generation_;
  }
  // A drawing superseded meanwhile is not shown: the newer one follows.
  if (!drawn || drawn->generation != newest) return;
  if (picture_) ::DeleteObject(picture_);
  picture_ = nullptr;
  message_ = drawn->error;
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
  ::InvalidateRect(pane_, nullptr, TRUE);
}

void PreviewPane::Paint() {
  PAINTSTRUCT paint;
  const HDC dc = ::BeginPaint(pane_, &paint);
  RECT client{};
  ::GetClientRect(pane_, &client);
  if (picture_) {
    const HDC memory = ::CreateCompatibleDC(dc);
    const HGDIOBJ old = ::SelectObject(memory, picture_);
    ::BitBlt(dc, 0, 0, picture_width_, picture_height_, memory, 0, 0, SRCCOPY);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
  } else if (!message_.empty()) {
    ::SetBkMode(dc, TRANSPARENT);
    const HGDIOBJ old = ::SelectObject(dc, font_ ? font_ : ::GetStockObject(DEFAULT_GUI_FONT));
    ::InflateRect(&client, -8, -8);
    std::wstring text = Wide(message_);
    ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &client,
                DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
    ::SelectObject(dc, old);
  }
  ::EndPaint(pane_, &paint);
}

LRESULT PreviewPane::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(w);
      if (LOWORD(l)) ::InvalidateRect(pane_, nullptr, TRUE);
      return 0;
    case kDrawn:
      TakeDrawn();
      return 0;
    case WM_SIZE:
      if (!file_.empty()) Ask(true);
      return 0;
    case WM_LBUTTONDOWN:
      drag_from_ = POINT{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
      ::SetCapture(pane_);
      return 0;
    case WM_MOUSEMOVE:
      if (drag_from_ && !file_.empty()) {
        const POINT to{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
        yaw_ -= (to.x - drag_from_->x) * kDegreesPerPixel;
        pitch_ += (to.y - drag_from_->y) * kDegreesPerPixel;
        drag_from_ = to;
        Ask(true);
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      drag_from_.reset();
      if (message == WM_LBUTTONUP) ::ReleaseCapture();
      return 0;
    case WM_LBUTTONDBLCLK:
      // Back to the first view.
      if (!file_.empty()) {
        yaw_ = 0;
        pitch_ = 0;
        Ask(true);
      }
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
