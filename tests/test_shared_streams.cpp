// Copies of the plug-in in separate host processes sharing one network
// receiver: the order of start decides the stream, a closed copy's stream is
// taken again, and a copy killed with kill -9 does not keep its stream.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QSharedMemory>
#include <chrono>
#include <thread>

#include "net/stream_share.h"
#include "support/fresh_plugin.h"

namespace {

const char SHARED_NETWORK_RECEIVER[] =
    "[General]\nnetwork_enable_flag=1\nmulti_stream_flag=1\nudp_port=50000\n"
    "sdr_ip_address=127.0.0.2\nrivulet_discovery=0\n";

// extio_host open PLUGIN --seconds S in a scratch directory of its own.
pid_t start_copy(double seconds, const char* settings = SHARED_NETWORK_RECEIVER) {
  const std::string dir = make_scratch_dir("copy");
  write_file(dir + "/sdr_config.ini", settings);
  const std::string duration = std::to_string(seconds);
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, 1);
    dup2(quiet, 2);
    execl(EXTIO_HOST_PATH, "extio_host", "open", PLUGIN_PATH, "--seconds", duration.c_str(), nullptr);
    _exit(127);
  }
  return pid;
}

// The shared word, or -1 when there is no segment.
long shared_word() {
  QSharedMemory probe(STREAM_SHARE_KEY);
  if (!probe.attach(QSharedMemory::ReadOnly)) return -1;
  const long word = *static_cast<const uint32_t*>(probe.constData());
  probe.detach();
  return word;
}

// The streams whose lease a live copy holds.
long held_streams() {
  long held = 0;
  for (int bit = 0; bit < SHARED_STREAMS; ++bit) {
    StreamLease probe;
    if (!probe.take(STREAM_SHARE_KEY, bit)) held |= 1L << bit;
  }
  return held;
}

template <typename Done>
bool wait_until(Done done, int ms = 15000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return done();
}

bool ends_cleanly(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

TEST(SharedStreams, HostProcessesTakeStreamsInTurnAndAKilledCopysStreamComesBack) {
  ASSERT_EQ(shared_word(), -1) << "a segment of another run is still attached";
  const pid_t first = start_copy(60);
  ASSERT_TRUE(wait_until([] { return held_streams() == 0x1; }));
  const pid_t second = start_copy(4);
  ASSERT_TRUE(wait_until([] { return held_streams() == 0x3; }));
  const pid_t third = start_copy(12);
  ASSERT_TRUE(wait_until([] { return held_streams() == 0x7; }));
  EXPECT_EQ(shared_word(), 0x7);

  // The second copy closes; the next one to start gets stream 2 again.
  EXPECT_TRUE(ends_cleanly(second));
  EXPECT_EQ(shared_word(), 0x5);
  const pid_t fourth = start_copy(12);
  ASSERT_TRUE(wait_until([] { return held_streams() == 0x7; }));
  EXPECT_EQ(shared_word(), 0x7);

  // Killed: its bit stays in the word, its lease goes with the process.
  kill(first, SIGKILL);
  waitpid(first, nullptr, 0);
  EXPECT_EQ(shared_word(), 0x7);
  EXPECT_EQ(held_streams(), 0x6);
  // The next copy clears the left-behind bit and takes stream 1.
  const pid_t fifth = start_copy(3);
  ASSERT_TRUE(wait_until([] { return held_streams() == 0x7; }));
  EXPECT_EQ(shared_word(), 0x7);
  EXPECT_TRUE(ends_cleanly(fifth));
  EXPECT_EQ(shared_word(), 0x6) << "the fifth copy gave stream 1 back";

  EXPECT_TRUE(ends_cleanly(third));
  EXPECT_TRUE(ends_cleanly(fourth));
  EXPECT_EQ(shared_word(), -1) << "the last copy to detach removes the segment";

  // A copy with sharing off creates no segment.
  const pid_t unshared = start_copy(2, "[General]\nnetwork_enable_flag=1\nmulti_stream_flag=0\n"
                                       "sdr_ip_address=127.0.0.2\nrivulet_discovery=0\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  EXPECT_EQ(shared_word(), -1);
  EXPECT_TRUE(ends_cleanly(unshared));
}
