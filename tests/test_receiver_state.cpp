#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "plugin/host_requests.h"
#include "plugin/receiver_state.h"

namespace {

std::atomic<int> inside{0};
std::atomic<int> overlaps{0};
std::atomic<int> blocks{0};
std::atomic<int> notices{0};

void overlap_detecting_callback(int count, int status, float, void*) {
  if (inside.fetch_add(1) != 0) overlaps++;
  std::this_thread::yield();
  if (count == SAMPLES_PER_BLOCK && status == 0) blocks++;
  if (count == -1) notices++;
  inside.fetch_sub(1);
}

}  // namespace

TEST(ReceiverState, HostCallsFromSeveralThreadsNeverOverlap) {
  ReceiverState state;
  state.set_host_callback(overlap_detecting_callback);
  std::vector<short> block(BLOCK_BYTES / 2);
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) state.call_host(SAMPLES_PER_BLOCK, 0, 0.0f, block.data());
    });
  }
  threads.emplace_back([&] {
    for (int i = 0; i < 2000; ++i) state.notify_host(STATUS_LO_CHANGED);
  });
  for (auto& t : threads) t.join();
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_EQ(blocks.load(), 6000);
  EXPECT_EQ(notices.load(), 2000);
}

TEST(ReceiverState, NothingReachesTheHostWithoutACallback) {
  ReceiverState state;
  blocks = 0;
  state.call_host(SAMPLES_PER_BLOCK, 0, 0.0f, nullptr);  // must not crash
  state.set_host_callback(overlap_detecting_callback);
  state.set_host_callback(nullptr);
  state.notify_host(STATUS_SAMPLE_RATE_CHANGED);
  EXPECT_EQ(blocks.load(), 0);
}

TEST(ReceiverState, TuneIsKeptPerSelectedChannel) {
  ReceiverState state;
  state.set_tune(7040000);
  state.set_channel_index(2);
  EXPECT_EQ(state.tune(), 0) << "channel 2 has had no tune yet";
  state.set_tune(14040000);
  state.set_channel_index(0);
  EXPECT_EQ(state.tune(), 7040000);
  state.set_channel_index(2);
  EXPECT_EQ(state.tune(), 14040000);
  state.set_channel_index(99);  // a code no window sends: stays within the array
  state.set_tune(1);
  EXPECT_EQ(state.tune(), 1);
}

TEST(ReceiverState, StartsAtZero) {
  ReceiverState state;
  EXPECT_EQ(state.att_index(), 0);
  EXPECT_EQ(state.sample_rate(), 0);
  EXPECT_EQ(state.lo_frequency(), 0);
  EXPECT_EQ(state.channel_index(), 0);
  EXPECT_EQ(state.gui_hidden(), 0);
  EXPECT_EQ(state.run_request(), 0);
}

namespace {
struct RecordingWindow : HostWindow {
  std::vector<HostRequest> seen;
  std::thread::id thread;
  void perform_host_request(const HostRequest& r) override {
    seen.push_back(r);
    thread = std::this_thread::get_id();
  }
  int selected_channel() const override { return 0; }
};
}  // namespace

TEST(HostRequestQueue, PerformsRequestsOnTheDrainingThreadInTheOrderMade) {
  HostRequestQueue queue;
  std::atomic<int> wakes{0};
  queue.set_waker([&] { wakes++; });
  std::thread host([&] {
    for (int i = 0; i < 100; ++i)
      queue.post({i % 2 ? HostRequest::SetRfGain : HostRequest::SetLoFromHost, i, 0});
  });
  host.join();
  RecordingWindow window;
  queue.drain(window);
  ASSERT_EQ(window.seen.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(window.seen[i].value, i);
  EXPECT_EQ(window.thread, std::this_thread::get_id());
  EXPECT_EQ(wakes.load(), 100);
  EXPECT_EQ(queue.size(), 0u);
}
