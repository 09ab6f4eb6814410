#include "host/wav_writer.h"

#include <cerrno>
#include <cstring>

namespace {

void put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  put16(p, uint16_t(v));
  put16(p + 2, uint16_t(v >> 16));
}

}  // namespace

IqWriter::~IqWriter() {
  std::string ignored;
  finish(ignored);
}

bool IqWriter::open(const std::string& path, uint32_t sample_rate, std::string& error) {
  sample_rate_ = sample_rate;
  data_bytes_ = 0;
  raw_ = path == "-";
  file_ = raw_ ? stdout : fopen(path.c_str(), "wb");
  if (!file_) {
    error = "cannot create " + path + ": " + strerror(errno);
    return false;
  }
  if (!raw_ && !write_header(0)) {
    error = "cannot write to " + path + ": " + strerror(errno);
    return false;
  }
  return true;
}

bool IqWriter::write_header(uint32_t data_bytes) {
  uint8_t h[44];
  memcpy(h, "RIFF", 4);
  put32(h + 4, 36 + data_bytes);
  memcpy(h + 8, "WAVEfmt ", 8);
  put32(h + 16, 16);               // format block size
  put16(h + 20, 1);                // PCM
  put16(h + 22, 2);                // I and Q
  put32(h + 24, sample_rate_);
  put32(h + 28, sample_rate_ * 4);  // bytes per second
  put16(h + 32, 4);                // bytes per frame
  put16(h + 34, 16);               // bits per sample
  memcpy(h + 36, "data", 4);
  put32(h + 40, data_bytes);
  return fseek(file_, 0, SEEK_SET) == 0 && fwrite(h, sizeof h, 1, file_) == 1;
}

bool IqWriter::append(const void* iq, int samples) {
  if (!file_ || samples <= 0) return file_ != nullptr;
  const uint64_t bytes = uint64_t(samples) * 4;
  if (!raw_ && data_bytes_ + bytes > WAV_DATA_LIMIT) return false;
  if (fwrite(iq, 1, bytes, file_) != bytes) return false;
  data_bytes_ += bytes;
  return true;
}

bool IqWriter::finish(std::string& error) {
  if (!file_) return true;
  bool ok = true;
  if (!raw_) {
    ok = write_header(uint32_t(data_bytes_)) && fclose(file_) == 0;
  } else {
    ok = fflush(file_) == 0;
  }
  if (!ok) error = std::string("cannot complete the recording: ") + strerror(errno);
  file_ = nullptr;
  return ok;
}
