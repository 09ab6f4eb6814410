// The mass-storage reader against the simulated drive, whose stream.dat holds
// a ramp per channel (frame n, channel c: I = n + 256 c, Q = -I), so every
// sample the host receives can be checked for loss, repetition or a wrong
// channel.
#include <QElapsedTimer>
#include <QThread>
#include <functional>
#include <mutex>
#include <vector>

#include "plugin/receiver_state.h"
#include "test_usb_support.h"
#include "usb/usb_app.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

struct Delivery {
  std::vector<uint16_t> i;  // I of every sample delivered
  std::vector<uint16_t> q;
  std::vector<int> reads_seen;  // drive reads issued when each block arrived
  int blocks = 0;
};

std::mutex delivery_lock;
Delivery delivered;
MsdDrive* watched_drive = nullptr;

void record_block(int count, int status, float, void* data) {
  if (count != SAMPLES_PER_BLOCK || status != 0) return;
  const int reads = watched_drive ? watched_drive->stream_reads() : 0;
  std::lock_guard<std::mutex> hold(delivery_lock);
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  for (int s = 0; s < SAMPLES_PER_BLOCK; ++s) {
    delivered.i.push_back(static_cast<uint16_t>(bytes[4 * s] | (bytes[4 * s + 1] << 8)));
    delivered.q.push_back(static_cast<uint16_t>(bytes[4 * s + 2] | (bytes[4 * s + 3] << 8)));
  }
  delivered.reads_seen.push_back(reads);
  ++delivered.blocks;
}

int blocks_delivered() {
  std::lock_guard<std::mutex> hold(delivery_lock);
  return delivered.blocks;
}

bool wait_until(const std::function<bool()>& done, int timeout_ms = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeout_ms) return false;
    QThread::msleep(5);
  }
  return true;
}

std::wstring wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

class UsbAppTest : public UsbLinkTest {
 protected:
  void SetUp() override {
    UsbLinkTest::SetUp();
    {
      std::lock_guard<std::mutex> hold(delivery_lock);
      delivered = Delivery();
    }
    receiver_state().set_host_callback(record_block);
  }

  void TearDown() override {
    reader_.stop_reader();
    if (drive_) drive_->hold_stream_reads(false);
    reader_.wait();
    receiver_state().set_host_callback(nullptr);
    watched_drive = nullptr;
    UsbLinkTest::TearDown();
  }

  void point_reader_at_drive() {
    watched_drive = drive_.get();
    reader_.set_drive_path(wide(mount_point_ + "/").c_str());
  }

  void stream_blocks(int blocks) {
    reader_.start_reader();
    ASSERT_TRUE(wait_until([&] { return blocks_delivered() >= blocks; }))
        << "only " << blocks_delivered() << " blocks arrived";
    reader_.stop_reader();
    ASSERT_TRUE(reader_.wait(5000));
  }

  USB_App reader_;
};

struct StreamCase {
  const char* label;
  int rx_mode, channel, diversity;
  int read_bytes;       // what each drive read returns (-1: the 8192 asked for)
  int blocks_per_read;  // 0: not a whole number (short reads)
  uint16_t first_i;     // I of the first sample
  uint16_t step;        // I grows by this from sample to sample
};
void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.label; }

class UsbAppStream : public UsbAppTest, public ::testing::WithParamInterface<StreamCase> {};

}  // namespace

