// The control's window: the frame timer, the picture it shows and the messages it receives; and
// drawing into a host's device context.
#include <algorithm>

#include "player_control/call_log.h"
#include "player_control/control_object.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace vorlo::control {
namespace {

constexpr wchar_t kWindowClass[] = L"VorloMovieControl";
constexpr UINT_PTR kFrameTimer = 1;

BITMAPINFO topDownInfo(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// The input messages the call log names.
const char* inputName(UINT msg) {
  switch (msg) {
    case WM_LBUTTONDOWN: return "WM_LBUTTONDOWN";
    case WM_LBUTTONDBLCLK: return "WM_LBUTTONDBLCLK";
    case WM_LBUTTONUP: return "WM_LBUTTONUP";
    case WM_RBUTTONDOWN: return "WM_RBUTTONDOWN";
    case WM_RBUTTONUP: return "WM_RBUTTONUP";
    case WM_KEYDOWN: return "WM_KEYDOWN";
    case WM_KEYUP: return "WM_KEYUP";
    case WM_CHAR: return "WM_CHAR";
    default: return nullptr;
  }
}

}  // namespace

struct ControlWindow {
  static LRESULT CALLBACK procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT handle(PlayerControl& c, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static bool registerClass();
};

bool ControlWindow::registerClass() {
  static bool done = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &ControlWindow::procedure;
    wc.hInstance = reinterpret_cast<HINSTANCE>(&__ImageBase);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return done;
}

LRESULT CALLBACK ControlWindow::procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  try {
    if (msg == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* c = reinterpret_cast<PlayerControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!c) return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      return DefWindowProcW(hwnd, msg, wp, lp);
    }
    return handle(*c, hwnd, msg, wp, lp);
  } catch (...) {
    // The host's message loop must never see our exceptions.
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

LRESULT ControlWindow::handle(PlayerControl& c, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (const char* name = inputName(msg); name && callLogEnabled()) {
    char line[96];
    if (msg == WM_KEYDOWN || msg == WM_KEYUP || msg == WM_CHAR) {
      std::snprintf(line, sizeof line, "input %s %u", name, unsigned(wp));
    } else {
      std::snprintf(line, sizeof line, "input %s %d,%d", name, int(short(LOWORD(lp))), int(short(HIWORD(lp))));
    }
    logCall(line);
  }
  switch (msg) {
    case WM_TIMER:
      if (wp == kFrameTimer) c.onTimer();
      return 0;
    case WM_SIZE:
      c.resizeBuffer(LOWORD(lp), HIWORD(lp));
      c.renderToWindow(true);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case MM_WOM_DONE:
      c.sound_.done(c.model_.player(), wp, lp);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (c.memoryDc_) {
        BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left, ps.rcPaint.bottom - ps.rcPaint.top,
               c.memoryDc_, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_MOUSEMOVE: {
      if (!c.trackingLeave_) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
        c.trackingLeave_ = TrackMouseEvent(&track) != FALSE;
      }
      c.afterInput(c.model_.player().mouseMove(short(LOWORD(lp)), short(HIWORD(lp))));
      return 0;
    }
    case WM_MOUSELEAVE:
      c.trackingLeave_ = false;
      c.afterInput(c.model_.player().mouseLeave());
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetFocus(hwnd);
      SetCapture(hwnd);
      c.afterInput(c.model_.player().mouseDown(short(LOWORD(lp)), short(HIWORD(lp))));
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == hwnd) ReleaseCapture();
      c.afterInput(c.model_.player().mouseUp(short(LOWORD(lp)), short(HIWORD(lp))));
      return 0;
    case WM_RBUTTONDOWN:
      SetFocus(hwnd);
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      // The character the key types is already queued behind it (the host's loop translated the
      // key): the movie hears both at once, as Key.getCode and Key.getAscii report them.
      MSG typed;
      char16_t character = 0;
      if (PeekMessageW(&typed, hwnd, WM_CHAR, WM_CHAR, PM_REMOVE)) character = char16_t(typed.wParam);
      c.afterInput(c.model_.player().keyDown(int(wp & 0xFF), character));
      return msg == WM_SYSKEYDOWN ? DefWindowProcW(hwnd, msg, wp, lp) : 0;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
      c.afterInput(c.model_.player().keyUp(int(wp & 0xFF)));
      return msg == WM_SYSKEYUP ? DefWindowProcW(hwnd, msg, wp, lp) : 0;
    case WM_SETCURSOR:
      if (LOWORD(lp) == HTCLIENT) {
        switch (c.model_.player().cursor()) {
          case player::Player::Cursor::Hand: SetCursor(LoadCursorW(nullptr, IDC_HAND)); break;
          case player::Player::Cursor::IBeam: SetCursor(LoadCursorW(nullptr, IDC_IBEAM)); break;
          case player::Player::Cursor::Hidden: SetCursor(nullptr); break;
          case player::Player::Cursor::Arrow: SetCursor(LoadCursorW(nullptr, IDC_ARROW)); break;
        }
        return TRUE;
      }
      return DefWindowProcW(hwnd, msg, wp, lp);
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

HRESULT PlayerControl::activate(IOleClientSite* site, HWND parent, LPCRECT rect) {
  if (window_) {
    ShowWindow(window_, SW_SHOW);
    return S_OK;
  }
  IOleInPlaceSite* inPlace = nullptr;
  if (site) site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace));
  RECT position{0, 0, 0, 0};
  if (rect) position = *rect;
  if (inPlace) {
    if (inPlace->CanInPlaceActivate() != S_OK) {
      inPlace->Release();
      return E_FAIL;
    }
    inPlace->OnInPlaceActivate();
    HWND siteWindow = nullptr;
    if (SUCCEEDED(inPlace->GetWindow(&siteWindow)) && siteWindow) parent = siteWindow;
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* doc = nullptr;
    RECT pos, clip;
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof info;
    if (SUCCEEDED(inPlace->GetWindowContext(&frame, &doc, &pos, &clip, &info))) position = pos;
    if (frame) frame->Release();
    if (doc) doc->Release();
  }
  if (!parent || !ControlWindow::registerClass()) {
    if (inPlace) inPlace->Release();
    return E_FAIL;
  }
  window_ = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, position.left, position.top,
                            position.right - position.left, position.bottom - position.top, parent, nullptr,
                            reinterpret_cast<HINSTANCE>(&__ImageBase), this);
  if (!window_) {
    if (inPlace) inPlace->Release();
    return E_FAIL;
  }
  if (inPlaceSite_) inPlaceSite_->Release();
  inPlaceSite_ = inPlace;
  refresh();
  return S_OK;
}

