// Writes interleaved 16-bit I/Q samples either into a two-channel 16-bit PCM
// WAV file (I left, Q right) or, for the path "-", as raw little-endian pairs
// to standard output for piping into other SDR tools.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class IqWriter {
 public:
  // The WAV format's sizes are 32-bit: the data part stops growing here.
  static constexpr uint64_t WAV_DATA_LIMIT = 0xFFFFFFFFull - 36;

  ~IqWriter();

  // Opens `path` ("-": standard output, raw) for samples at `sample_rate`.
  // False with `error` set when the file cannot be created.
  bool open(const std::string& path, uint32_t sample_rate, std::string& error);
  // Appends `samples` I/Q pairs (4 bytes each). False when the write fails
  // (disk full, closed pipe) or the WAV size limit is reached.
  bool append(const void* iq, int samples);
  // Completes the WAV header with the sizes and closes. False on failure.
  bool finish(std::string& error);

  bool raw() const { return raw_; }
  uint64_t samples_written() const { return data_bytes_ / 4; }

 private:
  bool write_header(uint32_t data_bytes);

  FILE* file_ = nullptr;
  bool raw_ = false;
  uint32_t sample_rate_ = 0;
  uint64_t data_bytes_ = 0;
};
