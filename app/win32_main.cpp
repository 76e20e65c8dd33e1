// Windows entry point: WinMain, the main window class, the window, the message loop, the window
// procedure and the About box. Messages become calls of the core's start-up, commands and paint;
// the core's repaint answers become invalidations. Nothing else happens here.
#include <windows.h>

#include "app/app_state.h"
#include "app/paint.h"
#include "app/startup.h"
#include "render/gdi_canvas.h"
#include "res/resource.h"
#include "ui/commands.h"

namespace {

AppState appState;
HINSTANCE appInstance = nullptr;

// Room for a title or class name of kMaxTitleLength characters and the terminating zero.
constexpr int kResourceTextSize = static_cast<int>(kMaxTitleLength) + 1;

std::string loadResourceString(HINSTANCE instance, UINT id) {
  char text[kResourceTextSize] = {};
  const int length = LoadStringA(instance, id, text, kResourceTextSize);
  return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

void invalidate(HWND hwnd, Repaint repaint) {
  if (repaint == Repaint::WholeArea) {
    InvalidateRect(hwnd, nullptr, TRUE);
  } else if (repaint == Repaint::PanelStrip) {
    RECT strip;
    GetClientRect(hwnd, &strip);
    strip.right = kPanelStripRight;
    InvalidateRect(hwnd, &strip, TRUE);
  }
}

void paint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT client;
  GetClientRect(hwnd, &client);
  {
    GdiCanvas canvas(dc, client.right, client.bottom,
                     reinterpret_cast<HBRUSH>(GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND)));
    paintClientArea(appState, canvas, client.right, client.bottom, ps.rcPaint.right);
    canvas.present(ps.rcPaint);
  }
  EndPaint(hwnd, &ps);
}

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      break;
  }
  return FALSE;
}

LRESULT CALLBACK wndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDM_ABOUT:
          DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_ABOUTBOX), hwnd, aboutProc, 0);
          return 0;
        case IDM_EXIT:
          DestroyWindow(hwnd);
          return 0;
      }
      break;
    case WM_CHAR:
      invalidate(hwnd, onChar(appState, static_cast<unsigned char>(wParam)));
      return 0;
    case WM_KEYDOWN:
      invalidate(hwnd, onKeyDown(appState, static_cast<int>(wParam)));
      return 0;
    case WM_KEYUP:
      onKeyUp(appState, static_cast<int>(wParam));
      return 0;
    case WM_LBUTTONDBLCLK:
      invalidate(hwnd, onDoubleClick(appState, LOWORD(lParam), HIWORD(lParam)));
      return 0;
    case WM_PAINT:
      paint(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void registerMainClass(HINSTANCE instance) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  windowClass.lpfnWndProc = wndProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VELOPLOT));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszMenuName = MAKEINTRESOURCEA(IDC_VELOPLOT);
  windowClass.lpszClassName = appState.className.c_str();
  windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL));
  RegisterClassExA(&windowClass);
}

bool createMainWindow(HINSTANCE instance, int showCommand) {
  HWND hwnd = CreateWindowExA(0, appState.className.c_str(), appState.titleText.c_str(),
                              WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr,
                              nullptr, instance, nullptr);
  if (hwnd == nullptr) return false;
  ShowWindow(hwnd, showCommand);
  UpdateWindow(hwnd);
  return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
  appInstance = instance;
  startUp(appState, commandLine != nullptr ? commandLine : "",
          loadResourceString(instance, IDS_APP_TITLE), loadResourceString(instance, IDC_VELOPLOT));
  registerMainClass(instance);
  if (!createMainWindow(instance, showCommand)) return 0;

  HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDC_VELOPLOT));
  MSG message{};
  BOOL got = 0;
  while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
    if (!TranslateAcceleratorA(message.hwnd, accelerators, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  // Only the quit message carries an exit code; a failed GetMessageA leaves none.
  return got == 0 ? static_cast<int>(message.wParam) : 0;
}
