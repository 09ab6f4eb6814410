// Claiming streams of a shared receiver through the shared segment, with a
// key of each test's own so that tests cannot meet each other's segment.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <memory>

#include "net/stream_share.h"

namespace {

QString test_key() {
  return QString("wavedeck_test_%1_%2")
      .arg(getpid())
      .arg(::testing::UnitTest::GetInstance()->current_test_info()->name());
}

// One copy of the system: its segment handle and its lease.
struct Copy {
  explicit Copy(const QString& key) { segment.setKey(key); }
  ~Copy() { release(); }
  StreamClaim claim(int stored = 1) {
    result = claim_shared_stream(segment, stored, lease);
    return result;
  }
  void release() { release_shared_stream(segment, result.stream_number, result.claimed, lease); }
  QSharedMemory segment;
  StreamLease lease;
  StreamClaim result;
};

uint32_t word_of(const QString& key) {
  QSharedMemory probe(key);
  if (!probe.attach(QSharedMemory::ReadOnly)) return 0xDEAD;
  uint32_t word = *static_cast<const uint32_t*>(probe.constData());
  probe.detach();
  return word;
}

// Runs a copy in a child process that claims a stream, says which, and then
// waits to be killed. Returns the child's pid; *stream gets its stream.
pid_t claim_in_child(const QString& key, int* stream) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipe_fds[0]);
    auto* copy = new Copy(key);  // never destroyed: the child dies by SIGKILL
    const int number = copy->claim().stream_number;
    if (write(pipe_fds[1], &number, sizeof number) != sizeof number) _exit(1);
    for (;;) pause();
  }
  close(pipe_fds[1]);
  if (read(pipe_fds[0], stream, sizeof *stream) != sizeof *stream) *stream = -1;
  close(pipe_fds[0]);
  return pid;
}

void kill_hard(pid_t pid) {
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
}

}  // namespace

TEST(StreamShare, CopiesTakeTheLowestFreeStreamAndGiveItBack) {
  const QString key = test_key();
  auto first = std::make_unique<Copy>(key), second = std::make_unique<Copy>(key),
       third = std::make_unique<Copy>(key);
  EXPECT_EQ(first->claim().stream_number, 1);
  EXPECT_EQ(second->claim().stream_number, 2);
  EXPECT_EQ(third->claim(3).stream_number, 3);  // the stored choice is only on/off
  EXPECT_TRUE(third->result.claimed);
  EXPECT_EQ(word_of(key), 0x7u);

  second.reset();
  EXPECT_EQ(word_of(key), 0x5u);
  Copy again(key);
  EXPECT_EQ(again.claim().stream_number, 2);
  EXPECT_EQ(word_of(key), 0x7u);

  Copy fourth(key), fifth(key);
  EXPECT_EQ(fourth.claim().stream_number, 4);
  // No free bit: the fifth copy keeps its stored number and claims nothing,
  // so its teardown leaves the others' bits alone.
  const StreamClaim full = fifth.claim(2);
  EXPECT_EQ(full.stream_number, 2);
  EXPECT_FALSE(full.claimed);
  EXPECT_TRUE(full.attached);
  fifth.release();
  EXPECT_EQ(word_of(key), 0xFu);
}

TEST(StreamShare, SharingOffTouchesNoSegment) {
  const QString key = test_key();
  Copy copy(key);
  const StreamClaim off = copy.claim(0);
  EXPECT_EQ(off.stream_number, 0);
  EXPECT_FALSE(off.attached);
  EXPECT_FALSE(copy.segment.isAttached());
  QSharedMemory probe(key);
  EXPECT_FALSE(probe.attach());
  EXPECT_EQ(probe.error(), QSharedMemory::NotFound);
  EXPECT_FALSE(QFile::exists(StreamLease::file_path(key, 0)));
}

TEST(StreamShare, AKilledCopysStreamIsTakenAgainWhileOthersRun) {
  const QString key = test_key();
  Copy first(key);
  ASSERT_EQ(first.claim().stream_number, 1);
  int child_stream = 0;
  const pid_t child = claim_in_child(key, &child_stream);
  ASSERT_GT(child, 0);
  ASSERT_EQ(child_stream, 2);
  kill_hard(child);
  EXPECT_EQ(word_of(key), 0x3u) << "the killed copy's bit is still set";

  Copy next(key);
  const StreamClaim claim = next.claim();
  EXPECT_EQ(claim.stream_number, 2);
  EXPECT_EQ(claim.stale_bits_cleared, 1);
  EXPECT_EQ(word_of(key), 0x3u);
  Copy after(key);
  EXPECT_EQ(after.claim().stream_number, 3) << "a live copy's bit is never taken";
}

TEST(StreamShare, ASegmentLeftByKilledCopiesAloneIsReused) {
  const QString key = test_key();
  int a = 0, b = 0;
  const pid_t first = claim_in_child(key, &a);
  const pid_t second = claim_in_child(key, &b);
  ASSERT_EQ(a, 1);
  ASSERT_EQ(b, 2);
  kill_hard(first);
  kill_hard(second);
  {
    Copy copy(key);
    const StreamClaim claim = copy.claim();
    EXPECT_EQ(claim.stream_number, 1);
    EXPECT_EQ(claim.stale_bits_cleared, 2);
    EXPECT_EQ(word_of(key), 0x1u);
  }
  // The last copy's detach removes the segment.
  QSharedMemory probe(key);
  EXPECT_FALSE(probe.attach());
}
