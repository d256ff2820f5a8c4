// The window on Win32 GDI. One thread of ours owns the window and its message loop;
// once per display frame it takes what the program drew into an 8-bit DIB section
// whose colour table is the palette, and invalidates just that; WM_PAINT copies the
// DIB to the screen, so the window comes back intact whenever Windows asks.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/backend.h"

namespace {

constexpr wchar_t kClassName[] = L"rose.surface";
constexpr UINT_PTR kFrameTimer = 1;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

HANDLE window_thread = nullptr;
HANDLE stop_event = nullptr;

// Start-up handshake: the thread reports the window's size, or failure.
HANDLE started = nullptr;
Size start_size;

std::wstring ProgramName() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path, n < MAX_PATH ? n : 0);
  name.erase(0, name.find_last_of(L"\\/") + 1);  // npos + 1 == 0: no directory
  if (name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".exe") == 0)
    name.resize(name.size() - 4);
  return name.empty() ? L"rose" : name;
}

void Fail(const char* why) {
  std::fprintf(stderr,
               "%ls: the graphics window could not be opened (%s); drawing goes on unseen\n",
               ProgramName().c_str(), why);
  std::fflush(stderr);
}

class Presenter {
 public:
  explicit Presenter(Size size) : frame_(size.width, size.height) {}
  ~Presenter() {
    if (memory_) DeleteDC(memory_);
    if (bitmap_) DeleteObject(bitmap_);
  }

  // The DIB section, black, with the palette as its colour table.
  bool Create(HDC screen) {
    struct {
      BITMAPINFOHEADER header;
      RGBQUAD colours[256];
    } info = {};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = frame_.width();
    info.header.biHeight = -frame_.height();  // top-down: row 0 first, as in the surface
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = 256;
    for (int i = 0; i < 256; ++i)
      info.colours[i] = {kPalette[i].b, kPalette[i].g, kPalette[i].r, 0};
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                               &bits, nullptr, 0);
    memory_ = bitmap_ ? CreateCompatibleDC(screen) : nullptr;
    if (!memory_) return false;
    SelectObject(memory_, bitmap_);
    bits_ = static_cast<std::uint8_t*>(bits);
    stride_ = (std::size_t(frame_.width()) + 3) & ~std::size_t(3);  // rows are DWORD-aligned
    std::memset(bits_, 0, stride_ * std::size_t(frame_.height()));
    return true;
  }

  // Once per display frame: what changed goes into the DIB and is invalidated.
  void Present(HWND window) {
    areas_.clear();
    if (!FrameTakeChanged(frame_, areas_) || !window) return;
    GdiFlush();  // GDI is done reading the bits before they change
    for (const Rect& r : areas_) {
      for (int y = r.y; y < r.y + r.h; ++y)
        std::memcpy(bits_ + std::size_t(y) * stride_ + r.x, frame_.row(y) + r.x, std::size_t(r.w));
      const RECT changed = {r.x, r.y, r.x + r.w, r.y + r.h};
      InvalidateRect(window, &changed, FALSE);
    }
    UpdateWindow(window);
  }

  void Paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    const RECT& r = ps.rcPaint;
    BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memory_, r.left, r.top, SRCCOPY);
    EndPaint(window, &ps);
  }

 private:
  Surface frame_;  // what the window shows, in palette indices
  HBITMAP bitmap_ = nullptr;
  HDC memory_ = nullptr;
  std::uint8_t* bits_ = nullptr;
  std::size_t stride_ = 0;
  std::vector<Rect> areas_;
};

