// The one drawing seam between the core and each platform (cairo, GDI, a recording one in the
// tests). Coordinates are client-area pixels, origin top-left, y growing downward.
#pragma once

#include <cstdint>
#include <string_view>

// Pixel memory of the client area: 32 bits a pixel, 0x00RRGGBB in the low 24 bits (the top
// byte is written as 0xFF). Row y starts at pixels + y * stride.
struct PixelImage {
  std::uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;  // in pixels
};

// Colours as Windows colour values, 0x00BBGGRR.
using ColorRef = std::uint32_t;

class Canvas {
 public:
  virtual ~Canvas() = default;

  // Multi-line 8-bit text in the rectangle (0, 0, right, bottom): top-left aligned, line feeds
  // honoured, no other formatting; black on the background.
  virtual void drawTextBlock(int right, int bottom, std::string_view text) = 0;
  // 8-bit text with its top-left corner at (x, y), black.
  virtual void textOut(int x, int y, std::string_view text) = 0;

  // Selects the frame pen (solid, one pixel, cyan), made on first use and kept for the life of
  // the process; returns a token for the pen it replaced, to be given back to restorePen.
  virtual std::uintptr_t selectFramePen() = 0;
  virtual void restorePen(std::uintptr_t previous) = 0;
  virtual void moveTo(int x, int y) = 0;
  // A line from the current position to (x, y), the end point left out; (x, y) becomes current.
  virtual void lineTo(int x, int y) = 0;

  // Direct access to the pixel memory for the points; endPixels hands it back.
  virtual PixelImage beginPixels() = 0;
  virtual void endPixels() = 0;
};
