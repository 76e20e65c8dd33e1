// Windows helper of the end-to-end tests, independent of the program's own drawing code:
//   frame                       prints the left, top, right and bottom widths of the border,
//                               caption and one-line menu of an overlapped window, so that the
//                               tests find the client area inside a window's rectangle;
//   text IN OUT.ppm WIDTH HEIGHT  draws the bytes of file IN with DrawTextA (no format flags)
//                               on white, as a fresh device context draws them, and writes the
//                               picture as a binary PPM.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int printFrame() {
  RECT rect{0, 0, 0, 0};
  if (!AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, TRUE, 0)) return 1;
  std::printf("%ld %ld %ld %ld\n", -rect.left, -rect.top, rect.right, rect.bottom);
  return 0;
}

bool readFile(const char* path, std::string& bytes) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  char buffer[4096];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, count);
  std::fclose(file);
  return true;
}

bool writePpm(const char* path, const std::uint32_t* pixels, int width, int height) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  std::fprintf(file, "P6\n%d %d\n255\n", width, height);
  std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
      row[x * 3] = static_cast<unsigned char>(p >> 16);
      row[x * 3 + 1] = static_cast<unsigned char>(p >> 8);
      row[x * 3 + 2] = static_cast<unsigned char>(p);
    }
    std::fwrite(row.data(), 1, row.size(), file);
  }
  return std::fclose(file) == 0;
}

int drawText(const char* inPath, const char* outPath, int width, int height) {
  std::string text;
  if (!readFile(inPath, text) || width <= 0 || height <= 0) return 1;
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
  if (dc == nullptr || bitmap == nullptr) return 1;
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT rect{0, 0, width, height};
  FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DrawTextA(dc, text.data(), static_cast<int>(text.size()), &rect, 0);
  GdiFlush();
  const bool written = writePpm(outPath, static_cast<std::uint32_t*>(bits), width, height);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return written ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "frame") == 0) return printFrame();
  if (argc == 6 && std::strcmp(argv[1], "text") == 0) {
    return drawText(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
  }
  std::fprintf(stderr, "usage: win32_text_probe frame | text IN OUT.ppm WIDTH HEIGHT\n");
  return 2;
}