void PlayerControl::destroyWindow() {
  if (window_) {
    KillTimer(window_, kFrameTimer);
    sound_.close();
    HWND w = window_;
    window_ = nullptr;
    SetWindowLongPtrW(w, GWLP_USERDATA, 0);
    DestroyWindow(w);
  }
  timerMillis_ = 0;
  resizeBuffer(0, 0);  // the picture goes with the window
}

void PlayerControl::refresh() {
  if (!window_) return;
  UINT millis = UINT(model_.frameMillis());
  if (millis != timerMillis_) {
    timerMillis_ = millis;
    SetTimer(window_, kFrameTimer, millis, nullptr);
  }
  renderToWindow(false);
}

// Input changed the stage: it shows at once, not at the next frame. Events the movie raised wait
// for the frame timer.
void PlayerControl::afterInput(bool changed) {
  if (changed) renderToWindow(false);
  sound_.pump(model_.player(), window_);  // a button's sound starts with the press
}

void PlayerControl::onTimer() {
  model_.tick();
  sound_.pump(model_.player(), window_);
  renderToWindow(false);
  fireEvents();
}

void PlayerControl::resizeBuffer(int width, int height) {
  if (memoryDc_) {
    SelectObject(memoryDc_, oldBitmap_);
    DeleteDC(memoryDc_);
    memoryDc_ = nullptr;
  }
  if (dib_) DeleteObject(dib_);
  dib_ = nullptr;
  shown_ = nullptr;
  frame_ = player::Surface();
  if (width <= 0 || height <= 0) return;
  BITMAPINFO info = topDownInfo(width, height);
  void* bits = nullptr;
  dib_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib_) return;
  memoryDc_ = CreateCompatibleDC(nullptr);
  oldBitmap_ = SelectObject(memoryDc_, dib_);
  shown_ = static_cast<uint32_t*>(bits);
  frame_ = player::Surface(width, height);
}

