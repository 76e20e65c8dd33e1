// Times the Windows program from outside it:
//   win32_paint_timer PROGRAM FILE [RUNS]
// Per run: the time from CreateProcess until the program first waits for input, which comes
// after its first complete paint (UpdateWindow paints the new window before the message loop
// starts); then the time for one Right key, which shifts the X axis and repaints the whole
// client area, handled and painted; then File > Exit, whose exit code must be 0.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr WPARAM kExitCommand = 105;
constexpr DWORD kWaitMs = 300000;

double millisecondsSince(LARGE_INTEGER start) {
  LARGE_INTEGER now;
  LARGE_INTEGER frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

struct WindowSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK matchWindow(HWND hwnd, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof name);
  if (owner == search->processId && std::string(name) == "VELOPLOT") {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool timeOneRun(const std::string& commandLine, double& firstPaint, double& keyRepaint) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "could not start: %s\n", commandLine.c_str());
    return false;
  }
  // WaitForInputIdle returns at once while the new process has not yet set up its input, which
  // under emulation takes a minute: the window is awaited first.
  WindowSearch search{process.dwProcessId, nullptr};
  while (search.found == nullptr && millisecondsSince(start) < kWaitMs &&
         WaitForSingleObject(process.hProcess, 1) == WAIT_TIMEOUT) {
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
  }
  bool ok = search.found != nullptr && WaitForInputIdle(process.hProcess, kWaitMs) == 0;
  firstPaint = millisecondsSince(start);
  if (ok) {
    QueryPerformanceCounter(&start);
    SendMessageA(search.found, WM_KEYDOWN, VK_RIGHT, 0);
    RedrawWindow(search.found, nullptr, nullptr, RDW_UPDATENOW);
    while (GetUpdateRect(search.found, nullptr, FALSE)) Sleep(0);
    // Handled only after the paint has returned: the program is single-threaded.
    SendMessageA(search.found, WM_NULL, 0, 0);
    keyRepaint = millisecondsSince(start);
    PostMessageA(search.found, WM_COMMAND, kExitCommand, 0);
  } else {
    std::fprintf(stderr, "the program showed no window\n");
    TerminateProcess(process.hProcess, 1);
  }
  DWORD exitCode = 1;
  WaitForSingleObject(process.hProcess, kWaitMs);
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (ok && exitCode != 0) std::fprintf(stderr, "exit code %lu\n", exitCode);
  return ok && exitCode == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: win32_paint_timer PROGRAM FILE [RUNS]\n");
    return 2;
  }
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  const std::string commandLine = std::string("\"") + argv[1] + "\" " + argv[2];
  std::vector<double> firstPaints;
  std::vector<double> keyRepaints;
  for (int run = 1; run <= runs; ++run) {
    double firstPaint = 0;
    double keyRepaint = 0;
    if (!timeOneRun(commandLine, firstPaint, keyRepaint)) return 1;
    std::printf("run %d: first complete paint %.1f ms, key and repaint %.1f ms\n", run, firstPaint,
                keyRepaint);
    std::fflush(stdout);
    firstPaints.push_back(firstPaint);
    keyRepaints.push_back(keyRepaint);
  }
  std::printf("median of %d runs: first complete paint %.1f ms, key and repaint %.1f ms\n", runs,
              median(firstPaints), median(keyRepaints));
  return 0;
}
