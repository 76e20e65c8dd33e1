// veloplot-render as a script sees it: exit status, standard output and standard error.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "temp_file.h"

namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// `limits` are shell commands run first, in the same shell.
Outcome render(const std::string& arguments, const std::string& limits = "") {
  TempFile out("", ".out");
  TempFile err("", ".err");
  const std::string command =
      limits + VELOPLOT_RENDER_PATH + " " + arguments + " >" + out.name() + " 2>" + err.name();
  const int raw = std::system(command.c_str());
  return Outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readWhole(out.name()),
                 readWhole(err.name())};
}

std::string quoted(const std::string& text) {
  return "'" + text + "'";
}

TEST(RenderCli, LoadedFileWritesTextThenState) {
  TempFile data("t,v\n0,1\n7,2\n");
  const Outcome run =
      render("--print-text --print-state --keys 'PageDown d' " + quoted(data.name()));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::string text = "  t - X axis\n* v - Y axis\n";
  ASSERT_EQ(run.out.substr(0, text.size() + 1), text + "\n");
  EXPECT_EQ(run.out.substr(text.size() + 1, 40), "{\"message\": null, \"helpVisible\": false, ");
  EXPECT_NE(run.out.find("\"significantOnly\": true"), std::string::npos);
  EXPECT_NE(run.out.find("\"selectedDim\": 1"), std::string::npos);
}

TEST(RenderCli, HelpTextAndStartUpMessages) {
  TempFile data("t,v\n0,1\n");
  const Outcome help = render("--print-text --keys h " + quoted(data.name()));
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.substr(0, 12), "\n Veloplot -");

  const Outcome missing = render("--print-text /no/such.csv");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "Cound not open file: /no/such.csv");
  EXPECT_EQ(missing.err, "Cound not open file: /no/such.csv\n");

  TempFile bad("a,b,c\n1,,2\n");
  const Outcome rejected = render("--print-state " + quoted(bad.name()));
  EXPECT_EQ(rejected.status, 1);
  EXPECT_EQ(rejected.err, "Not enough values in line 1.\n");
  EXPECT_NE(rejected.out.find("\"rows\": 0, \"dims\": []}"), std::string::npos) << rejected.out;

  const Outcome none = render("--print-text");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "Usage: Veloplot.exe <file name>");
}

TEST(RenderCli, UsageErrorsExitTwo) {
  TempFile data("t,v\n0,1\n");
  for (const char* arguments : {"--size 0x5", "--keys Tab", "--bogus", "--size 20000x10"}) {
    const Outcome run = render(std::string(arguments) + " " + quoted(data.name()));
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.err.rfind("veloplot-render: ", 0), 0u) << run.err;
    EXPECT_EQ(run.out, "");
  }
  const Outcome unwritable = render("-o /no/such/folder/out.png " + quoted(data.name()));
  EXPECT_EQ(unwritable.status, 2);
  EXPECT_FALSE(std::filesystem::exists("/no/such/folder/out.png"));
  EXPECT_EQ(render("--version").out, "veloplot-render 0.2a1\n");
}

// Under the sanitizers a limit on address space stops the process before it starts.
#ifndef __SANITIZE_ADDRESS__
TEST(RenderCli, ATableBeyondMemoryEndsInAMessage) {
  std::string text = "a,b,c,d,e,f\n";
  for (int row = 0; row < 3000000; ++row) text += "1,2,3,4,5,6\n";
  TempFile data(text);  // 36 MB of text, 144 MB of values
  const Outcome run = render("--print-text " + quoted(data.name()), "ulimit -v 80000; ");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "There is not enough memory to load the input file.");
}
#endif

}  // namespace
