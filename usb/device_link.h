// The receiver's command link: command reports go out and answer reports come
// back over a USB HID device, over the mailbox files "command.out" and
// "command.in" on the receiver's mass-storage drive, or, in network mode,
// tunnelled through the TCP control channel.
//
// Used from the window's thread only (InitHW opens and closes it once on the
// host's thread before the window exists), so the link state has no lock.
#pragma once

#include <cstdint>

struct hid_device_;
typedef struct hid_device_ hid_device;

constexpr int LINK_NONE = 0;
constexpr int LINK_HID = 1;
constexpr int LINK_MASS_STORAGE = 2;
constexpr int MSD_PATH_CAPACITY = 256;
constexpr int TUNNEL_ANSWER_SLOT_BYTES = 32;
constexpr int NAME_BUFFER_BYTES = 256;  // the least a caller's name buffer holds

extern int hid_status;         // LINK_NONE, LINK_HID or LINK_MASS_STORAGE
extern int report_length;      // report bytes that travel per command: 5 or 7
extern int device_generation;  // 1: 5-byte receiver, 2: 7-byte receiver
extern int command_pending;    // 1 from a handed-over report until an answer is read
extern int network_tunnel;     // 1: reports go through the TCP control channel
extern char msd_path[MSD_PATH_CAPACITY];  // prefix of the mailbox file names
// The last tunnelled answer as the TCP reader received it: byte 0 its length,
// byte 1 its type byte, then the answer report. Byte 0 = 0 means empty.
extern unsigned char tunnel_answer_slot[TUNNEL_ANSWER_SLOT_BYTES];

// Copies at most 255 characters of `path`; the mailbox files are found by
// appending their names to it, with no separator in between.
void set_msd_path(const char* path);

// Opens HID (the four known devices in order), else the mailbox files, and
// writes the device name or the reason for failure into `name_buffer`
// (at least NAME_BUFFER_BYTES, zero-filled by the caller). 1: a link is open;
// 0: none; -1: no memory for the file names.
int open_device_link(char* name_buffer);
// Closes whatever is open; hid_status is left to the caller. Returns 0.
int close_device_link();
// Closes an open link first, then opens again.
int reopen_device_link(char* name_buffer);

// Sends the first report_length bytes of a 7-byte report. >0: handed to the
// link; 0: no link; -1 (or hidapi's negative result): transport failure.
int send_command(const unsigned char* report);
// Fetches one answer report without waiting; `answer` holds at least 7 bytes
// and its byte 0 is 0 unless an answer was copied. >0: an answer was copied.
int read_answer(unsigned char* answer);
// Waits (1 ms sleeps, at most about 1000 of them) for command_pending to
// clear: 0 when clear, -1 on time-out.
int wait_command_done();

// The open HID device, or nullptr.
hid_device* hid_device_handle();
// hidapi's text for the last failure on the open HID device, or nullptr when
// there is none or no device is open. (hidapi's hid_error() answers "Success"
// when nothing failed, so its result alone does not tell a lost device.) The
// status poll shows this text and drops the link when it is not nullptr.
const wchar_t* hid_link_error();
