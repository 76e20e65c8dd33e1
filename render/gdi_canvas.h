// Windows GDI implementation of the drawing seam. One paint is drawn into an off-screen copy of
// the client area (a memory device context over a 32-bit top-down DIB section), so that the
// points can be written straight into its pixel memory; present() then copies the repainted
// rectangle to the window.
#pragma once

#include <windows.h>

#include "render/canvas.h"

class GdiCanvas final : public Canvas {
 public:
  // `windowDc` is the device context of the paint; the copy is `width` x `height` pixels and
  // starts filled with `background`, as the window's own erase leaves it.
  GdiCanvas(HDC windowDc, int width, int height, HBRUSH background);
  ~GdiCanvas() override;
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;

  // Copies `area` of the off-screen picture to the window's device context.
  void present(const RECT& area);

  void drawTextBlock(int right, int bottom, std::string_view text) override;
  void textOut(int x, int y, std::string_view text) override;
  std::uintptr_t selectFramePen() override;
  void restorePen(std::uintptr_t previous) override;
  void moveTo(int x, int y) override;
  void lineTo(int x, int y) override;
  PixelImage beginPixels() override;
  void endPixels() override;

 private:
  HDC windowDc_;
  // Where every drawing call goes: the memory DC, or the window's own when no copy could be
  // made (a zero-sized client area, or no memory for it).
  HDC dc_;
  HDC memoryDc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  std::uint32_t* bits_ = nullptr;
  int width_;
  int height_;
};

// The frame pen of the process: solid, one pixel, cyan; made on first use and never deleted.
HPEN framePen();