// Renders the frame and copies the rows that changed into the window's picture; only the rectangle
// around the changes is repainted, so a still stage costs no drawing at all.
void PlayerControl::renderToWindow(bool everything) {
  if (!window_) return;
  if (!shown_) {
    RECT rc;
    GetClientRect(window_, &rc);
    resizeBuffer(rc.right, rc.bottom);
    everything = true;
    if (!shown_) return;
  }
  model_.render(frame_);
  const int w = frame_.width, h = frame_.height;
  int x0 = w, y0 = h, x1 = 0, y1 = 0;
  GdiFlush();
  for (int y = 0; y < h; ++y) {
    const uint32_t* src = frame_.row(y);
    uint32_t* dst = shown_ + size_t(y) * size_t(w);
    if (!everything && std::equal(src, src + w, dst)) continue;
    int first = 0, last = w - 1;
    while (first < w && src[first] == dst[first]) ++first;
    while (last > first && src[last] == dst[last]) --last;
    if (everything) first = 0, last = w - 1;
    std::copy(src, src + w, dst);
    x0 = std::min(x0, first), x1 = std::max(x1, last + 1);
    y0 = std::min(y0, y), y1 = y + 1;
  }
  if (x0 < x1 && y0 < y1) {
    RECT dirty{x0, y0, x1, y1};
    InvalidateRect(window_, &dirty, FALSE);
    if (viewSink_) viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
  }
}

// --- IViewObject ----------------------------------------------------------------------------------

STDMETHODIMP PlayerControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdc, LPCRECTL bounds, LPCRECTL,
                                 BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  try {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!hdc) return E_INVALIDARG;
    RECTL r;
    if (bounds) {
      r = *bounds;
    } else if (window_) {
      RECT rc;
      GetClientRect(window_, &rc);
      r = {rc.left, rc.top, rc.right, rc.bottom};
    } else {
      return E_INVALIDARG;
    }
    const long width = r.right - r.left, height = r.bottom - r.top;
    // A stage beyond this would not fit the memory of a 32-bit host; nothing is drawn.
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return E_INVALIDARG;
    player::Surface picture{int(width), int(height)};
    model_.render(picture);
    BITMAPINFO info = topDownInfo(int(width), int(height));
    SetDIBitsToDevice(hdc, int(r.left), int(r.top), DWORD(width), DWORD(height), 0, 0, 0, UINT(height),
                      picture.pixels.data(), &info, DIB_RGB_COLORS);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

STDMETHODIMP PlayerControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  if (sink) sink->AddRef();
  if (viewSink_) viewSink_->Release();
  viewSink_ = sink;
  viewAspects_ = aspects;
  viewFlags_ = flags;
  return S_OK;
}

STDMETHODIMP PlayerControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects) *aspects = viewAspects_;
  if (flags) *flags = viewFlags_;
  if (sink) {
    *sink = viewSink_;
    if (viewSink_) viewSink_->AddRef();
  }
  return S_OK;
}

STDMETHODIMP PlayerControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

STDMETHODIMP PlayerControl::GetRect(DWORD aspect, LPRECTL rect) {
  if (!rect) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *rect = {0, 0, extent_.cx, extent_.cy};
  return S_OK;
}

STDMETHODIMP PlayerControl::GetViewStatus(DWORD* status) {
  if (!status) return E_POINTER;
  *status = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;
  return S_OK;
}

STDMETHODIMP PlayerControl::QueryHitPoint(DWORD, LPCRECT bounds, POINT at, LONG, DWORD* hit) {
  if (!bounds || !hit) return E_POINTER;
  *hit = PtInRect(bounds, at) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}

STDMETHODIMP PlayerControl::QueryHitRect(DWORD, LPCRECT bounds, LPCRECT rect, LONG, DWORD* hit) {
  if (!bounds || !rect || !hit) return E_POINTER;
  RECT both;
  *hit = IntersectRect(&both, bounds, rect) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}

}  // namespace vorlo::control
