// Sharing one network receiver among several copies of the system on one PC.
// The copies agree on who works on which stream through a 4-byte shared
// segment: bit b of its word set means stream b + 1 is taken. Every
// read-modify-write of the word happens under the segment's own lock.
//
// A copy killed without its teardown (kill -9, a crash) cannot clear its
// bit, and on Linux the segment and the bit outlive it. So that such a bit
// does not keep its stream taken for ever, each claimed bit is backed by a
// lease: an exclusive flock on a small file per stream in the temp directory
// ("<key>.stream<N>.lock"), which the kernel drops when the holder dies.
// A claim treats a set bit whose lease nobody holds as left behind, clears
// it and may take that stream again. The word itself is as it always was.
#pragma once

#include <QSharedMemory>
#include <QString>

constexpr char STREAM_SHARE_KEY[] = "StreamNumber_349071";
constexpr int SHARED_STREAMS = 4;

// The lease on one stream bit (see above). Not copyable; dropped when
// destroyed.
class StreamLease {
 public:
  StreamLease() = default;
  StreamLease(const StreamLease&) = delete;
  StreamLease& operator=(const StreamLease&) = delete;
  ~StreamLease() { drop(); }

  // Takes the lease on stream `bit` + 1 of the segment `key` without
  // waiting; false when another holder has it or the file cannot be opened.
  bool take(const QString& key, int bit);
  void drop();
  bool held() const { return fd_ >= 0; }

  static QString file_path(const QString& key, int bit);

 private:
  int fd_ = -1;
};

struct StreamClaim {
  int stream_number = 0;    // the stream the window works on
  bool claimed = false;     // a bit was set (and leased) for it
  bool attached = false;    // the segment was created or attached
  QString error;            // the segment's error text, to show; empty if none
  int stale_bits_cleared = 0;
};

// Claims the lowest free stream of the segment keyed in `segment`, for a
// window whose stored choice is `stored_number` (0: sharing off; the segment
// is then left alone). With no free stream, or when the segment fails, the
// stored number stays.
StreamClaim claim_shared_stream(QSharedMemory& segment, int stored_number, StreamLease& lease);

// Gives the stream back (its bit, if `claimed`) and detaches the segment.
void release_shared_stream(QSharedMemory& segment, int stream_number, bool claimed, StreamLease& lease);
