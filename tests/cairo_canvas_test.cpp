#include "render/cairo_canvas.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "render/picture_file.h"
#include "scale_helpers.h"

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kCyan = 0xFF00FFFF;
constexpr std::uint32_t kBlack = 0xFF000000;

std::uint32_t pixelAt(cairo_surface_t* image, int x, int y) {
  cairo_surface_flush(image);
  const unsigned char* row =
      cairo_image_surface_get_data(image) + y * cairo_image_surface_get_stride(image);
  return reinterpret_cast<const std::uint32_t*>(row)[x];
}

cairo_surface_t* whiteImage(int width, int height) {
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(image);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_destroy(cr);
  return image;
}

AppState loadedState() {
  return twoColumnState("* a \xB1 1\nb\n");
}

TEST(CairoCanvas, LinesAreWholePixelsWithoutTheirEndPoint) {
  cairo_surface_t* image = whiteImage(40, 30);
  {
    CairoCanvas canvas(image);
    const std::uintptr_t previous = canvas.selectFramePen();
    canvas.moveTo(10, 5);
    canvas.lineTo(20, 5);   // 10..19
    canvas.lineTo(20, 15);  // 5..14 at x = 20
    canvas.moveTo(30, 25);
    canvas.lineTo(25, 25);  // 30 down to 26
    canvas.restorePen(previous);
    canvas.moveTo(0, 0);
    canvas.lineTo(0, 3);  // the pen given back is black again
  }
  for (int x = 10; x < 20; ++x) EXPECT_EQ(pixelAt(image, x, 5), kCyan) << x;
  EXPECT_EQ(pixelAt(image, 9, 5), kWhite);
  for (int y = 5; y < 15; ++y) EXPECT_EQ(pixelAt(image, 20, y), kCyan) << y;
  EXPECT_EQ(pixelAt(image, 20, 15), kWhite);
  EXPECT_EQ(pixelAt(image, 20, 4), kWhite);
  for (int x = 26; x <= 30; ++x) EXPECT_EQ(pixelAt(image, x, 25), kCyan) << x;
  EXPECT_EQ(pixelAt(image, 25, 25), kWhite);
  EXPECT_EQ(pixelAt(image, 10, 4), kWhite);
  EXPECT_EQ(pixelAt(image, 10, 6), kWhite);
  EXPECT_EQ(pixelAt(image, 0, 2), kBlack);
  EXPECT_EQ(pixelAt(image, 0, 3), kWhite);
  cairo_surface_destroy(image);
}

TEST(CairoCanvas, PaintsFrameTextAndPointsOnWhite) {
  AppState state = loadedState();
  cairo_surface_t* image = paintImage(state, 1000, 700);
  ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
  for (const auto& [x, y] : {std::pair{300, 10}, {930, 10}, {930, 670}, {300, 670}, {615, 400}}) {
    EXPECT_EQ(pixelAt(image, x, y), kCyan) << x << "," << y;
  }
  EXPECT_EQ(pixelAt(image, 615, 340), kBlack);
  EXPECT_EQ(pixelAt(image, 999, 0), kWhite);
  EXPECT_EQ(pixelAt(image, 620, 300), kWhite);
  EXPECT_EQ(pixelAt(image, 931, 671), kWhite);

  int darkInPanel = 0;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 100; ++x) darkInPanel += (pixelAt(image, x, y) & 0xFF) < 0x80;
  }
  EXPECT_GT(darkInPanel, 20);
  cairo_surface_destroy(image);
}

TEST(CairoCanvas, TextBlockLinesAre16PixelsApartAndClipped) {
  cairo_surface_t* image = whiteImage(200, 60);
  {
    CairoCanvas canvas(image);
    canvas.drawTextBlock(30, 60, "HWWWWWWWWWWWWWWW\nH\nH");
  }
  std::vector<int> lineTops;
  bool previousRowDark = false;
  for (int y = 0; y < 60; ++y) {
    bool dark = false;
    for (int x = 0; x < 200; ++x) {
      if (x >= 30) {
        ASSERT_EQ(pixelAt(image, x, y), kWhite) << x << "," << y;
      }
      dark = dark || (pixelAt(image, x, y) & 0xFF) < 0x80;
    }
    if (dark && !previousRowDark) lineTops.push_back(y);
    previousRowDark = dark;
  }
  ASSERT_EQ(lineTops.size(), 3u);
  EXPECT_EQ(lineTops[1] - lineTops[0], 16);
  EXPECT_EQ(lineTops[2] - lineTops[1], 16);
  cairo_surface_destroy(image);
}

