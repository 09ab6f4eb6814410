// What the fuzz targets share: a reader over the fuzzer's bytes, a scratch
// working directory (the settings file lives there), one offscreen
// application and control window per process, quiet Qt messages, and the
// guard that keeps the window targets inside a private network namespace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class MainWindow;

// Takes values off the front of the input; past its end every value is 0.
class FuzzBytes {
 public:
  FuzzBytes(const uint8_t* data, size_t size) : data_(data), left_(size) {}
  size_t left() const { return left_; }
  uint8_t u8() {
    if (left_ == 0) return 0;
    --left_;
    return *data_++;
  }
  uint16_t u16() { return uint16_t(u8() | u8() << 8); }
  uint32_t u32() { return uint32_t(u16()) | uint32_t(u16()) << 16; }
  // Up to `wanted` bytes in place; sets *got to how many there were.
  const uint8_t* take(size_t wanted, size_t* got) {
    const uint8_t* at = data_;
    *got = wanted < left_ ? wanted : left_;
    data_ += *got;
    left_ -= *got;
    return at;
  }

 private:
  const uint8_t* data_;
  size_t left_;
};

// Makes a fresh directory under $TMPDIR (or /tmp), enters it and points the
// settings store at ./sdr_config.ini there. Once per process.
void fuzz_enter_scratch_dir(const char* target);

// Ends the process unless it runs where scripts/fuzz.sh puts the window
// targets: a private network namespace with loopback only (a window may
// connect to any address a reply or a settings file names) and a private
// IPC namespace (the stream-sharing segment is machine-wide otherwise).
void fuzz_require_sandbox(const char* target);

// The offscreen application (created on first use) with Qt's warnings
// silenced: the window's widgets complain of values the fuzzer chooses.
void fuzz_application();

// One control window for the process, built on first use in USB mode with no
// receiver attached, its timers stopped so that only the target drives it.
MainWindow& fuzz_window();

// Runs queued events and releases objects whose deletion was deferred.
void fuzz_settle_events();

// Stops the target the way a sanitizer finding does, with a message.
[[noreturn]] void fuzz_fail(const char* what);
#define FUZZ_CHECK(condition) \
  do {                        \
    if (!(condition)) fuzz_fail(#condition); \
  } while (0)
