// Start-up from a mapped file: the same state as from the stream, whatever another program does
// to the file meanwhile, and memory given back behind the reading.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "app/startup.h"
#include "temp_file.h"

namespace {

// Some 6 MB: a slice of 1 byte reads the first of the reader's 1 MiB blocks and stops.
std::string tableText() {
  std::string text = "n,half,negative\n";
  for (int i = 0; i < 300000; ++i) {
    text += std::to_string(i) + "," + std::to_string(i / 2) + ".5," + std::to_string(-i) + "\n";
  }
  return text;
}

AppState startedOn(const std::string& fileName) {
  AppState state;
  startUpWithTokens(state, {fileName});
  return state;
}

void expectSameLoad(const AppState& loaded, const AppState& expected) {
  EXPECT_EQ(loaded.messageText, expected.messageText);
  EXPECT_EQ(loaded.names, expected.names);
  EXPECT_EQ(loaded.columns, expected.columns);
  EXPECT_EQ(loaded.panelText, expected.panelText);
}

// Begins a start-up on the file and reads its first block.
void beginAndReadABlock(AppState& state, StartUpLoad& load, const TempFile& file) {
  ASSERT_FALSE(beginStartUp(state, load, {file.name()}));
  ASSERT_TRUE(load.mapped);
  ASSERT_FALSE(continueStartUp(state, load, 1));
}

void finish(AppState& state, StartUpLoad& load) {
  while (!continueStartUp(state, load, 1)) {
  }
}

TEST(MappedStartUp, AFileShortenedWhileItLoadsLoadsAsItEnds) {
  const std::string text = tableText();
  // Ahead of the reading, on a page's edge and inside a page (its last line then cut short);
  // and behind the reading, in the block just read, whose pages the mapping then loses.
  for (const std::uintmax_t cut :
       {std::uintmax_t{4} << 20, (std::uintmax_t{4} << 20) + 1234, std::uintmax_t{300000}}) {
    const TempFile file(text);
    AppState state;
    StartUpLoad load;
    beginAndReadABlock(state, load, file);
    std::filesystem::resize_file(file.name(), cut);
    finish(state, load);
    expectSameLoad(state, startedOn(file.name()));
    EXPECT_FALSE(load.mapped);
  }
}

TEST(MappedStartUp, AFileCutAndRestoredWhileItLoadsIsReadAgain) {
  const std::string text = tableText();
  const TempFile file(text);
  const auto written = std::filesystem::last_write_time(file.name());
  AppState state;
  StartUpLoad load;
  beginAndReadABlock(state, load, file);
  // Cut behind the reading, which then meets the lost pages; its size and time are then back.
  std::filesystem::resize_file(file.name(), 300000);
  ASSERT_FALSE(continueStartUp(state, load, 1));
  std::ofstream(file.name(), std::ios::binary).write(text.data(), text.size());
  std::filesystem::last_write_time(file.name(), written);
  finish(state, load);
  expectSameLoad(state, startedOn(file.name()));
  EXPECT_FALSE(state.messageText);
}

TEST(MappedStartUp, AFileRewrittenWhileItLoadsIsReadAgain) {
  std::string text = tableText();
  const TempFile file(text);
  // An hour old, so that the rewrite shows in the time of the last change.
  std::filesystem::last_write_time(
      file.name(), std::filesystem::last_write_time(file.name()) - std::chrono::hours(1));
  AppState state;
  StartUpLoad load;
  beginAndReadABlock(state, load, file);
  // The same size: a value in the block already read, and one ahead of the reading.
  for (const std::size_t at : {std::size_t{1000}, text.size() / 2}) {
    const std::size_t lineStart = text.rfind('\n', at) + 1;
    text[lineStart] = text[lineStart] == '9' ? '8' : '9';
  }
  std::ofstream(file.name(), std::ios::binary | std::ios::in).write(text.data(), text.size());
  finish(state, load);
  expectSameLoad(state, startedOn(file.name()));
  EXPECT_NE(state.columns, AppState{}.columns);
}

std::uint64_t residentFileBytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("RssFile:", 0) == 0) return std::stoull(line.substr(8)) * 1024;
  }
  return 0;
}

TEST(MappedStartUp, PagesBehindTheReadingAreGivenBack) {
  const TempFile file(tableText() + tableText().substr(16) + tableText().substr(16));
  const std::uint64_t before = residentFileBytes();
  AppState state;
  StartUpLoad load;
  beginAndReadABlock(state, load, file);
  std::uint64_t most = 0;
  while (!continueStartUp(state, load, 1)) most = std::max(most, residentFileBytes());
  EXPECT_LT(most, before + (std::uint64_t{8} << 20)) << "of a file of 19 MB";
  expectSameLoad(state, startedOn(file.name()));
}

TEST(MappedStartUp, FilesThatDoNotMapReadAsStreams) {
  const std::string text = "a,b\n1,2\n3,4\n";
  const TempFile regular(text);
  const AppState expected = startedOn(regular.name());

  // A pipe, written while it is read.
  const std::string pipe = regular.name() + ".pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::thread writer([&] { std::ofstream(pipe, std::ios::binary) << text; });
  expectSameLoad(startedOn(pipe), expected);
  writer.join();
  std::filesystem::remove(pipe);

  // A second file while one is mapped.
  AppState first;
  StartUpLoad firstLoad;
  ASSERT_FALSE(beginStartUp(first, firstLoad, {regular.name()}));
  EXPECT_TRUE(firstLoad.mapped);
  AppState second;
  StartUpLoad secondLoad;
  ASSERT_FALSE(beginStartUp(second, secondLoad, {regular.name()}));
  EXPECT_FALSE(secondLoad.mapped);
  finish(second, secondLoad);
  finish(first, firstLoad);
  expectSameLoad(first, expected);
  expectSameLoad(second, expected);

  const TempFile empty("");
  EXPECT_EQ(startedOn(empty.name()).messageText,
            "There must be at least 2 columns in the input data.");
}

TEST(MappedStartUpDeathTest, ABusErrorElsewhereStillEndsTheProcess) {
  const TempFile file("a,b\n1,2\n");
  EXPECT_DEATH(
      {
        AppState state;
        StartUpLoad load;
        beginStartUp(state, load, {file.name()});
        if (load.mapped) std::raise(SIGBUS);
      },
      "");
}

}  // namespace
