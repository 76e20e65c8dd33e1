// A canvas for the tests: it writes every drawing call down as one line of text and hands out a
// pixel buffer of its own, padded at the end of every row so that a write past a row shows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "render/canvas.h"

class RecordingCanvas final : public Canvas {
 public:
  static constexpr std::uintptr_t kPreviousPen = 41;
  static constexpr std::uint32_t kBackground = 0x12345678;
  static constexpr int kRowPadding = 3;

  RecordingCanvas(int width = 0, int height = 0)
      : width_(width),
        height_(height),
        stride_(width + kRowPadding),
        memory_(static_cast<std::size_t>(stride_) * height, kBackground) {}

  void drawTextBlock(int right, int bottom, std::string_view text) override {
    record("drawTextBlock " + std::to_string(right) + " " + std::to_string(bottom) + " " +
           std::string(text));
  }
  void textOut(int x, int y, std::string_view text) override {
    record("textOut " + std::to_string(x) + " " + std::to_string(y) + " " + std::string(text));
  }
  std::uintptr_t selectFramePen() override {
    record("selectFramePen");
    return kPreviousPen;
  }
  void restorePen(std::uintptr_t previous) override {
    record("restorePen " + std::to_string(previous));
  }
  void moveTo(int x, int y) override {
    record("moveTo " + std::to_string(x) + " " + std::to_string(y));
  }
  void lineTo(int x, int y) override {
    record("lineTo " + std::to_string(x) + " " + std::to_string(y));
  }
  PixelImage beginPixels() override {
    record("beginPixels");
    return PixelImage{memory_.empty() ? nullptr : memory_.data(), width_, height_, stride_};
  }
  void endPixels() override { record("endPixels"); }

  const std::vector<std::string>& calls() const { return calls_; }
  std::uint32_t pixel(int x, int y) const { return memory_[y * stride_ + x]; }
  // The whole buffer, padding included.
  const std::vector<std::uint32_t>& memory() const { return memory_; }

 private:
  void record(std::string call) { calls_.push_back(std::move(call)); }

  int width_;
  int height_;
  int stride_;
  std::vector<std::uint32_t> memory_;
  std::vector<std::string> calls_;
};
