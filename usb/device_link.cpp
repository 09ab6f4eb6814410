#include "usb/device_link.h"

#include <hidapi/hidapi.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <thread>

#include "net/tcp_channel.h"
#include "platform/sector_io.h"

int hid_status = LINK_NONE;
int report_length = 7;
int device_generation = 2;
int command_pending = 0;
int network_tunnel = 0;
char msd_path[MSD_PATH_CAPACITY];
unsigned char tunnel_answer_slot[TUNNEL_ANSWER_SLOT_BYTES];

namespace {

constexpr int PRODUCT_NAME_CHARS = 256;
constexpr unsigned char TUNNEL_TYPE_BYTE = 0xE0;  // message type 7 in the top three bits
constexpr int WAIT_PASSES = 1000;
const char DEFAULT_MSD_PATH[] = "G:\\";

struct HidModel {
  unsigned short vendor;
  unsigned short product;
  int generation;
  int length;
};

// Tried in this order; the first that opens decides the report size.
const HidModel HID_MODELS[] = {
    {0x0483, 0x5932, 1, 5},
    {0x255D, 0x0002, 2, 7},
    {0x255D, 0x0001, 1, 5},
    {0x255D, 0x0006, 2, 7},
};

hid_device* hid_handle = nullptr;
FileHandle command_in = NO_FILE;
FileHandle command_out = NO_FILE;
wchar_t product_name[PRODUCT_NAME_CHARS];

// Diagnostics go to standard output at once: they are read live under the
// console launcher.
template <typename... Args>
void print(const char* format, Args... args) {
  printf(format, args...);
  fflush(stdout);
}

void print(const char* text) {
  fputs(text, stdout);
  fflush(stdout);
}

void copy_name(char* name_buffer, const char* text) {
  strncpy(name_buffer, text, NAME_BUFFER_BYTES - 1);
  name_buffer[NAME_BUFFER_BYTES - 1] = 0;
}

// Wide characters beyond 8 bits have no 8-bit form; they become '?'.
void narrow_into(char* out, const wchar_t* in) {
  int i = 0;
  for (; i < NAME_BUFFER_BYTES - 1 && in[i]; ++i)
    out[i] = static_cast<unsigned>(in[i]) < 256 ? static_cast<char>(in[i]) : '?';
  out[i] = 0;
}

bool open_hid_link(char* name_buffer) {
  for (const HidModel& model : HID_MODELS) {
    hid_handle = hid_open(model.vendor, model.product, nullptr);
    if (!hid_handle) continue;
    device_generation = model.generation;
    report_length = model.length;
    break;
  }
  if (!hid_handle) {
    copy_name(name_buffer, "Unable to open device!");
    hid_status = LINK_NONE;
    return false;
  }
  hid_status = LINK_HID;
  memset(product_name, 0, sizeof product_name);
  hid_set_nonblocking(hid_handle, 1);
  if (hid_get_product_string(hid_handle, product_name, PRODUCT_NAME_CHARS - 1) < 0)
    copy_name(name_buffer, "Unable to read product string");
  else
    narrow_into(name_buffer, product_name);
  hid_set_nonblocking(hid_handle, 1);
  return true;
}

// prefix + file_name, or nullptr (and `no_memory` printed) when no memory is
// available for it. Released with free_plain().
char* mailbox_path(const char* prefix, const char* file_name, const char* no_memory) {
  const size_t bytes = strlen(prefix) + strlen(file_name) + 1;
  char* path = static_cast<char*>(alloc_plain(bytes));
  if (!path) {
    print(no_memory);
    return nullptr;
  }
  snprintf(path, bytes, "%s%s", prefix, file_name);
  return path;
}

int open_mass_storage_link(char* name_buffer) {
  const char* prefix = msd_path;
  if (msd_path[0]) {
    print("The Tavrin path is: %s\n\r", msd_path);
  } else {
    print("The Tavrin path was not defined, use default: %s\n\r", DEFAULT_MSD_PATH);
    prefix = DEFAULT_MSD_PATH;
  }

  char* in_path = mailbox_path(prefix, "command.in", "(input) Cannot allocate wchar_t space!\n\r");
  if (!in_path) return -1;
  command_in = open_unbuffered(in_path);
  if (command_in == NO_FILE) {
    const long error = last_error();
    copy_name(name_buffer, "Unable to open Input device!\r\n");
    print("Input file %s open  error %li\n\r", in_path, error);
    free_plain(in_path);
    hid_status = LINK_NONE;
    return 0;
  }
  free_plain(in_path);

  char* out_path = mailbox_path(prefix, "command.out", "(output) Cannot allocate wchar_t space!\n\r");
  if (!out_path) {
    // Not left open: with no link recorded, nothing would ever close it.
    close_file(command_in);
    return -1;
  }
  command_out = open_unbuffered(out_path);
  const long error = last_error();
  free_plain(out_path);
  if (command_out == NO_FILE) {
    close_file(command_in);
    copy_name(name_buffer, "Unable to open Output device!\r\n");
    hid_status = LINK_NONE;
    print("Output file error %li\n\r", error);
    return 0;
  }

  device_generation = 2;
  report_length = 7;
  copy_name(name_buffer, "Tavrin MSD Device");
  print("%s\n", name_buffer);
  hid_status = LINK_MASS_STORAGE;
  return 1;
}

int send_tunnelled(const unsigned char* report) {
  unsigned char message[2 + 7];
  message[0] = static_cast<unsigned char>(report_length + 2);
  message[1] = TUNNEL_TYPE_BYTE;
  memcpy(message + 2, report, report_length);
  tcp_send(message, report_length + 2);
  command_pending = 1;
  return 1;
}

int send_to_hid(const unsigned char* report) {
  const int result = hid_write(hid_handle, report, report_length);
  command_pending = result > 0 ? 1 : 0;
  return result;
}

int send_to_mailbox(const unsigned char* report) {
  unsigned char* sector = static_cast<unsigned char*>(alloc_sector_aligned(SECTOR_BYTES));
  if (!sector) {
    print("Cannot allocate buffer!\r\n");
    return -1;
  }
  memset(sector, 0, SECTOR_BYTES);
  memcpy(sector, report, report_length);
  const int result = static_cast<int>(write_at(command_out, sector, SECTOR_BYTES, 0));
  free_sector_aligned(sector);
  command_pending = result > 0 ? 1 : 0;
  return result;
}

int read_tunnelled(unsigned char* answer) {
  if (tunnel_answer_slot[1] < TUNNEL_TYPE_BYTE || tunnel_answer_slot[0] == 0) return 0;
  memcpy(answer, tunnel_answer_slot + 2, report_length);
  tunnel_answer_slot[0] = 0;
  return report_length;
}

int read_from_hid(unsigned char* answer) {
  const int result = hid_read(hid_handle, answer, report_length);
  if (result < 5) return -1;
  command_pending = 0;
  return result;
}

// An answer sector is acknowledged by writing it back with byte 0 cleared, so
// the receiver knows it was taken and the next poll does not read it again.
int read_from_mailbox(unsigned char* answer) {
  unsigned char* sector = static_cast<unsigned char*>(alloc_sector_aligned(SECTOR_BYTES));
  if (!sector) {
    print("Cannot allocate buffer!\r\n");
    return -1;
  }
  memset(sector, 0, SECTOR_BYTES);
  int result = 0;
  if (read_at(command_in, sector, SECTOR_BYTES, 0) > 0 && sector[0] != 0) {
    memcpy(answer, sector, report_length);
    sector[0] = 0;
    result = static_cast<int>(write_at(command_in, sector, SECTOR_BYTES, 0));
    command_pending = 0;
  }
  free_sector_aligned(sector);
  return result;
}

}  // namespace

