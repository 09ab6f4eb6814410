// The one settings object of the process: "./sdr_config.ini" in the working
// directory, INI format, every key at the top level. Reads convert the stored
// text as the key is meant to be read; writes store the given type. Every
// access is serialised, since the host's thread reads while the GUI thread
// reads and writes.
#pragma once

#include <QMutex>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <memory>

class SettingsStore {
 public:
  explicit SettingsStore(const QString& path);
  ~SettingsStore();

  int read_int(const QString& key, int fallback);
  unsigned read_unsigned(const QString& key, unsigned fallback);
  bool read_bool(const QString& key, bool fallback);
  QString read_text(const QString& key, const QString& fallback = QString());
  // Inversion keys: +1 or -1, where 0 or a missing key counts as +1 and any
  // other value by its sign.
  int read_sign(const QString& key);
  bool is_missing(const QString& key);

  void write_int(const QString& key, int value);
  void write_unsigned(const QString& key, unsigned value);
  void write_bool(const QString& key, bool value);
  void write_text(const QString& key, const QString& value);

  // Writes what is pending and starts over on the file at `path` (used when
  // the working directory changes under a running program, and by tests).
  void reopen(const QString& path);

  // Writes pending changes to disk now (also done at destruction).
  void sync();
  QString file_name();

 private:
  QVariant value(const QString& key, const QVariant& fallback);
  void set_value(const QString& key, const QVariant& value);

  QMutex lock_;
  std::unique_ptr<QSettings> settings_;
};

// The process-wide store, constructed at library load over "./sdr_config.ini".
SettingsStore& settings_store();
