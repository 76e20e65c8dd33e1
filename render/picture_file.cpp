#include "render/picture_file.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "render/cairo_canvas.h"

namespace {

enum class PictureKind { Png, Svg, Pdf };

bool endsWithNoCase(const std::string& text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), text.end() - suffix.size(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  });
}

PictureKind pictureKindOf(const std::string& path) {
  if (endsWithNoCase(path, ".svg")) return PictureKind::Svg;
  if (endsWithNoCase(path, ".pdf")) return PictureKind::Pdf;
  return PictureKind::Png;
}

struct OutputFile {
  std::FILE* file;
  int writeErrno = 0;
};

cairo_status_t writeToFile(void* closure, const unsigned char* data, unsigned int length) {
  auto* output = static_cast<OutputFile*>(closure);
  if (std::fwrite(data, 1, length, output->file) == length) return CAIRO_STATUS_SUCCESS;
  output->writeErrno = errno;
  return CAIRO_STATUS_WRITE_ERROR;
}

cairo_status_t paintAndWrite(OutputFile& output, PictureKind kind, AppState& state, int width,
                             int height) {
  if (kind == PictureKind::Png) {
    cairo_surface_t* image = paintImage(state, width, height);
    cairo_status_t status = cairo_surface_status(image);
    if (status == CAIRO_STATUS_SUCCESS) {
      status = cairo_surface_write_to_png_stream(image, writeToFile, &output);
    }
    cairo_surface_destroy(image);
    return status;
  }
  cairo_surface_t* surface;
  if (kind == PictureKind::Svg) {
    surface = cairo_svg_surface_create_for_stream(writeToFile, &output, width, height);
    cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PX);
  } else {
    surface = cairo_pdf_surface_create_for_stream(writeToFile, &output, width, height);
  }
  paintClientSurface(state, surface, width, height);
  cairo_surface_finish(surface);
  const cairo_status_t status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  return status;
}

std::string failure(const std::string& path, const char* reason) {
  return "cannot write " + path + ": " + reason;
}

// mkstemp makes the file readable by its owner alone; a picture gets the usual permissions.
void giveUsualPermissions(int fd) {
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
}

}  // namespace

bool writePicture(AppState& state, int width, int height, const std::string& path,
                  std::string& error) {
  if (width <= 0 || height <= 0) {
    error = failure(path, "the picture size must be positive");
    return false;
  }
  namespace fs = std::filesystem;
  std::error_code ignored;
  const fs::file_status existing = fs::status(path, ignored);
  if (fs::is_directory(existing)) {
    error = failure(path, "it is a folder");
    return false;
  }
  // A device or a pipe is written straight; renaming onto it would replace it.
  const bool replace = !fs::exists(existing) || fs::is_regular_file(existing);
  const std::string target = fs::exists(existing) ? fs::canonical(path, ignored).string() : path;

  std::string temporary = target + ".tmp-XXXXXX";
  OutputFile output{nullptr};
  if (replace) {
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
      error = failure(path, std::strerror(errno));
      return false;
    }
    temporary = name.data();
    giveUsualPermissions(fd);
    output.file = fdopen(fd, "wb");
    if (output.file == nullptr) close(fd);
  } else {
    output.file = std::fopen(target.c_str(), "wb");
  }
  if (output.file == nullptr) {
    error = failure(path, std::strerror(errno));
    if (replace) std::remove(temporary.c_str());
    return false;
  }

  const cairo_status_t status = paintAndWrite(output, pictureKindOf(path), state, width, height);
  const int closeErrno = std::fclose(output.file) == 0 ? 0 : errno;
  if (status != CAIRO_STATUS_SUCCESS || closeErrno != 0) {
    const int reason = output.writeErrno != 0 ? output.writeErrno : closeErrno;
    error = failure(path, reason != 0 ? std::strerror(reason) : cairo_status_to_string(status));
    if (replace) std::remove(temporary.c_str());
    return false;
  }
  if (replace && std::rename(temporary.c_str(), target.c_str()) != 0) {
    error = failure(path, std::strerror(errno));
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}
