#include "sim/hid_sim.h"

#include <hidapi/hidapi.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>

#define SIM_HID_EXPORT extern "C" __attribute__((visibility("default")))

struct hid_device_ {
  uint16_t vendor;
  uint16_t product;
  int report_bytes;
};

namespace {

struct Receiver {
  uint16_t vendor;
  uint16_t product;
};

struct Simulator {
  std::mutex lock;
  std::vector<Receiver> attached;
  std::set<hid_device*> open;
  bool unplugged = false;
  bool product_string_fails = false;
  bool silent = false;
  int read_limit = 0;
  int bad_closes = 0;
  int opens = 0;
  SimFirmware firmware;
  std::deque<std::vector<uint8_t>> answers;
  std::vector<hid_sim::Write> writes;
  std::wstring last_error;  // of the last failed open
};

Simulator& sim() {
  static Simulator instance;
  return instance;
}

const wchar_t NOT_FOUND[] = L"No HID devices with requested VID/PID found in the system.";
const wchar_t NO_ERROR[] = L"Success";  // what hidapi answers when nothing failed
const wchar_t DISCONNECTED[] = L"hid_read/write: device disconnected";

int report_bytes_of(uint16_t vendor, uint16_t product) {
  return (vendor == 0x0483 || product == 0x0001) ? 5 : 7;
}

}  // namespace

namespace hid_sim {

void reset() {
  Simulator& s = sim();
  std::lock_guard<std::mutex> hold(s.lock);
  s.attached.clear();
  s.unplugged = false;
  s.product_string_fails = false;
  s.silent = false;
  s.read_limit = 0;
  s.bad_closes = 0;
  s.opens = 0;
  s.firmware = SimFirmware();
  s.answers.clear();
  s.writes.clear();
  s.last_error.clear();
}

void attach(uint16_t vendor, uint16_t product) {
  std::lock_guard<std::mutex> hold(sim().lock);
  sim().attached.push_back({vendor, product});
}

void unplug() {
  std::lock_guard<std::mutex> hold(sim().lock);
  sim().unplugged = true;
  sim().attached.clear();
}

void set_product_string_fails(bool fails) {
  std::lock_guard<std::mutex> hold(sim().lock);
  sim().product_string_fails = fails;
}

void set_read_limit(int bytes) {
  std::lock_guard<std::mutex> hold(sim().lock);
  sim().read_limit = bytes;
}

void set_silent(bool silent) {
  std::lock_guard<std::mutex> hold(sim().lock);
  sim().silent = silent;
}

void with_firmware(const std::function<void(SimFirmware&)>& change) {
  std::lock_guard<std::mutex> hold(sim().lock);
  change(sim().firmware);
}

void push_answer(const std::vector<uint8_t>& report) {
  std::lock_guard<std::mutex> hold(sim().lock);
  sim().answers.push_front(report);
}

std::vector<Write> writes() {
  std::lock_guard<std::mutex> hold(sim().lock);
  return sim().writes;
}

int opens() {
  std::lock_guard<std::mutex> hold(sim().lock);
  return sim().opens;
}

int open_handles() {
  std::lock_guard<std::mutex> hold(sim().lock);
  return static_cast<int>(sim().open.size());
}

int bad_closes() {
  std::lock_guard<std::mutex> hold(sim().lock);
  return sim().bad_closes;
}

}  // namespace hid_sim

SIM_HID_EXPORT int hid_init(void) { return 0; }
SIM_HID_EXPORT int hid_exit(void) { return 0; }

SIM_HID_EXPORT hid_device* hid_open(unsigned short vendor_id, unsigned short product_id,
                                    const wchar_t*) {
  Simulator& s = sim();
  std::lock_guard<std::mutex> hold(s.lock);
  const bool present = std::any_of(s.attached.begin(), s.attached.end(), [&](const Receiver& r) {
    return r.vendor == vendor_id && r.product == product_id;
  });
  if (!present) {
    s.last_error = NOT_FOUND;
    return nullptr;
  }
  s.last_error.clear();
  hid_device* dev = new hid_device_{vendor_id, product_id, report_bytes_of(vendor_id, product_id)};
  s.open.insert(dev);
  ++s.opens;
  return dev;
}

SIM_HID_EXPORT int hid_set_nonblocking(hid_device* dev, int) {
  std::lock_guard<std::mutex> hold(sim().lock);
  return sim().open.count(dev) ? 0 : -1;
}

SIM_HID_EXPORT int hid_write(hid_device* dev, const unsigned char* data, size_t length) {
  Simulator& s = sim();
  std::lock_guard<std::mutex> hold(s.lock);
  if (!s.open.count(dev) || s.unplugged) return -1;
  s.writes.push_back({dev->vendor, dev->product, std::vector<uint8_t>(data, data + length)});
  const std::optional<AnswerReport> answer = s.firmware.handle(data, length);
  if (answer && !s.silent) {
    const size_t bytes = std::min<size_t>(dev->report_bytes, answer->size());
    s.answers.emplace_back(answer->begin(), answer->begin() + bytes);
  }
  return static_cast<int>(length);
}

SIM_HID_EXPORT int hid_read(hid_device* dev, unsigned char* data, size_t length) {
  Simulator& s = sim();
  std::lock_guard<std::mutex> hold(s.lock);
  if (!s.open.count(dev) || s.unplugged) return -1;
  if (s.answers.empty()) return 0;  // non-blocking: nothing waiting
  std::vector<uint8_t> answer = s.answers.front();
  s.answers.pop_front();
  size_t bytes = std::min(length, answer.size());
  if (s.read_limit > 0) bytes = std::min<size_t>(bytes, s.read_limit);
  memcpy(data, answer.data(), bytes);
  return static_cast<int>(bytes);
}

SIM_HID_EXPORT int hid_get_product_string(hid_device* dev, wchar_t* string, size_t maxlen) {
  Simulator& s = sim();
  std::lock_guard<std::mutex> hold(s.lock);
  if (!s.open.count(dev) || s.unplugged || s.product_string_fails || maxlen == 0) return -1;
  const std::wstring name = dev->report_bytes == 5 ? L"Tavrin Rivulet HID" : L"Tavrin Rivulet HID2";
  const size_t n = std::min(name.size(), maxlen - 1);
  wmemcpy(string, name.data(), n);
  string[n] = 0;
  return 0;
}

SIM_HID_EXPORT const wchar_t* hid_error(hid_device* dev) {
  Simulator& s = sim();
  std::lock_guard<std::mutex> hold(s.lock);
  if (!dev) return s.last_error.empty() ? NO_ERROR : s.last_error.c_str();
  return s.unplugged ? DISCONNECTED : NO_ERROR;
}

SIM_HID_EXPORT void hid_close(hid_device* dev) {
  Simulator& s = sim();
  std::lock_guard<std::mutex> hold(s.lock);
  if (!s.open.erase(dev)) {
    ++s.bad_closes;
    return;
  }
  delete dev;
}