void set_msd_path(const char* path) {
  memset(msd_path, 0, sizeof msd_path);
  if (path) strncpy(msd_path, path, sizeof msd_path - 1);
}

int open_device_link(char* name_buffer) {
  // A handle still open from an earlier open (the poll may have marked the
  // device lost without closing it) would otherwise be overwritten and leak.
  close_device_link();
  if (open_hid_link(name_buffer)) return 1;
  return open_mass_storage_link(name_buffer);
}

int close_device_link() {
  if (hid_handle) {
    hid_close(hid_handle);
    hid_handle = nullptr;
  }
  close_file(command_in);
  close_file(command_out);
  return 0;
}

int reopen_device_link(char* name_buffer) {
  if (hid_status != LINK_NONE) close_device_link();
  return open_device_link(name_buffer);
}

int send_command(const unsigned char* report) {
  if (network_tunnel == 1) return send_tunnelled(report);
  if (hid_status == LINK_HID && hid_handle) return send_to_hid(report);
  if (hid_status == LINK_MASS_STORAGE && command_out != NO_FILE) return send_to_mailbox(report);
  return 0;
}

int read_answer(unsigned char* answer) {
  answer[0] = 0;
  if (network_tunnel == 1) return read_tunnelled(answer);
  if (hid_status == LINK_HID && hid_handle) return read_from_hid(answer);
  if (hid_status == LINK_MASS_STORAGE && command_in != NO_FILE) return read_from_mailbox(answer);
  return 0;
}

int wait_command_done() {
  if (command_pending == 0) return 0;
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  int passes = 0;
  while (command_pending == 1) {
    if (++passes > WAIT_PASSES) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return 0;
}

hid_device* hid_device_handle() { return hid_handle; }

const wchar_t* hid_link_error() {
  if (!hid_handle) return nullptr;
  const wchar_t* text = hid_error(hid_handle);
  if (!text || !text[0] || wcscmp(text, L"Success") == 0) return nullptr;
  return text;
}
