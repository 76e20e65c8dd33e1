// The unit tests' main on Windows: GoogleTest's, with its printer's reports of failures and skips
// kept off OutputDebugStringA. That call raises an exception, and where these tests run under
// qemu-user's 32-bit emulation (kernels without 32-bit support), wine's exception dispatch then
// reloads %fs from a descriptor that qemu shares between threads instead of keeping one a thread:
// once GoogleTest has started its thread-local watcher thread, the first failure or skip would end
// the whole program with the rest of its tests unrun.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

// GoogleTest's default printer with the one event that reaches the debugger printed here instead.
class PrinterWithoutDebugger : public testing::TestEventListener {
 public:
  explicit PrinterWithoutDebugger(testing::TestEventListener* printer) : printer_(printer) {}

  void OnTestPartResult(const testing::TestPartResult& result) override {
    if (result.type() == testing::TestPartResult::kSuccess) return;
    const char* file = result.file_name();
    if (file == nullptr) {
      std::printf("unknown file: ");
    } else {
      std::printf("%s:%d: ", file, result.line_number());
    }
    std::printf("%s\n%s\n", result.skipped() ? "Skipped" : "Failure", result.message());
    std::fflush(stdout);
  }

  void OnTestProgramStart(const testing::UnitTest& test) override {
    printer_->OnTestProgramStart(test);
  }
  void OnTestIterationStart(const testing::UnitTest& test, int iteration) override {
    printer_->OnTestIterationStart(test, iteration);
  }
  void OnEnvironmentsSetUpStart(const testing::UnitTest& test) override {
    printer_->OnEnvironmentsSetUpStart(test);
  }
  void OnEnvironmentsSetUpEnd(const testing::UnitTest& test) override {
    printer_->OnEnvironmentsSetUpEnd(test);
  }
  // The printer overrides either the suite or the older case name of these; both are passed on.
  void OnTestSuiteStart(const testing::TestSuite& suite) override {
    printer_->OnTestSuiteStart(suite);
  }
  void OnTestCaseStart(const testing::TestCase& suite) override {
    printer_->OnTestCaseStart(suite);
  }
  void OnTestStart(const testing::TestInfo& info) override { printer_->OnTestStart(info); }
  void OnTestDisabled(const testing::TestInfo& info) override { printer_->OnTestDisabled(info); }
  void OnTestEnd(const testing::TestInfo& info) override { printer_->OnTestEnd(info); }
  void OnTestSuiteEnd(const testing::TestSuite& suite) override { printer_->OnTestSuiteEnd(suite); }
  void OnTestCaseEnd(const testing::TestCase& suite) override { printer_->OnTestCaseEnd(suite); }
  void OnEnvironmentsTearDownStart(const testing::UnitTest& test) override {
    printer_->OnEnvironmentsTearDownStart(test);
  }
  void OnEnvironmentsTearDownEnd(const testing::UnitTest& test) override {
    printer_->OnEnvironmentsTearDownEnd(test);
  }
  void OnTestIterationEnd(const testing::UnitTest& test, int iteration) override {
    printer_->OnTestIterationEnd(test, iteration);
  }
  void OnTestProgramEnd(const testing::UnitTest& test) override {
    printer_->OnTestProgramEnd(test);
  }

 private:
  std::unique_ptr<testing::TestEventListener> printer_;
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::TestEventListeners& listeners = testing::UnitTest::GetInstance()->listeners();
  listeners.Append(
      new PrinterWithoutDebugger(listeners.Release(listeners.default_result_printer())));
  return RUN_ALL_TESTS();
}