Presenter* presenter = nullptr;  // the window thread's own
HWND window = nullptr;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      if (!presenter) break;
      presenter->Paint(hwnd);
      return 0;
    case WM_ERASEBKGND:  // WM_PAINT covers every pixel
      return 1;
    // While the window is dragged or its menu is open, Windows runs a message loop of
    // its own: frames come from a timer then, and a stop ends that loop.
    case WM_ENTERSIZEMOVE:
    case WM_ENTERMENULOOP:
      SetTimer(hwnd, kFrameTimer, USER_TIMER_MINIMUM, nullptr);
      break;
    case WM_EXITSIZEMOVE:
    case WM_EXITMENULOOP:
      KillTimer(hwnd, kFrameTimer);
      break;
    case WM_TIMER:
      if (wparam != kFrameTimer || !presenter) break;
      presenter->Present(hwnd);
      if (WaitForSingleObject(stop_event, 0) == WAIT_OBJECT_0) {
        EndMenu();
        ReleaseCapture();
      }
      return 0;
    case WM_CLOSE:  // the program goes on; so does drawing, unseen
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      window = nullptr;
      return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);  // keys do nothing here
}

bool CreateTheWindow(Size& size, const char*& why) {
  SetProcessDPIAware();  // one surface pixel is one screen pixel, not a scaled-up blur
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));      // IDI_APPLICATION
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc)) return why = "no window class", false;

  // The usable desktop, less the frame: the client area is the surface.
  RECT work;
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
    work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  RECT frame = {0, 0, 0, 0};
  AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
  const int width = work.right - work.left, height = work.bottom - work.top;
  const int client_w = width - (frame.right - frame.left);
  const int client_h = height - (frame.bottom - frame.top);
  if (client_w <= 0 || client_h <= 0) return why = "no desktop", false;

  window = CreateWindowExW(0, kClassName, ProgramName().c_str(), kWindowStyle, work.left,
                           work.top, width, height, nullptr, nullptr, wc.hInstance, nullptr);
  if (!window) return why = "no display", false;
  RECT client;
  GetClientRect(window, &client);
  size = {client.right - client.left, client.bottom - client.top};
  if (size.width <= 0 || size.height <= 0) size = {client_w, client_h};
  return true;
}

DWORD WINAPI Run(void*) {
  Size size;
  const char* why = "";
  if (!CreateTheWindow(size, why)) {
    if (window) DestroyWindow(window);
    Fail(why);
    SetEvent(started);
    return 0;
  }
  Presenter shown(size);
  HDC screen = GetDC(window);
  const bool ready = shown.Create(screen);
  ReleaseDC(window, screen);
  if (!ready) {
    DestroyWindow(window);
    Fail("no memory for its pixels");
    SetEvent(started);
    return 0;
  }
  presenter = &shown;
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);  // black, before InitGraph returns
  GdiFlush();
  start_size = size;
  SetEvent(started);

  LARGE_INTEGER ticks_per_s, now;
  QueryPerformanceFrequency(&ticks_per_s);
  const LONGLONG period = ticks_per_s.QuadPart / 60;
  QueryPerformanceCounter(&now);
  LONGLONG next = now.QuadPart + period;
  for (;;) {
    QueryPerformanceCounter(&now);
    const LONGLONG left = next - now.QuadPart;
    const LONGLONG hz = ticks_per_s.QuadPart;
    const DWORD wait = left > 0 ? DWORD((left * 1000 + hz - 1) / hz) : 0;  // ms, rounded up
    if (MsgWaitForMultipleObjectsEx(1, &stop_event, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
        WAIT_OBJECT_0)
      break;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    QueryPerformanceCounter(&now);
    if (now.QuadPart >= next) {
      shown.Present(window);
      next += period;
      if (next < now.QuadPart) next = now.QuadPart + period;
    }
  }
  // The window goes with this thread. Not hidden or destroyed first: under Wine
  // with no window manager that waits two seconds for one to answer.
  presenter = nullptr;
  return 0;
}

}  // namespace

Size WindowOpen() {
  if (window_thread) return start_size;
  stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (stop_event && started) window_thread = CreateThread(nullptr, 0, Run, nullptr, 0, nullptr);
  if (!window_thread) {
    Fail("no thread for it");
    return {};
  }
  std::atexit(WindowClose);
  WaitForSingleObject(started, INFINITE);
  return start_size;
}

void WindowClose() {
  if (!window_thread || GetThreadId(window_thread) == GetCurrentThreadId()) return;
  SetEvent(stop_event);
  WaitForSingleObject(window_thread, INFINITE);
  CloseHandle(window_thread);
  window_thread = nullptr;
}
