// A thread that helps the reader beside it, with the lock, the signal and the stop request that
// the reader and it share. Used by the Linux sides of the read-ahead and the page warmer.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

struct HelperThread {
  std::mutex mutex;
  std::condition_variable changed;  // signalled whenever the shared state changes
  bool stopping = false;            // under mutex
  std::thread thread;
};

// Starts `work` on the thread; false where the system has no thread to give.
inline bool startHelper(HelperThread& helper, std::function<void()> work) {
  try {
    helper.thread = std::thread(std::move(work));
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

// Asks the thread to stop and waits until it has.
inline void stopHelper(HelperThread& helper) {
  {
    const std::lock_guard lock(helper.mutex);
    helper.stopping = true;
  }
  helper.changed.notify_all();
  helper.thread.join();
}
