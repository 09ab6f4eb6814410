#include "window/settings_store.h"

#include <QMutexLocker>

SettingsStore::SettingsStore(const QString& path)
    : settings_(new QSettings(path, QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() {
  QMutexLocker lock(&lock_);
  settings_.reset();  // QSettings writes what is pending when destroyed
}

QVariant SettingsStore::value(const QString& key, const QVariant& fallback) {
  QMutexLocker lock(&lock_);
  return settings_->value(key, fallback);
}

void SettingsStore::set_value(const QString& key, const QVariant& value) {
  QMutexLocker lock(&lock_);
  settings_->setValue(key, value);
}

int SettingsStore::read_int(const QString& key, int fallback) {
  return value(key, fallback).toInt();
}

unsigned SettingsStore::read_unsigned(const QString& key, unsigned fallback) {
  const QVariant v = value(key, fallback);
  bool ok = false;
  unsigned u = v.toUInt(&ok);
  if (ok) return u;
  // A negative number stored by an int write reads back as its unsigned image.
  const qlonglong s = v.toLongLong(&ok);
  return ok ? static_cast<unsigned>(s) : 0u;
}

bool SettingsStore::read_bool(const QString& key, bool fallback) {
  return value(key, fallback).toBool();
}

QString SettingsStore::read_text(const QString& key, const QString& fallback) {
  return value(key, fallback).toString();
}

// A factor of +1 or -1: a hand-edited value other than those counts by its
// sign, so that no product with it can leave the int range.
int SettingsStore::read_sign(const QString& key) {
  return read_int(key, 0) < 0 ? -1 : 1;
}

bool SettingsStore::is_missing(const QString& key) {
  return value(key, QVariant()).isNull();
}

void SettingsStore::write_int(const QString& key, int value) { set_value(key, value); }
void SettingsStore::write_unsigned(const QString& key, unsigned value) { set_value(key, value); }
void SettingsStore::write_bool(const QString& key, bool value) { set_value(key, value); }
void SettingsStore::write_text(const QString& key, const QString& value) { set_value(key, value); }

void SettingsStore::reopen(const QString& path) {
  QMutexLocker lock(&lock_);
  settings_.reset(new QSettings(path, QSettings::IniFormat));
}

void SettingsStore::sync() {
  QMutexLocker lock(&lock_);
  settings_->sync();
}

QString SettingsStore::file_name() {
  QMutexLocker lock(&lock_);
  return settings_->fileName();
}

namespace {
SettingsStore the_store(QStringLiteral("./sdr_config.ini"));
}

SettingsStore& settings_store() { return the_store; }
