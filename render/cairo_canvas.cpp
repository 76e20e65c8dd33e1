#include "render/cairo_canvas.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <array>

#include "app/paint.h"

namespace {

// DejaVu Sans at this pixel size, with the gap below, puts lines 16 pixels apart, as the Windows
// system font does.
constexpr double kTextPixelSize = 12.0;
constexpr int kLineGapPixels = 1;
constexpr char kTextFont[] = "DejaVu Sans";

// The frame pen's token; every other token stands for the default black pen.
constexpr std::uintptr_t kFramePen = 1;

// Windows-1252 0x80 to 0x9F; the five unassigned bytes keep their C1 control code points, as the
// Windows conversion does.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool isImageSurface(cairo_surface_t* surface) {
  if (cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) return false;
  const cairo_format_t format = cairo_image_surface_get_format(surface);
  return format == CAIRO_FORMAT_ARGB32 || format == CAIRO_FORMAT_RGB24;
}

PixelImage pixelsOf(cairo_surface_t* image) {
  cairo_surface_flush(image);
  PixelImage pixels;
  pixels.pixels = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(image));
  pixels.width = cairo_image_surface_get_width(image);
  pixels.height = cairo_image_surface_get_height(image);
  pixels.stride = cairo_image_surface_get_stride(image) / 4;
  return pixels;
}

// Where one coordinate of a line may lie and still touch the surface: a line far off it is cut
// here before cairo's fixed-point coordinates would overflow.
int clampToSurface(long long value, int size) {
  return static_cast<int>(std::clamp<long long>(value, -1, size));
}

}  // namespace

std::string utf8FromWindows1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char byte : text) {
    const auto c = static_cast<unsigned char>(byte);
    if (c == 0) {
      // A NUL would end the text for the layout; show it as a replacement mark instead.
      appendUtf8(out, 0xFFFD);
    } else if (c >= 0x80 && c < 0xA0) {
      appendUtf8(out, kWindows1252High[c - 0x80]);
    } else {
      appendUtf8(out, c);
    }
  }
  return out;
}

CairoCanvas::CairoCanvas(cairo_surface_t* image)
    : CairoCanvas(image, cairo_image_surface_get_width(image),
                  cairo_image_surface_get_height(image)) {}

CairoCanvas::CairoCanvas(cairo_surface_t* target, int width, int height)
    : cr_(cairo_create(target)), target_(target), width_(width), height_(height) {
  cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
}

CairoCanvas::~CairoCanvas() {
  if (pointLayer_ != nullptr) cairo_surface_destroy(pointLayer_);
  if (layout_ != nullptr) g_object_unref(layout_);
  cairo_destroy(cr_);
}

void CairoCanvas::drawText(int x, int y, std::string_view text) {
  if (text.empty()) return;
  if (layout_ == nullptr) {
    layout_ = pango_cairo_create_layout(cr_);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout_), options);
    cairo_font_options_destroy(options);
    PangoFontDescription* font = pango_font_description_from_string(kTextFont);
    pango_font_description_set_absolute_size(font, kTextPixelSize * PANGO_SCALE);
    pango_layout_set_font_description(layout_, font);
    pango_layout_set_spacing(layout_, kLineGapPixels * PANGO_SCALE);
    pango_font_description_free(font);
    pango_layout_context_changed(layout_);
  }
  const std::string utf8 = utf8FromWindows1252(text);
  pango_layout_set_text(layout_, utf8.data(), static_cast<int>(utf8.size()));

  // Text is drawn opaque, white behind black, as a device context draws it by default.
  PangoRectangle logical;
  pango_layout_get_pixel_extents(layout_, nullptr, &logical);
  cairo_set_source_rgb(cr_, 1, 1, 1);
  cairo_rectangle(cr_, x + logical.x, y + logical.y, logical.width, logical.height);
  cairo_fill(cr_);
  cairo_set_source_rgb(cr_, 0, 0, 0);
  cairo_move_to(cr_, x, y);
  pango_cairo_show_layout(cr_, layout_);
  cairo_new_path(cr_);
}

void CairoCanvas::drawTextBlock(int right, int bottom, std::string_view text) {
  cairo_save(cr_);
  cairo_rectangle(cr_, 0, 0, right, bottom);
  cairo_clip(cr_);
  drawText(0, 0, text);
  cairo_restore(cr_);
}

void CairoCanvas::textOut(int x, int y, std::string_view text) {
  drawText(x, y, text);
}

std::uintptr_t CairoCanvas::selectFramePen() {
  const std::uintptr_t previous = pen_;
  pen_ = kFramePen;
  return previous;
}

void CairoCanvas::restorePen(std::uintptr_t previous) {
  pen_ = previous;
}

void CairoCanvas::moveTo(int x, int y) {
  currentX_ = x;
  currentY_ = y;
}

void CairoCanvas::addPixelRect(int x, int y, int width, int height) {
  cairo_rectangle(cr_, x, y, width, height);
}

void CairoCanvas::lineTo(int x, int y) {
  const long long x0 = currentX_;
  const long long y0 = currentY_;
  currentX_ = x;
  currentY_ = y;
  if (pen_ == kFramePen) {
    cairo_set_source_rgb(cr_, 0, 1, 1);
  } else {
    cairo_set_source_rgb(cr_, 0, 0, 0);
  }

  // Pixels from the start up to, not including, the end; whole-pixel rectangles, so nothing is
  // antialiased and a vector picture gets the same pixels. The plot draws only horizontal and
  // vertical lines; a slanted one draws nothing.
  if (y == y0 && x != x0) {
    const long long first = x > x0 ? x0 : x + 1LL;
    const long long last = x > x0 ? x - 1LL : x0;
    const int from = clampToSurface(first, width_);
    const int to = clampToSurface(last, width_);
    if (y >= 0 && y < height_) addPixelRect(from, y, to - from + 1, 1);
  } else if (x == x0 && y != y0) {
    const long long first = y > y0 ? y0 : y + 1LL;
    const long long last = y > y0 ? y - 1LL : y0;
    const int from = clampToSurface(first, height_);
    const int to = clampToSurface(last, height_);
    if (x >= 0 && x < width_) addPixelRect(x, from, 1, to - from + 1);
  }
  cairo_fill(cr_);
}

PixelImage CairoCanvas::beginPixels() {
  if (isImageSurface(target_)) return pixelsOf(target_);
  pointLayer_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width_, height_);
  if (cairo_surface_status(pointLayer_) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(pointLayer_);
    pointLayer_ = nullptr;
    return {};
  }
  return pixelsOf(pointLayer_);
}

void CairoCanvas::endPixels() {
  if (isImageSurface(target_)) {
    cairo_surface_mark_dirty(target_);
    return;
  }
  if (pointLayer_ == nullptr) return;
  cairo_surface_mark_dirty(pointLayer_);
  cairo_save(cr_);
  cairo_set_source_surface(cr_, pointLayer_, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_NEAREST);
  cairo_paint(cr_);
  cairo_restore(cr_);
  cairo_surface_destroy(pointLayer_);
  pointLayer_ = nullptr;
}

void paintClientSurface(AppState& state, cairo_surface_t* target, int width, int height) {
  {
    cairo_t* cr = cairo_create(target);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_destroy(cr);
  }
  CairoCanvas canvas(target, width, height);
  paintClientArea(state, canvas, width, height, width);
}

cairo_surface_t* paintImage(AppState& state, int width, int height) {
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
    paintClientSurface(state, image, width, height);
  }
  return image;
}
