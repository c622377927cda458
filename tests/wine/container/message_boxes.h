// Finds the message boxes this process shows, prints each as "msgbox CAPTION: TEXT" and presses
// OK, as a person at the page would: the control's call then returns as it does after a click.
#pragma once

#include <atomic>
#include <thread>

namespace container {

class MessageBoxWatcher {
 public:
  MessageBoxWatcher();
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

 private:
  void Watch();
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace container
