#include "usb/device_link.h"

#include <cstring>

int hid_status = 0;
static char msd_path[256];

void set_msd_path(const char* path) {
  memset(msd_path, 0, sizeof msd_path);
  strncpy(msd_path, path, sizeof msd_path - 1);
}

// No transport yet: behaves as with no receiver attached.
int open_device_link(char* name_buffer) {
  strcpy(name_buffer, "Unable to open device!");
  hid_status = 0;
  return 0;
}

int close_device_link() { return 0; }