TEST(CairoCanvas, Windows1252BecomesUtf8) {
  EXPECT_EQ(utf8FromWindows1252("a \xB1 b"), "a \xC2\xB1 b");
  EXPECT_EQ(utf8FromWindows1252("\x80\x9F\xFF"), "\xE2\x82\xAC\xC5\xB8\xC3\xBF");
  EXPECT_EQ(utf8FromWindows1252(std::string_view("x\0y", 3)), "x\xEF\xBF\xBDy");
}

class PictureFile : public ::testing::Test {
 protected:
  void SetUp() override {
    folder =
        std::filesystem::temp_directory_path() /
        ("veloplot-picture-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  std::string contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::size_t filesInFolder() {
    return std::distance(std::filesystem::directory_iterator(folder), {});
  }

  std::filesystem::path folder;
};

TEST_F(PictureFile, PngHoldsExactlyThePaintedImage) {
  AppState state = loadedState();
  const std::string path = (folder / "out.png").string();
  std::string error;
  ASSERT_TRUE(writePicture(state, 640, 300, path, error)) << error;
  EXPECT_EQ(filesInFolder(), 1u);

  cairo_surface_t* read = cairo_image_surface_create_from_png(path.c_str());
  cairo_surface_t* painted = paintImage(state, 640, 300);
  ASSERT_EQ(cairo_image_surface_get_width(read), 640);
  ASSERT_EQ(cairo_image_surface_get_height(read), 300);
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 640; ++x) ASSERT_EQ(pixelAt(read, x, y), pixelAt(painted, x, y));
  }
  cairo_surface_destroy(read);
  cairo_surface_destroy(painted);
}

TEST_F(PictureFile, VectorPicturesKeepThePointsAsOneImage) {
  AppState state = loadedState();
  state.columns = {std::vector<double>(200000), std::vector<double>(200000)};
  for (int i = 0; i < 200000; ++i) {
    state.columns[0][i] = (i % 997) / 99.7;
    state.columns[1][i] = (i % 991) / 99.1;
  }
  std::string error;
  ASSERT_TRUE(writePicture(state, 1000, 700, (folder / "out.svg").string(), error)) << error;
  ASSERT_TRUE(writePicture(state, 1000, 700, (folder / "out.PDF").string(), error)) << error;
  const std::string svg = contents(folder / "out.svg");
  const std::string pdf = contents(folder / "out.PDF");
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(svg.find("width=\"1000px\""), std::string::npos);
  EXPECT_NE(svg.find("<image"), std::string::npos);
  EXPECT_LT(svg.size(), 400000u);
  EXPECT_EQ(pdf.rfind("%PDF", 0), 0u);
  EXPECT_LT(pdf.size(), 400000u);
  EXPECT_EQ(filesInFolder(), 2u);
}

TEST_F(PictureFile, UnwritablePathFailsAndLeavesNothing) {
  AppState state = loadedState();
  std::string error;
  const std::string missing = (folder / "no-such-folder" / "out.png").string();
  EXPECT_FALSE(writePicture(state, 100, 100, missing, error));
  EXPECT_NE(error.find(missing), std::string::npos);
  EXPECT_FALSE(writePicture(state, 100, 100, folder.string(), error));
  EXPECT_EQ(filesInFolder(), 0u);

  const std::filesystem::path existing = folder / "keep.png";
  std::ofstream(existing) << "old";
  EXPECT_FALSE(writePicture(state, 0, 100, existing.string(), error));
  EXPECT_EQ(contents(existing), "old");
  EXPECT_EQ(filesInFolder(), 1u);
}

}  // namespace
