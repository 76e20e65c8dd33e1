// The GDI canvas against plain GDI: what it presents must be the picture that drawing straight
// onto the window's device context gives.
#include "render/gdi_canvas.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

#include "app/paint.h"
#include "app/startup.h"

namespace {

constexpr std::uint32_t kWhite = 0x00FFFFFF;
constexpr std::uint32_t kCyan = 0x0000FFFF;  // the frame pen as 0x00RRGGBB

// Stands in for the window: a device context over a top-down 32-bit DIB section whose pixels
// the test reads back as 0x00RRGGBB.
struct Surface {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  std::uint32_t* bits = nullptr;
  int width = 0;
  int height = 0;

  Surface(int w, int h, std::uint32_t fill) : width(w), height(h) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* memory = nullptr;
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    old = SelectObject(dc, bitmap);
    bits = static_cast<std::uint32_t*>(memory);
    for (int i = 0; i < w * h; ++i) bits[i] = fill;
  }
  ~Surface() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  std::uint32_t at(int x, int y) {
    GdiFlush();
    return bits[y * width + x] & 0x00FFFFFF;
  }
};

HBRUSH whiteBrush() {
  return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

TEST(GdiCanvas, PixelsAreTopDownRedGreenBlue) {
  Surface window(40, 30, 0);
  {
    GdiCanvas canvas(window.dc, 40, 30, whiteBrush());
    const PixelImage image = canvas.beginPixels();
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.width, 40);
    EXPECT_EQ(image.height, 30);
    EXPECT_EQ(image.stride, 40);
    image.pixels[2 * image.stride + 3] = 0xFF123456;
    canvas.endPixels();
    canvas.present(RECT{0, 0, 40, 30});
  }
  EXPECT_EQ(window.at(3, 2), 0x00123456u);
  EXPECT_EQ(GetPixel(window.dc, 3, 2), RGB(0x12, 0x34, 0x56));
  EXPECT_EQ(window.at(4, 2), kWhite);
  EXPECT_EQ(window.at(3, 27), kWhite);
}

TEST(GdiCanvas, PresentCopiesOnlyTheRepaintedRectangle) {
  Surface window(40, 30, 0x00ABCDEF);
  {
    GdiCanvas canvas(window.dc, 40, 30, whiteBrush());
    canvas.present(RECT{0, 0, 10, 30});
  }
  EXPECT_EQ(window.at(0, 0), kWhite);
  EXPECT_EQ(window.at(9, 29), kWhite);
  EXPECT_EQ(window.at(10, 0), 0x00ABCDEFu);
  EXPECT_EQ(window.at(39, 29), 0x00ABCDEFu);
}

TEST(GdiCanvas, FrameLinesAreCyanAndLeaveOutTheirEndPoint) {
  Surface window(20, 20, 0);
  {
    GdiCanvas canvas(window.dc, 20, 20, whiteBrush());
    const std::uintptr_t previous = canvas.selectFramePen();
    canvas.moveTo(2, 5);
    canvas.lineTo(8, 5);
    canvas.lineTo(8, 12);
    canvas.restorePen(previous);
    canvas.present(RECT{0, 0, 20, 20});
  }
  for (int x = 2; x < 8; ++x) EXPECT_EQ(window.at(x, 5), kCyan) << "x " << x;
  for (int y = 5; y < 12; ++y) EXPECT_EQ(window.at(8, y), kCyan) << "y " << y;
  EXPECT_EQ(window.at(8, 12), kWhite);
  EXPECT_EQ(window.at(1, 5), kWhite);
}

TEST(GdiCanvas, RestorePenGivesBackThePenItReplaced) {
  Surface window(10, 10, 0);
  GdiCanvas canvas(window.dc, 10, 10, whiteBrush());
  const std::uintptr_t first = canvas.selectFramePen();
  EXPECT_EQ(canvas.selectFramePen(), reinterpret_cast<std::uintptr_t>(framePen()));
  canvas.restorePen(first);
  EXPECT_EQ(canvas.selectFramePen(), first);
  canvas.restorePen(first);
}

TEST(GdiCanvas, FramePenIsMadeOnceAndIsSolidCyan) {
  const HPEN pen = framePen();
  ASSERT_NE(pen, nullptr);
  EXPECT_EQ(framePen(), pen);
  LOGPEN description{};
  ASSERT_EQ(GetObjectA(pen, sizeof description, &description), int{sizeof description});
  EXPECT_EQ(description.lopnStyle, UINT{PS_SOLID});
  EXPECT_EQ(description.lopnWidth.x, 1);
  EXPECT_EQ(description.lopnColor, COLORREF{0x00FFFF00});
}

