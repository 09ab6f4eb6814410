#include "plugin/host_requests.h"

#include <QMutexLocker>

std::atomic<HostWindow*> the_window{nullptr};
std::atomic<float> window_gain_db{0.0f};

void HostRequestQueue::post(const HostRequest& request) {
  std::function<void()> waker;
  {
    QMutexLocker lock(&lock_);
    queue_.push_back(request);
    waker = waker_;
  }
  if (waker) waker();
}

void HostRequestQueue::drain(HostWindow& window) {
  for (;;) {
    HostRequest next;
    {
      QMutexLocker lock(&lock_);
      if (queue_.empty()) return;
      next = queue_.front();
      queue_.pop_front();
    }
    // Performed outside the lock: the window may call back into the plug-in.
    window.perform_host_request(next);
  }
}

void HostRequestQueue::set_waker(std::function<void()> waker) {
  QMutexLocker lock(&lock_);
  waker_ = std::move(waker);
}

void HostRequestQueue::clear() {
  QMutexLocker lock(&lock_);
  queue_.clear();
}

size_t HostRequestQueue::size() {
  QMutexLocker lock(&lock_);
  return queue_.size();
}
