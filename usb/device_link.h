// The receiver's USB link: HID command reports or the mass-storage mailbox.
// (Only what the entry points need so far; the transport lands with the USB link.)
#pragma once

extern int hid_status;  // 0 none, 1 HID, 2 mass storage

void set_msd_path(const char* path);
int open_device_link(char* name_buffer);
int close_device_link();