TEST(GdiCanvas, LinesAreInThePixelMemoryBeforeThePointsAreWritten) {
  Surface window(20, 20, 0);
  GdiCanvas canvas(window.dc, 20, 20, whiteBrush());
  const std::uintptr_t previous = canvas.selectFramePen();
  canvas.moveTo(0, 3);
  canvas.lineTo(10, 3);
  canvas.restorePen(previous);
  const PixelImage image = canvas.beginPixels();
  ASSERT_NE(image.pixels, nullptr);
  EXPECT_EQ(image.pixels[3 * image.stride + 4] & 0x00FFFFFF, kCyan);
  EXPECT_EQ(image.pixels[4 * image.stride + 4] & 0x00FFFFFF, kWhite);
  canvas.endPixels();
}

TEST(GdiCanvas, EmptyClientAreaDrawsNothingAndHandsOutNoPixels) {
  Surface window(10, 10, 0x00ABCDEF);
  GdiCanvas canvas(window.dc, 0, 0, whiteBrush());
  EXPECT_EQ(canvas.beginPixels().pixels, nullptr);
  canvas.endPixels();
  canvas.present(RECT{0, 0, 10, 10});
  EXPECT_EQ(window.at(5, 5), 0x00ABCDEFu);
}

// The text and lines of a paint, drawn once through the canvas and once straight onto a
// device context with the same calls, give the same pixels everywhere.
TEST(GdiCanvas, PresentedPictureEqualsDrawingDirectly) {
  constexpr int kWidth = 200;
  constexpr int kHeight = 120;
  constexpr std::string_view kBlock = "  first - X axis\n* second = 1.5 \xB1 0.25\n  third \n";
  constexpr std::string_view kLabel = "-0.0002";
  Surface viaCanvas(kWidth, kHeight, 0);
  {
    GdiCanvas canvas(viaCanvas.dc, kWidth, kHeight, whiteBrush());
    canvas.drawTextBlock(kWidth, kHeight, kBlock);
    const std::uintptr_t previous = canvas.selectFramePen();
    canvas.moveTo(100, 100);
    canvas.lineTo(100, 10);
    canvas.lineTo(190, 10);
    canvas.restorePen(previous);
    canvas.textOut(95, 105, kLabel);
    canvas.present(RECT{0, 0, kWidth, kHeight});
  }
  Surface direct(kWidth, kHeight, kWhite);
  RECT block{0, 0, kWidth, kHeight};
  DrawTextA(direct.dc, kBlock.data(), static_cast<int>(kBlock.size()), &block, 0);
  HGDIOBJ previous = SelectObject(direct.dc, framePen());
  MoveToEx(direct.dc, 100, 100, nullptr);
  LineTo(direct.dc, 100, 10);
  LineTo(direct.dc, 190, 10);
  SelectObject(direct.dc, previous);
  TextOutA(direct.dc, 95, 105, kLabel.data(), static_cast<int>(kLabel.size()));

  int differences = 0;
  int inked = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      differences += viaCanvas.at(x, y) != direct.at(x, y);
      inked += direct.at(x, y) != kWhite;
    }
  }
  EXPECT_EQ(differences, 0);
  EXPECT_GT(inked, 100);  // the text really was drawn
}

// A whole paint of the program's usage screen through the canvas: the message text lands at
// the top-left corner and nothing of the plot is drawn.
TEST(GdiCanvas, PaintOfAMessageDrawsOnlyItsText) {
  AppState state;
  startUp(state, "");
  ASSERT_TRUE(state.messageText.has_value());
  Surface viaCanvas(700, 300, 0);
  {
    GdiCanvas canvas(viaCanvas.dc, 700, 300, whiteBrush());
    paintClientArea(state, canvas, 700, 300, 700);
    canvas.present(RECT{0, 0, 700, 300});
  }
  Surface direct(700, 300, kWhite);
  RECT all{0, 0, 700, 300};
  DrawTextA(direct.dc, state.messageText->data(), static_cast<int>(state.messageText->size()), &all,
            0);
  int differences = 0;
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 700; ++x) differences += viaCanvas.at(x, y) != direct.at(x, y);
  }
  EXPECT_EQ(differences, 0);
  EXPECT_EQ(state.clientWidth, 700);
  EXPECT_EQ(state.clientHeight, 300);
}

}  // namespace
