// The canvas over cairo, for every platform that draws with it: the command-line renderer's
// pictures and the Linux window. Lines are one pixel wide and never antialiased, with the end
// point left out as the Windows LineTo does; text is black DejaVu Sans on an opaque white box.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "app/app_state.h"
#include "render/canvas.h"

typedef struct _PangoLayout PangoLayout;

class CairoCanvas final : public Canvas {
 public:
  // Draws on an ARGB32 image surface; the points go straight into its memory.
  explicit CairoCanvas(cairo_surface_t* image);
  // Draws on any surface (a vector one too) of the given size; the points are gathered in an
  // image of that size and laid on the surface as one picture when they are done.
  CairoCanvas(cairo_surface_t* target, int width, int height);
  ~CairoCanvas() override;
  CairoCanvas(const CairoCanvas&) = delete;
  CairoCanvas& operator=(const CairoCanvas&) = delete;

  void drawTextBlock(int right, int bottom, std::string_view text) override;
  void textOut(int x, int y, std::string_view text) override;
  std::uintptr_t selectFramePen() override;
  void restorePen(std::uintptr_t previous) override;
  void moveTo(int x, int y) override;
  void lineTo(int x, int y) override;
  PixelImage beginPixels() override;
  void endPixels() override;

 private:
  // Lays out 8-bit text and paints it with its top-left corner at (x, y) on a white box.
  void drawText(int x, int y, std::string_view text);
  void addPixelRect(int x, int y, int width, int height);

  cairo_t* cr_;
  cairo_surface_t* target_;
  int width_;
  int height_;
  cairo_surface_t* pointLayer_ = nullptr;
  PangoLayout* layout_ = nullptr;
  std::uintptr_t pen_ = 0;  // the default black pen until the frame pen is selected
  int currentX_ = 0;
  int currentY_ = 0;
};

// Windows-1252 text (the 8-bit text of the program) as UTF-8.
std::string utf8FromWindows1252(std::string_view text);

// Paints the client area of the given size on `target` as the window paints it, the whole area
// repainted: white, then the text and, beside it, the plot.
void paintClientSurface(AppState& state, cairo_surface_t* target, int width, int height);

// A new ARGB32 image with the client area painted by paintClientSurface. The caller destroys it; on
// failure its status is not CAIRO_STATUS_SUCCESS.
cairo_surface_t* paintImage(AppState& state, int width, int height);
