// Windows GDI implementation of the drawing seam: text with DrawTextA and TextOutA, the frame
// and grid with the frame pen and MoveToEx/LineTo, the points straight into the pixel memory of
// a DIB section that is then copied to the window.
#include "render/gdi_canvas.h"

namespace {

constexpr COLORREF kFrameColor = 0x00FFFF00;

}  // namespace

HPEN framePen() {
  static const HPEN pen = CreatePen(PS_SOLID, 1, kFrameColor);
  return pen;
}

GdiCanvas::GdiCanvas(HDC windowDc, int width, int height, HBRUSH background)
    : windowDc_(windowDc), dc_(windowDc), width_(width), height_(height) {
  if (width <= 0 || height <= 0) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // negative: row 0 is the top row, as PixelImage wants
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  memoryDc_ = CreateCompatibleDC(windowDc);
  if (memoryDc_ != nullptr) {
    bitmap_ = CreateDIBSection(memoryDc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  }
  if (bitmap_ == nullptr || bits == nullptr) {
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
    if (memoryDc_ != nullptr) DeleteDC(memoryDc_);
    bitmap_ = nullptr;
    memoryDc_ = nullptr;
    return;
  }
  bits_ = static_cast<std::uint32_t*>(bits);
  oldBitmap_ = SelectObject(memoryDc_, bitmap_);
  dc_ = memoryDc_;
  const RECT all{0, 0, width, height};
  FillRect(memoryDc_, &all, background);
}

GdiCanvas::~GdiCanvas() {
  if (memoryDc_ == nullptr) return;
  SelectObject(memoryDc_, oldBitmap_);
  DeleteObject(bitmap_);
  DeleteDC(memoryDc_);
}

void GdiCanvas::present(const RECT& area) {
  if (memoryDc_ == nullptr) return;
  BitBlt(windowDc_, area.left, area.top, area.right - area.left, area.bottom - area.top, memoryDc_,
         area.left, area.top, SRCCOPY);
}

void GdiCanvas::drawTextBlock(int right, int bottom, std::string_view text) {
  RECT rect{0, 0, right, bottom};
  DrawTextA(dc_, text.data(), static_cast<int>(text.size()), &rect, 0);
}

void GdiCanvas::textOut(int x, int y, std::string_view text) {
  TextOutA(dc_, x, y, text.data(), static_cast<int>(text.size()));
}

std::uintptr_t GdiCanvas::selectFramePen() {
  return reinterpret_cast<std::uintptr_t>(SelectObject(dc_, framePen()));
}

void GdiCanvas::restorePen(std::uintptr_t previous) {
  SelectObject(dc_, reinterpret_cast<HGDIOBJ>(previous));
}

void GdiCanvas::moveTo(int x, int y) {
  MoveToEx(dc_, x, y, nullptr);
}

void GdiCanvas::lineTo(int x, int y) {
  LineTo(dc_, x, y);
}

PixelImage GdiCanvas::beginPixels() {
  if (bits_ == nullptr) return {};
  // GDI may still hold drawing calls in its batch; they must land before the pixels do.
  GdiFlush();
  return {bits_, width_, height_, width_};
}

void GdiCanvas::endPixels() {}
