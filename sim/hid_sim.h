// A simulated HID receiver behind hidapi's own functions. Linking the library
// sim_hidapi in place of hidapi makes hid_open() and the rest reach this
// receiver; a test executable built with ENABLE_EXPORTS also serves a loaded
// plug-in that was linked against the real hidapi, because the executable's
// definitions come first in symbol lookup.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/sim_firmware.h"

namespace hid_sim {

struct Write {
  uint16_t vendor;
  uint16_t product;
  std::vector<uint8_t> bytes;  // exactly what hid_write was given
};

// No devices attached, nothing open, no faults, fresh firmware.
void reset();
// Plugs in a receiver with this vendor and product id. Receivers with a
// 0x0483 vendor id or products 0x0001 speak 5-byte reports, the others 7.
void attach(uint16_t vendor, uint16_t product);
// The open receiver vanishes: reads and writes fail and hid_error() tells why.
void unplug();

// Faults.
void set_product_string_fails(bool fails);
void set_read_limit(int bytes);  // a read returns at most this many bytes (0: no limit)
void set_silent(bool silent);

// Runs `change` on the firmware of the receivers, under the simulator's lock.
void with_firmware(const std::function<void(SimFirmware&)>& change);
// Puts a raw answer report in front of the receiver's answers.
void push_answer(const std::vector<uint8_t>& report);

std::vector<Write> writes();
int opens();         // successful hid_open calls
int open_handles();  // opened and not yet closed
int bad_closes();    // hid_close of a handle that was not open

}  // namespace hid_sim
