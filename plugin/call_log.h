// "extio_log.txt": one line for every call the host makes, written only
// while the log is open (OpenHW opens a fresh one, CloseHW closes it).
#pragma once

#include <QMutex>
#include <cstdio>

class CallLog {
 public:
  // Opens (creating or emptying) the log; on failure reports on stderr and
  // leaves the log closed.
  void open(const char* path);
  // Writes one printf-style line if the log is open.
  void write(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Writes a last line, if open, then closes the log.
  void close_with(const char* last_line);
  bool is_open();

 private:
  QMutex lock_;  // the host may call from several threads, CloseHW among them
  FILE* file_ = nullptr;
};

CallLog& extio_log();
