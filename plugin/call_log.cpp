#include "plugin/call_log.h"

#include <QMutexLocker>
#include <cstdarg>

void CallLog::open(const char* path) {
  QMutexLocker lock(&lock_);
  if (file_) {  // a second OpenHW starts a fresh log, without leaking the old one
    fclose(file_);
    file_ = nullptr;
  }
  file_ = fopen(path, "w+");
  if (!file_) {
    fprintf(stderr, "Cannot open extio log file\n\r");
    perror("");
  }
}

void CallLog::write(const char* format, ...) {
  QMutexLocker lock(&lock_);
  if (!file_) return;
  va_list args;
  va_start(args, format);
  vfprintf(file_, format, args);
  va_end(args);
}

void CallLog::close_with(const char* last_line) {
  QMutexLocker lock(&lock_);
  if (!file_) return;
  fputs(last_line, file_);
  fclose(file_);
  file_ = nullptr;
}

bool CallLog::is_open() {
  QMutexLocker lock(&lock_);
  return file_ != nullptr;
}
