#pragma once

#include <algorithm>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "workflow/worker.h"

namespace quilltest {

// Records the (type, value) pairs that the worker sends, from whichever
// thread sends them: the recorder is the worker's callback while it lives,
// and the callback is cleared when it goes away.
class NotificationRecorder {
 public:
  NotificationRecorder() {
    worker_->notify = &NotificationRecorder::Receive;
    worker_->notifyContext = this;
  }
  ~NotificationRecorder() {
    worker_->notify = nullptr;
    worker_->notifyContext = nullptr;
  }
  NotificationRecorder(const NotificationRecorder&) = delete;
  NotificationRecorder& operator=(const NotificationRecorder&) = delete;

  std::vector<std::pair<int, int>> Received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    received_.clear();
  }
  bool Saw(int type) const {
    const std::vector<std::pair<int, int>> received = Received();
    return std::any_of(received.begin(), received.end(),
                       [type](const std::pair<int, int>& each) { return each.first == type; });
  }
  // The types in order, each run of progress reports as one.
  std::vector<int> Sequence() const {
    std::vector<int> sequence;
    for (const auto& received : Received()) {
      if (received.first != rerozadez::NotifyProgress || sequence.empty() ||
          sequence.back() != rerozadez::NotifyProgress) {
        sequence.push_back(received.first);
      }
    }
    return sequence;
  }
  // The percentage of the last progress report, or -1.
  int LastProgress() const {
    int last = -1;
    for (const auto& received : Received()) {
      last = received.first == rerozadez::NotifyProgress ? received.second : last;
    }
    return last;
  }

  // Runs on the sending thread after each pair is recorded; set it while no
  // run is in progress.
  std::function<void(int type, int value)> onNotify;

 private:
  static void Receive(int type, int value, void* context) {
    NotificationRecorder* recorder = static_cast<NotificationRecorder*>(context);
    {
      std::lock_guard<std::mutex> lock(recorder->mutex_);
      recorder->received_.push_back({type, value});
    }
    if (recorder->onNotify) {
      recorder->onNotify(type, value);
    }
  }

  rerozadez::CReroZadezHelper* const worker_ = rerozadez::GetReroZadezHelper();
  mutable std::mutex mutex_;
  std::vector<std::pair<int, int>> received_;
};

}  // namespace quilltest
