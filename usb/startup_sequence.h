// The receiver's start-up sequence (Part 4.3): 26 steps that read the
// receiver's configuration after a link comes up, one step per 20 ms tick,
// each waiting for the answer of the one before. The table and its link
// variants live here, free of widgets; what a step does to the window goes
// through StartupWindow, which the control window implements (and a test
// can fake). The commands travel on whatever link send_command() uses.
#pragma once

#include <cstdint>

constexpr int STARTUP_STEPS = 26;

class StartupWindow {
 public:
  virtual ~StartupWindow() = default;
  virtual int slave_mode() const = 0;
  virtual int network_mode() const = 0;
  virtual int rx_mode() const = 0;
  virtual int broadcast() const = 0;
  virtual int multicast() const = 0;
  virtual int stream_number() const = 0;
  // Step 3: the FE-gain operation with the stored index (sends CMD_SET_FE_GAIN).
  virtual void apply_stored_fe_gain() = 0;
  // Step 6: the main gain dial takes the channel-0 gain and the host is told;
  // returns that gain code for CMD_SET_RF_GAIN.
  virtual int show_channel0_gain() = 0;
  // Step 20 (rx_mode != 0): the host is told the second channel's gain.
  virtual void notify_second_channel_gain() = 0;
  // Step 22 (rx_mode != 0): phase shift as stored.
  virtual void apply_stored_phase_shift() = 0;
  // Step 23 on the network or mass storage: the window adopts the stored
  // sample rate (setting sdr_sample_rate, 0 when missing) and returns it.
  virtual uint32_t adopt_stored_sample_rate() = 0;
  // Step 25: the stream selector shows the stream number.
  virtual void show_stream_number() = 0;
  // Finishing: last_sent_frequency = 0, so the frequency is sent again.
  virtual void startup_finished() = 0;
};

// The status poll's state, one set per process, touched on the window's
// thread only.
struct PollState {
  int startup_step = 0;      // next start-up step, 0..25
  int awaiting_answer = 0;   // the last step's answer has not come yet
  int echo_suppress = 0;     // tuned_frequency came from the receiver: do not send it back
  int last_run_request = 0;  // run_request last acted on
  int packet_tick = 0;       // 200 ms ticks toward the packet-rate display
  int packet_sum = 0;        // packets counted since the last display
  int tcp_busy_ticks = 0;    // 20 ms ticks that found the TCP channel busy
};
PollState& poll_state();

// One step: returns the new awaiting value (1: an answer is expected).
// In broadcast-slave mode the sequence finishes at once; while `awaiting` is
// non-zero nothing runs. Finishing clears *startup_pending.
int run_startup_step(StartupWindow& window, int* startup_pending, int awaiting);