TEST_P(UsbAppStream, DeliversTheSelectedSamplesWithoutLossOrRepeat) {
  const StreamCase& c = GetParam();
  MOUNT_DRIVE();
  drive_->with_firmware([&](SimFirmware& f) { f.rx_mode = c.rx_mode; });
  drive_->set_stream_read_bytes(c.read_bytes);
  reader_.set_rx_mode(c.rx_mode);
  reader_.set_selected_channel(c.channel);
  reader_.set_diversity(c.diversity);
  point_reader_at_drive();
  // Over three times round the 32-block ring.
  ASSERT_NO_FATAL_FAILURE(stream_blocks(100));

  std::lock_guard<std::mutex> hold(delivery_lock);
  uint16_t expected = c.first_i;
  for (size_t s = 0; s < delivered.i.size(); ++s, expected += c.step) {
    ASSERT_EQ(delivered.i[s], expected) << "sample " << s;
    ASSERT_EQ(delivered.q[s], static_cast<uint16_t>(-expected)) << "sample " << s;
  }
  if (c.blocks_per_read) {
    // The next read goes out only once the ring holds less than a block.
    for (size_t b = 0; b < delivered.reads_seen.size(); ++b)
      ASSERT_EQ(delivered.reads_seen[b], int(b) / c.blocks_per_read + 1) << "block " << b;
  }
  for (int64_t offset : drive_->stream_read_offsets()) ASSERT_EQ(offset, 512);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, UsbAppStream,
    ::testing::Values(
        StreamCase{"SingleChannelFourBlocksPerRead", 0, 0, 0, -1, 4, 0, 1},
        StreamCase{"DualChannelSecondChannel", 2, 2, 0, -1, 2, 256, 1},
        StreamCase{"QuadChannelDiversitySum", 5, 0, 1, -1, 1, 4 * 0 + 256 * (0 + 1 + 2 + 3), 4},
        StreamCase{"QuadChannelFourthChannel", 5, 4, 0, -1, 1, 768, 1},
        // Short reads leave the ring's end inside a read: the part beyond it
        // continues at the ring's start from the right input frame.
        StreamCase{"SingleChannelShortReads", 0, 0, 0, 3000, 0, 0, 1},
        StreamCase{"DualChannelShortReads", 2, 2, 0, 3000, 0, 256, 1},
        StreamCase{"QuadDiversityShortReadsEndingInsideAFrame", 4, 0, 1, 3000, 0, 1536, 4}),
    [](const ::testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.label); });

TEST_F(UsbAppTest, EmptyReadIssuesTheNextReadAndDeliversNothing) {
  MOUNT_DRIVE();
  drive_->set_stream_read_bytes(0);
  point_reader_at_drive();
  reader_.start_reader();
  EXPECT_TRUE(wait_until([&] { return drive_->stream_reads() >= 20; }));
  reader_.stop_reader();
  ASSERT_TRUE(reader_.wait(5000));
  EXPECT_EQ(blocks_delivered(), 0);
  EXPECT_EQ(reader_.take_block_count(), 0);
}

TEST_F(UsbAppTest, StopDuringAnOutstandingReadEndsTheThread) {
  MOUNT_DRIVE();
  drive_->hold_stream_reads(true);
  point_reader_at_drive();
  CaptureStderr();
  reader_.start_reader();
  ASSERT_TRUE(wait_until([&] { return drive_->reads_waiting() == 1; }));
  reader_.stop_reader();
  const bool ended = reader_.wait(5000);
  const std::string messages = GetCapturedStderr();
  EXPECT_TRUE(ended) << "the reader must not wait for a read the drive never answers";
  EXPECT_EQ(messages, "start thread 0\nFinish IO stream!\n");
  EXPECT_EQ(blocks_delivered(), 0);
  drive_->hold_stream_reads(false);  // the abandoned read completes into nothing
}

TEST_F(UsbAppTest, StopRightAfterStartIsNotLost) {
  MOUNT_DRIVE();
  point_reader_at_drive();
  for (int run = 0; run < 3; ++run) {
    reader_.start_reader();
    reader_.stop_reader();
    EXPECT_TRUE(reader_.wait(5000)) << "run " << run;
  }
}

TEST_F(UsbAppTest, MissingStreamFileEndsTheRunAndALaterStartTriesAgain) {
  MOUNT_DRIVE(MsdDrive::Files{true, true, false});
  point_reader_at_drive();
  CaptureStderr();
  reader_.start_reader();
  ASSERT_TRUE(reader_.wait(5000)) << "the thread ends by itself";
  EXPECT_EQ(GetCapturedStderr(), "start thread 0\nIn File error: " + mount_point_ + "/stream.dat\n");
  EXPECT_EQ(blocks_delivered(), 0);

  drive_->set_files(MsdDrive::Files{});
  CaptureStderr();
  ASSERT_NO_FATAL_FAILURE(stream_blocks(8));
  EXPECT_EQ(GetCapturedStderr(), "start thread 1\nFinish IO stream!\n");
  EXPECT_GE(reader_.take_block_count(), 8);
  EXPECT_EQ(reader_.take_block_count(), 0) << "taking the count clears it";
}
