// The command transport against the simulated receivers: which HID device is
// chosen and how long its reports are, the mailbox files on the drive, the
// network tunnel, and every failure path with its text and result.
#include <hidapi/hidapi.h>

#include <chrono>
#include <functional>
#include <vector>

#include "test_usb_support.h"
#include "usb/commands.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

const unsigned char FIRMWARE_QUERY[7] = {0x02, 0x09, 0, 0, 0, 0, 0};
const Bytes FIRMWARE_ANSWER = {0x06, 0x09, 0x23, 0x05, 0x00, 0x00, 0x00};

struct HidCase {
  const char* label;
  std::vector<std::pair<uint16_t, uint16_t>> attached;
  uint16_t opened_vendor, opened_product;
  int generation, length;
};
void PrintTo(const HidCase& c, std::ostream* os) { *os << c.label; }

class HidOrder : public UsbLinkTest, public ::testing::WithParamInterface<HidCase> {};

}  // namespace

TEST_P(HidOrder, FirstKnownDeviceWinsAndSetsTheReportSize) {
  const HidCase& c = GetParam();
  for (const auto& [vendor, product] : c.attached) hid_sim::attach(vendor, product);
  EXPECT_EQ(open_device_link(name_), 1);
  EXPECT_EQ(hid_status, LINK_HID);
  EXPECT_EQ(device_generation, c.generation);
  EXPECT_EQ(report_length, c.length);
  EXPECT_STRNE(name_, "") << "the product string names the device";

  EXPECT_EQ(CMD_QUERY_FIRMWARE_VERSION(), c.length);
  EXPECT_EQ(command_pending, 1);
  const auto writes = hid_sim::writes();
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].vendor, c.opened_vendor);
  EXPECT_EQ(writes[0].product, c.opened_product);
  EXPECT_EQ(writes[0].bytes.size(), size_t(c.length));
  EXPECT_EQ(hid_sim::open_handles(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, HidOrder,
    ::testing::Values(HidCase{"St0483Only", {{0x0483, 0x5932}}, 0x0483, 0x5932, 1, 5},
                      HidCase{"Product2Only", {{0x255D, 0x0002}}, 0x255D, 0x0002, 2, 7},
                      HidCase{"Product1Only", {{0x255D, 0x0001}}, 0x255D, 0x0001, 1, 5},
                      HidCase{"Product6Only", {{0x255D, 0x0006}}, 0x255D, 0x0006, 2, 7},
                      HidCase{"St0483BeatsProduct2", {{0x255D, 0x0002}, {0x0483, 0x5932}}, 0x0483,
                              0x5932, 1, 5},
                      HidCase{"Product1BeatsProduct6", {{0x255D, 0x0006}, {0x255D, 0x0001}}, 0x255D,
                              0x0001, 1, 5}),
    [](const ::testing::TestParamInfo<HidCase>& info) { return std::string(info.param.label); });

TEST_F(UsbLinkTest, UnreadableProductStringKeepsTheHidLinkOpen) {
  hid_sim::attach(0x255D, 0x0002);
  hid_sim::set_product_string_fails(true);
  EXPECT_EQ(open_device_link(name_), 1);
  EXPECT_STREQ(name_, "Unable to read product string");
  EXPECT_EQ(hid_status, LINK_HID);
  EXPECT_GT(CMD_QUERY_RX_MODE(), 0);
}

TEST_F(UsbLinkTest, HidAnswerShorterThanFiveBytesIsNoAnswer) {
  hid_sim::attach(0x255D, 0x0002);
  ASSERT_EQ(open_device_link(name_), 1);
  unsigned char answer[7];
  EXPECT_EQ(read_answer(answer), -1) << "nothing waiting";

  hid_sim::set_read_limit(4);
  ASSERT_EQ(send_command(FIRMWARE_QUERY), 7);
  EXPECT_EQ(read_answer(answer), -1);
  EXPECT_EQ(command_pending, 1);

  hid_sim::set_read_limit(0);
  ASSERT_EQ(send_command(FIRMWARE_QUERY), 7);
  EXPECT_EQ(read_answer(answer), 7);
  EXPECT_EQ(Bytes(answer, answer + 7), FIRMWARE_ANSWER);
  EXPECT_EQ(command_pending, 0);
}

TEST_F(UsbLinkTest, UnpluggedHidDeviceFailsTheSendAndLeavesAnErrorText) {
  hid_sim::attach(0x255D, 0x0002);
  ASSERT_EQ(open_device_link(name_), 1);
  EXPECT_STREQ(hid_error(hid_device_handle()), L"Success") << "as hidapi answers with no failure";
  EXPECT_EQ(hid_link_error(), nullptr);
  command_pending = 1;
  hid_sim::unplug();
  EXPECT_LT(send_command(FIRMWARE_QUERY), 0);
  EXPECT_EQ(command_pending, 0);
  ASSERT_NE(hid_link_error(), nullptr);
  EXPECT_STREQ(hid_link_error(), hid_error(hid_device_handle()));
  close_device_link();
  EXPECT_EQ(hid_link_error(), nullptr) << "no device, no error";
}

TEST_F(UsbLinkTest, ClosingReleasesTheHidDeviceOnceAndReopenDoesNotLeakIt) {
  hid_sim::attach(0x255D, 0x0002);
  ASSERT_EQ(open_device_link(name_), 1);
  EXPECT_EQ(reopen_device_link(name_), 1);
  EXPECT_EQ(hid_sim::open_handles(), 1);
  hid_status = LINK_NONE;  // as the status poll marks a lost device
  EXPECT_EQ(reopen_device_link(name_), 1);
  EXPECT_EQ(hid_sim::open_handles(), 1);
  EXPECT_EQ(close_device_link(), 0);
  EXPECT_EQ(close_device_link(), 0);
  EXPECT_EQ(hid_device_handle(), nullptr);
  EXPECT_EQ(hid_sim::open_handles(), 0);
  EXPECT_EQ(hid_sim::bad_closes(), 0);
}

TEST_F(UsbLinkTest, WithNoLinkNothingIsSentOrRead) {
  EXPECT_EQ(send_command(FIRMWARE_QUERY), 0);
  EXPECT_EQ(command_pending, 0);
  unsigned char answer[7] = {0x55};
  EXPECT_EQ(read_answer(answer), 0);
  EXPECT_EQ(answer[0], 0);
  EXPECT_TRUE(hid_sim::writes().empty());
  EXPECT_EQ(tcp_pending(nullptr), 0);
}

TEST_F(UsbLinkTest, TunnelWrapsTheReportForTheTcpChannelWhateverTheLink) {
  hid_sim::attach(0x255D, 0x0002);
  ASSERT_EQ(open_device_link(name_), 1);
  network_tunnel = 1;
  const unsigned char report[7] = {0x02, 0x09, 0, 0, 0, 0, 0};
  const struct {
    int length;
    Bytes message;
  } cases[] = {{7, {0x09, 0xE0, 0x02, 0x09, 0, 0, 0, 0, 0}}, {5, {0x07, 0xE0, 0x02, 0x09, 0, 0, 0}}};
  for (const auto& c : cases) {
    report_length = c.length;
    command_pending = 0;
    EXPECT_EQ(send_command(report), 1) << "returned 1 with no TCP connection at all";
    EXPECT_EQ(command_pending, 1);
    const unsigned char* pending = nullptr;
    const int length = tcp_pending(&pending);
    EXPECT_EQ(Bytes(pending, pending + length), c.message) << "report_length " << c.length;
  }
  EXPECT_TRUE(hid_sim::writes().empty()) << "the tunnel takes precedence over the open HID device";
}

TEST_F(UsbLinkTest, TunnelledAnswerIsTakenOnceAndOnlyFromATunnelMessage) {
  network_tunnel = 1;
  command_pending = 1;
  unsigned char answer[7];
  const Bytes tunnelled = {0x09, 0xE0, 0x06, 0x09, 0x23, 0x05, 0x00, 0x00, 0x00};
  memcpy(tunnel_answer_slot, tunnelled.data(), tunnelled.size());
  EXPECT_EQ(read_answer(answer), 7);
  EXPECT_EQ(Bytes(answer, answer + 7), FIRMWARE_ANSWER);
  EXPECT_EQ(tunnel_answer_slot[0], 0);
  EXPECT_EQ(read_answer(answer), 0) << "the same answer is never returned twice";
  EXPECT_EQ(answer[0], 0);

  for (unsigned char type : {0x00, 0x20, 0xDF}) {
    memcpy(tunnel_answer_slot, tunnelled.data(), tunnelled.size());
    tunnel_answer_slot[1] = type;
    EXPECT_EQ(read_answer(answer), 0) << "type byte " << int(type);
    EXPECT_EQ(tunnel_answer_slot[0], 0x09) << "a message of another type stays where it is";
  }
  EXPECT_EQ(command_pending, 1) << "the tunnel never clears the pending flag";
}

TEST_F(UsbLinkTest, WaitCommandDoneReturnsAtOnceWhenNothingIsPending) {
  command_pending = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(wait_command_done(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500))
      << "must not wait out its bound of about a second";
  command_pending = 1;
  EXPECT_EQ(wait_command_done(), -1) << "nothing clears it: the bound ends the wait";
}

TEST_F(UsbLinkTest, MailboxFilesAreFoundUnderThePathPrefix) {
  MOUNT_DRIVE();
  set_msd_path("H:/");
  CaptureStdout();
  EXPECT_EQ(open_device_link(name_), 1);
  EXPECT_EQ(GetCapturedStdout(), "The Tavrin path is: H:/\n\rTavrin MSD Device\n");
  EXPECT_STREQ(name_, "Tavrin MSD Device");
  EXPECT_EQ(hid_status, LINK_MASS_STORAGE);
  EXPECT_EQ(device_generation, 2);
  EXPECT_EQ(report_length, 7);
  EXPECT_EQ(open_files_under(mount_point_), 2);
  close_device_link();
  EXPECT_EQ(open_files_under(mount_point_), 0);
}

TEST_F(UsbLinkTest, EmptyPathUsesTheDefaultPrefixWithoutASeparator) {
  write_file(dir_ + "/G:\\command.in", std::string(512, '\0'));
  write_file(dir_ + "/G:\\command.out", std::string(512, '\0'));
  CaptureStdout();
  EXPECT_EQ(open_device_link(name_), 1);
  EXPECT_EQ(GetCapturedStdout(),
            "The Tavrin path was not defined, use default: G:\\\n\rTavrin MSD Device\n");
  EXPECT_EQ(open_files_under(dir_), 2) << "G:\\command.in and G:\\command.out in the working directory";
}

namespace {

struct OpenFailure {
  const char* label;
  MsdDrive::Files files;
  int allocations_allowed;  // -1: no limit
  int result;
  const char* name;
  std::string printed_after_path;
};
void PrintTo(const OpenFailure& c, std::ostream* os) { *os << c.label; }

class MailboxOpenFailure : public UsbLinkTest, public ::testing::WithParamInterface<OpenFailure> {};

}  // namespace

TEST_P(MailboxOpenFailure, NamesTheCauseAndLeavesNoFileOpen) {
  const OpenFailure& c = GetParam();
  MOUNT_DRIVE(c.files);
  set_msd_path("H:/");
  if (c.allocations_allowed >= 0) fail_allocations_after(c.allocations_allowed);
  CaptureStdout();
  EXPECT_EQ(open_device_link(name_), c.result);
  allow_all_allocations();
  EXPECT_EQ(GetCapturedStdout(), "The Tavrin path is: H:/\n\r" + c.printed_after_path);
  EXPECT_STREQ(name_, c.name);
  EXPECT_EQ(hid_status, LINK_NONE);
  EXPECT_EQ(open_files_under(mount_point_), 0);
  EXPECT_EQ(send_command(FIRMWARE_QUERY), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, MailboxOpenFailure,
    ::testing::Values(
        OpenFailure{"NoCommandIn", {false, true, true}, -1, 0, "Unable to open Input device!\r\n",
                    "Input file H:/command.in open  error 2\n\r"},
        OpenFailure{"NoCommandOut", {true, false, true}, -1, 0, "Unable to open Output device!\r\n",
                    "Output file error 2\n\r"},
        // The HID attempt leaves "Unable to open device!" for the mass-storage outcome to replace;
        // running out of memory replaces nothing.
        OpenFailure{"NoMemoryForInputName", {}, 0, -1, "Unable to open device!",
                    "(input) Cannot allocate wchar_t space!\n\r"},
        OpenFailure{"NoMemoryForOutputName", {}, 1, -1, "Unable to open device!",
                    "(output) Cannot allocate wchar_t space!\n\r"}),
    [](const ::testing::TestParamInfo<OpenFailure>& info) { return std::string(info.param.label); });

TEST_F(UsbLinkTest, EveryCommandSectorReachesTheDriveEvenWhenRepeated) {
  MOUNT_DRIVE();
  set_msd_path("H:/");
  ASSERT_EQ(open_device_link(name_), 1);
  EXPECT_EQ(CMD_SET_FREQUENCY(7050000, 0), 512);
  EXPECT_EQ(CMD_SET_FREQUENCY(7050000, 0), 512);
  EXPECT_EQ(command_pending, 1);
  const Bytes tuning = {0x03, 0x10, 0x93, 0x6B, 0x00, 0x00, 0x00};
  EXPECT_EQ(drive_->commands(), (std::vector<Bytes>{tuning, tuning}));
}

TEST_F(UsbLinkTest, MailboxAnswerIsAcknowledgedAndReadOnce) {
  MOUNT_DRIVE();
  set_msd_path("H:/");
  ASSERT_EQ(open_device_link(name_), 1);
  ASSERT_EQ(send_command(FIRMWARE_QUERY), 512);
  unsigned char answer[7];
  EXPECT_EQ(read_answer(answer), 512) << "the result of writing the sector back";
  EXPECT_EQ(Bytes(answer, answer + 7), FIRMWARE_ANSWER);
  EXPECT_EQ(command_pending, 0);
  EXPECT_EQ(drive_->acknowledgements(), 1);
  EXPECT_EQ(read_answer(answer), 0);
  EXPECT_EQ(answer[0], 0);
  EXPECT_EQ(drive_->answer_writes(), 1);
}

TEST_F(UsbLinkTest, MailboxSectorStartingWithZeroIsNoAnswerAndIsNotWrittenBack) {
  MOUNT_DRIVE();
  set_msd_path("H:/");
  ASSERT_EQ(open_device_link(name_), 1);
  command_pending = 1;
  Bytes sector(512, 0x77);
  sector[0] = 0;
  drive_->put_answer_sector(sector);
  unsigned char answer[7] = {0x55};
  EXPECT_EQ(read_answer(answer), 0);
  EXPECT_EQ(answer[0], 0);
  EXPECT_EQ(drive_->answer_writes(), 0);
  EXPECT_EQ(command_pending, 1);
}

TEST_F(UsbLinkTest, NoSectorBufferFailsTheTransferWithItsMessage) {
  MOUNT_DRIVE();
  set_msd_path("H:/");
  ASSERT_EQ(open_device_link(name_), 1);
  ASSERT_EQ(send_command(FIRMWARE_QUERY), 512);
  fail_allocations_after(0);
  CaptureStdout();
  EXPECT_EQ(send_command(FIRMWARE_QUERY), -1);
  unsigned char answer[7];
  EXPECT_EQ(read_answer(answer), -1);
  allow_all_allocations();
  EXPECT_EQ(GetCapturedStdout(), "Cannot allocate buffer!\r\nCannot allocate buffer!\r\n");
  EXPECT_EQ(drive_->commands().size(), 1u);
  EXPECT_EQ(drive_->answer_writes(), 0) << "the waiting answer was not taken";
}

namespace {

struct StartupQuery {
  int (*send)();
  uint8_t answer_code;
};

int query_main_clock_low() { return CMD_QUERY_MAIN_CLOCK(0); }
int query_main_clock_high() { return CMD_QUERY_MAIN_CLOCK(1); }
int set_broadcast_off() { return CMD_SET_BROADCAST(false); }
int query_vhf_ref_clock() { return CMD_QUERY_VHF_REF_CLOCK(); }

// What the start-up sequence asks, in its order, and the code each answer carries.
const StartupQuery STARTUP_QUERIES[] = {
    {CMD_QUERY_FE_STATUS, 4},      {CMD_QUERY_FIRMWARE_VERSION, 9}, {CMD_QUERY_RX_MODE, 15},
    {query_main_clock_low, 85},    {query_main_clock_high, 85},     {CMD_QUERY_IP_ADDRESS, 16},
    {CMD_QUERY_IP_MASK, 17},       {CMD_QUERY_GATEWAY, 18},         {CMD_QUERY_DEST_PORT, 20},
    {CMD_QUERY_DEST_IP, 19},       {CMD_QUERY_SERIAL_NUMBER, 29},   {CMD_QUERY_HW_VERSION, 37},
    {CMD_QUERY_VCO_VOLTAGE, 32},   {CMD_QUERY_GAIN_TABLE, 34},      {set_broadcast_off, 41},
    {CMD_QUERY_SDR_ID, 51},        {CMD_QUERY_DHCP_SERVER, 54},     {CMD_QUERY_DHCP_CLIENT, 76},
    {CMD_QUERY_SAMPLE_RATE, 14},   {CMD_QUERY_AGC_STATE, 71},       {query_vhf_ref_clock, 91},
};

// Sends every start-up query, reading each answer before the next, and
// assembles the main clock from its halves.
void expect_startup_answers(const std::function<int(unsigned char*)>& read_one) {
  uint32_t main_clock = 0;
  for (const StartupQuery& q : STARTUP_QUERIES) {
    ASSERT_GT(q.send(), 0);
    unsigned char report[7] = {};
    ASSERT_GT(read_one(report), 0) << "no answer to code " << int(q.answer_code);
    const Answer answer = decode_answer(report);
    EXPECT_EQ(answer.kind, Answer::Status);
    EXPECT_EQ(answer.code, q.answer_code);
    if (answer.code == 85) apply_main_clock_half(answer.value, &main_clock);
    if (answer.code == 15) EXPECT_LE(answer.value, 5u);
    if (answer.code == 4) EXPECT_EQ(answer.value, 0u) << "front end working";
  }
  EXPECT_EQ(main_clock, 80000000u);
}

}  // namespace

TEST_F(UsbLinkTest, SimulatedReceiversAnswerTheStartUpQueriesOrStaySilent) {
  hid_sim::attach(0x255D, 0x0006);
  ASSERT_EQ(open_device_link(name_), 1);
  expect_startup_answers(read_answer);
  hid_sim::set_silent(true);
  ASSERT_GT(CMD_QUERY_FIRMWARE_VERSION(), 0);
  unsigned char report[7];
  EXPECT_EQ(read_answer(report), -1);
  close_device_link();
  hid_sim::reset();

  MOUNT_DRIVE();
  set_msd_path("H:/");
  ASSERT_EQ(open_device_link(name_), 1);
  expect_startup_answers(read_answer);
  drive_->with_firmware([](SimFirmware& f) { f.wrong_answers = true; });
  ASSERT_GT(CMD_QUERY_FIRMWARE_VERSION(), 0);
  ASSERT_GT(read_answer(report), 0);
  EXPECT_EQ(decode_answer(report).kind, Answer::Other) << "a report id no host reads";
  drive_->with_firmware([](SimFirmware& f) { f.silent = true; f.wrong_answers = false; });
  ASSERT_GT(CMD_QUERY_FIRMWARE_VERSION(), 0);
  EXPECT_EQ(read_answer(report), 0);
}
