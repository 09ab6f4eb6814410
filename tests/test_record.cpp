// extio_host record: what it writes, and that it stops and closes the
// receiver however the recording ends.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/fresh_plugin.h"

namespace {

struct Outcome {
  int exit_code;
  std::string output;  // standard error (and standard output unless piped)
};

uint32_t get32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | uint8_t(s[at + i]);
  return v;
}
uint16_t get16(const std::string& s, size_t at) { return uint16_t(uint8_t(s[at]) | uint8_t(s[at + 1]) << 8); }

// Counts ramp breaks in interleaved I/Q bytes: I must climb by one, Q = -I.
int ramp_breaks(const std::string& iq) {
  int breaks = 0;
  for (size_t k = 0; k + 4 <= iq.size(); k += 4) {
    const uint16_t i = get16(iq, k), q = get16(iq, k + 2);
    if (uint16_t(i + q) != 0) ++breaks;
    if (k > 0 && uint16_t(i - get16(iq, k - 4)) != 1) ++breaks;
  }
  return breaks;
}

class RecordCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = make_scratch_dir("record");
    log_ = dir_ + "/calls.txt";
  }

  std::string command(const std::string& args, const std::string& env = "") const {
    return "cd " + dir_ + " && RAMP_PLUGIN_LOG=" + log_ + " " + env + " exec " + EXTIO_HOST_PATH +
           " record " + RAMP_PLUGIN_PATH + " " + args;
  }

  // Standard output goes to `stdout_file` when one is given.
  Outcome run(const std::string& args, const std::string& env = "",
              const std::string& stdout_file = "") const {
    const std::string redirect = stdout_file.empty() ? " 2>&1" : " 2>&1 >" + stdout_file;
    FILE* pipe = popen((command(args, env) + redirect).c_str(), "r");
    std::string output;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
  }

  std::string calls() const { return read_file(log_); }

  std::string dir_, log_;
};

}  // namespace

TEST_F(RecordCommand, RecordsTheRequestedSecondsIntoATwoChannelWav) {
  const Outcome r = run("--seconds 1.5 --out ramp.wav", "RAMP_PLUGIN_RATE=48000");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  const std::string wav = read_file(dir_ + "/ramp.wav");
  ASSERT_EQ(wav.size(), 44u + 72000u * 4) << r.output;
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(get32(wav, 4), 36u + 72000u * 4);
  EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(get32(wav, 16), 16u);
  EXPECT_EQ(get16(wav, 20), 1);       // PCM
  EXPECT_EQ(get16(wav, 22), 2);       // I and Q
  EXPECT_EQ(get32(wav, 24), 48000u);  // the rate GetHWSR reports
  EXPECT_EQ(get32(wav, 28), 192000u);
  EXPECT_EQ(get16(wav, 32), 4);
  EXPECT_EQ(get16(wav, 34), 16);
  EXPECT_EQ(wav.substr(36, 4), "data");
  EXPECT_EQ(get32(wav, 40), 72000u * 4);
  EXPECT_EQ(ramp_breaks(wav.substr(44)), 0);
  EXPECT_EQ(calls(), "InitHW\nOpenHW\nStartHW\nStopHW\nCloseHW\n");
  EXPECT_NE(r.output.find("current rate"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("72000 samples recorded, 0 gaps"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("recording: ramp.wav"), std::string::npos) << r.output;
}

TEST_F(RecordCommand, DashWritesRawIqToStandardOutput) {
  const std::string raw = dir_ + "/raw.iq";
  const Outcome r = run("--seconds 0.5 --out -", "RAMP_PLUGIN_RATE=64000", raw);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  const std::string iq = read_file(raw);
  EXPECT_EQ(iq.size(), 32000u * 4);
  EXPECT_EQ(ramp_breaks(iq), 0);
  EXPECT_EQ(get16(iq, 0), 0);
}

TEST_F(RecordCommand, CtrlCStopsAndClosesAndLeavesAValidWav) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    execl("/bin/sh", "sh", "-c", (command("--seconds 60 --out cut.wav") + " 2>/dev/null").c_str(),
          (char*)nullptr);
    _exit(127);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_EQ(calls(), "InitHW\nOpenHW\nStartHW\nStopHW\nCloseHW\n");
  const std::string wav = read_file(dir_ + "/cut.wav");
  ASSERT_GT(wav.size(), 44u);
  EXPECT_EQ(get32(wav, 40), wav.size() - 44);
  EXPECT_EQ(get32(wav, 4), wav.size() - 8);
  EXPECT_EQ(ramp_breaks(wav.substr(44)), 0);
}

TEST_F(RecordCommand, SilentReceiverEndsWithAFailureNotAnEndlessWait) {
  const Outcome r = run("--seconds 0.2 --out none.wav", "RAMP_PLUGIN_SILENT=1");
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_NE(r.output.find("too few samples"), std::string::npos) << r.output;
  EXPECT_EQ(calls(), "InitHW\nOpenHW\nStartHW\nStopHW\nCloseHW\n");
  EXPECT_EQ(read_file(dir_ + "/none.wav").size(), 44u);
}

TEST_F(RecordCommand, BadArgumentsAndUnwritableFilesAreRefused) {
  for (const char* args : {"--seconds 1", "--seconds 0 --out x.wav", "--out"}) {
    EXPECT_EQ(run(args).exit_code, 2) << args;
  }
  const Outcome r = run("--seconds 1 --out /nonexistent/dir/x.wav");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.output.find("cannot create"), std::string::npos) << r.output;
  EXPECT_EQ(calls(), "InitHW\nOpenHW\nStartHW\nStopHW\nCloseHW\n") << "the receiver is released";
}
