// Windows helper of the end-to-end tests, independent of the program's own drawing code. Started
// once, as `win32_text_probe DIR`, it answers through files in DIR, since a start can take a minute
// under emulation:
//   frame.txt  written first: the left, top, right and bottom widths of the border, caption and
//              one-line menu of an overlapped window, so that the tests find the client area
//              inside a window's rectangle;
//   N.req      for N = 0, 1, 2, ... in turn: "WIDTH HEIGHT", a line feed and bytes to draw with
//              DrawTextA (no format flags) on white, as a fresh device context draws them;
//              answered by N.ppm, the picture as a binary PPM;
//   stop       ends the helper.
// Each file must appear whole, so both sides write it under another name and then rename it.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

bool frameText(std::string& text) {
  RECT rect{0, 0, 0, 0};
  if (!AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, TRUE, 0)) return false;
  char line[64];
  std::snprintf(line, sizeof line, "%ld %ld %ld %ld\n", -rect.left, -rect.top, rect.right,
                rect.bottom);
  text = line;
  return true;
}

bool readFile(const std::string& path, std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char buffer[4096];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, count);
  std::fclose(file);
  return true;
}

bool writeWhole(const std::string& path, const std::string& bytes) {
  const std::string part = path + ".part";
  std::FILE* file = std::fopen(part.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (std::fclose(file) != 0 || !written) return false;
  return MoveFileExA(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::string ppm(const std::uint32_t* pixels, int width, int height) {
  std::string out = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  out.reserve(out.size() + static_cast<std::size_t>(width) * height * 3);
  for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
    out += static_cast<char>(pixels[i] >> 16);
    out += static_cast<char>(pixels[i] >> 8);
    out += static_cast<char>(pixels[i]);
  }
  return out;
}

// A request is "WIDTH HEIGHT\n" and the bytes to draw.
bool drawText(const std::string& request, std::string& picture) {
  const std::size_t lineEnd = request.find('\n');
  int width = 0;
  int height = 0;
  if (lineEnd == std::string::npos ||
      std::sscanf(request.substr(0, lineEnd).c_str(), "%d %d", &width, &height) != 2 ||
      width <= 0 || height <= 0)
    return false;
  const std::string text = request.substr(lineEnd + 1);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dc == nullptr || bitmap == nullptr) return false;
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT rect{0, 0, width, height};
  FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DrawTextA(dc, text.data(), static_cast<int>(text.size()), &rect, 0);
  GdiFlush();
  picture = ppm(static_cast<std::uint32_t*>(bits), width, height);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return true;
}

bool exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int serve(const std::string& dir) {
  std::string frame;
  if (!frameText(frame) || !writeWhole(dir + "/frame.txt", frame)) return 1;
  for (int n = 0;;) {
    const std::string name = dir + "/" + std::to_string(n);
    std::string request;
    if (readFile(name + ".req", request)) {
      std::string picture;
      if (!drawText(request, picture) || !writeWhole(name + ".ppm", picture)) return 1;
      ++n;
    } else if (exists(dir + "/stop")) {
      return 0;
    } else {
      // Seldom enough to cost little under emulation, often enough to add little to a test.
      Sleep(50);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2) return serve(argv[1]);
  std::fprintf(stderr, "usage: win32_text_probe DIR\n");
  return 2;
}
