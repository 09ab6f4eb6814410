#include "net/stream_share.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <cstdint>
#include <cstring>

QString StreamLease::file_path(const QString& key, int bit) {
  return QDir::tempPath() + QString("/%1.stream%2.lock").arg(key).arg(bit + 1);
}

bool StreamLease::take(const QString& key, int bit) {
  drop();
  const QByteArray path = QFile::encodeName(file_path(key, bit));
  const int fd = open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void StreamLease::drop() {
  if (fd_ < 0) return;
  close(fd_);  // releases the flock
  fd_ = -1;
}

namespace {

uint32_t read_word(const QSharedMemory& segment) {
  uint32_t word = 0;
  memcpy(&word, segment.constData(), sizeof word);
  return word;
}

void write_word(QSharedMemory& segment, uint32_t word) { memcpy(segment.data(), &word, sizeof word); }

// Clears the bits whose holders are gone (their lease is free). Returns how
// many it cleared.
int clear_left_behind_bits(const QString& key, uint32_t* word) {
  int cleared = 0;
  for (int bit = 0; bit < SHARED_STREAMS; ++bit) {
    if (!(*word & (1u << bit))) continue;
    StreamLease probe;
    if (probe.take(key, bit)) {
      *word &= ~(1u << bit);
      ++cleared;
    }
  }
  return cleared;
}

bool create_or_attach(QSharedMemory& segment, QString* error) {
  if (segment.create(int(sizeof(uint32_t)), QSharedMemory::ReadWrite)) return true;
  if (segment.error() == QSharedMemory::AlreadyExists && segment.attach(QSharedMemory::ReadWrite))
    return true;
  *error = segment.errorString();
  return false;
}

}  // namespace

StreamClaim claim_shared_stream(QSharedMemory& segment, int stored_number, StreamLease& lease) {
  StreamClaim claim;
  claim.stream_number = stored_number;
  if (stored_number == 0) return claim;
  if (!create_or_attach(segment, &claim.error)) return claim;
  claim.attached = true;
  if (!segment.lock()) {
    claim.error = segment.errorString();
    return claim;
  }
  uint32_t word = read_word(segment);
  claim.stale_bits_cleared = clear_left_behind_bits(segment.key(), &word);
  for (int bit = 0; bit < SHARED_STREAMS; ++bit) {
    if (word & (1u << bit)) continue;
    if (!lease.take(segment.key(), bit)) continue;  // a live holder whose bit was cleared
    word |= 1u << bit;
    claim.stream_number = bit + 1;
    claim.claimed = true;
    break;
  }
  write_word(segment, word);
  segment.unlock();
  return claim;
}

void release_shared_stream(QSharedMemory& segment, int stream_number, bool claimed, StreamLease& lease) {
  if (!segment.isAttached()) return;
  if (segment.lock()) {
    if (claimed && stream_number >= 1 && stream_number <= SHARED_STREAMS) {
      // Drop the lease while the lock is held, so that no claim sees the
      // bit clear and its lease still taken.
      lease.drop();
      write_word(segment, read_word(segment) & ~(1u << (stream_number - 1)));
    }
    segment.unlock();
  }
  lease.drop();
  segment.detach();
}
