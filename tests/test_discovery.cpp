// Discovery requests and replies: what the window sends, which replies it
// lists and how, and that a short or odd reply is never read past its end.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "net/discovery.h"

namespace {

// A reply as a receiver sends it: 103 bytes, fields at their offsets.
std::vector<uint8_t> reply(const char* name = "Tavrin-SDR", const char* serial = "SN0001",
                           std::vector<uint8_t> address = {0x08, 0x00, 0xA8, 0xC0},
                           std::vector<uint8_t> port = {0x50, 0xC3}, uint8_t in_use = 0) {
  std::vector<uint8_t> r(DISCOVERY_RECORD_BYTES, 0);
  r[0] = 103;
  r[2] = 0x5A;
  r[3] = 0xA5;
  memcpy(&r[5], name, std::min<size_t>(strlen(name), 16));
  memcpy(&r[21], serial, std::min<size_t>(strlen(serial), 16));
  memcpy(&r[37], address.data(), 4);
  memcpy(&r[53], port.data(), 2);
  r[87] = in_use;
  return r;
}

// The reply copied into a buffer of exactly its length, so that a read past
// the end is seen by AddressSanitizer or valgrind rather than hidden by the
// vector's spare capacity.
ReplyCheck check_exact(const std::vector<uint8_t>& r, size_t length) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[length ? length : 1]);
  memcpy(exact.get(), r.data(), std::min(length, r.size()));
  return check_discovery_reply(exact.get(), int(length));
}

}  // namespace

TEST(DiscoveryRequest, IsFiftySixBytesWithHeaderAndSignature) {
  const auto request = discovery_request();
  std::vector<uint8_t> expected(56, 0);
  expected[0] = 0x38;
  expected[2] = 0x5A;
  expected[3] = 0xA5;
  EXPECT_EQ(std::vector<uint8_t>(request.begin(), request.end()), expected);
}

TEST(DiscoveryReply, OnlyExactNamesWithTheSignatureAndTheFlagsAreAccepted) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    size_t length;
    ReplyCheck expected;
  };
  std::vector<uint8_t> bad_signature = reply();
  bad_signature[3] = 0xA4;
  std::vector<uint8_t> unterminated_name = reply();
  memset(&unterminated_name[5], 'A', 16);
  std::vector<uint8_t> long_reply = reply("TVN480x-SDR");
  long_reply.resize(1500, 0xEE);
  const Case cases[] = {
      {"first name", reply("Tavrin-SDR"), 103, ReplyCheck::accepted},
      {"second name", reply("Plovex"), 103, ReplyCheck::accepted},
      {"third name", reply("TVN480x-SDR"), 103, ReplyCheck::accepted},
      {"longer than a record", long_reply, 1500, ReplyCheck::accepted},
      {"just holds the in-use flags", reply(), 88, ReplyCheck::accepted},
      {"name with a trailing blank", reply("Tavrin-SDR "), 103, ReplyCheck::unknown_name},
      {"name in other case", reply("tavrin-sdr"), 103, ReplyCheck::unknown_name},
      {"prefix of a name", reply("Tavrin"), 103, ReplyCheck::unknown_name},
      {"name without its zero byte", unterminated_name, 103, ReplyCheck::unknown_name},
      {"wrong signature", bad_signature, 103, ReplyCheck::wrong_signature},
      {"too short for the in-use flags", reply(), 87, ReplyCheck::too_short},
      {"only the header", reply(), 4, ReplyCheck::too_short},
      {"empty", reply(), 0, ReplyCheck::too_short},
  };
  for (const Case& c : cases) EXPECT_EQ(check_exact(c.bytes, c.length), c.expected) << c.what;
}

TEST(DiscoveryReply, RecordKeepsTheFirst103BytesAndZerosWhatDidNotArrive) {
  uint8_t record[DISCOVERY_RECORD_BYTES];
  std::vector<uint8_t> long_reply = reply();
  long_reply.resize(300, 0xEE);
  memset(record, 0x77, sizeof record);
  store_discovery_record(record, long_reply.data(), 300);
  EXPECT_EQ(0, memcmp(record, long_reply.data(), DISCOVERY_RECORD_BYTES));

  std::vector<uint8_t> short_reply = reply();
  short_reply.resize(90);
  memset(record, 0x77, sizeof record);
  store_discovery_record(record, short_reply.data(), 90);
  EXPECT_EQ(0, memcmp(record, short_reply.data(), 90));
  for (int i = 90; i < DISCOVERY_RECORD_BYTES; ++i) EXPECT_EQ(record[i], 0) << i;
}

TEST(DiscoveryReply, ListingLineShowsDottedAddressPortAndInUse) {
  struct Case {
    std::vector<uint8_t> bytes;
    const char* line;
  };
  const Case cases[] = {
      {reply("Tavrin-SDR", "SN0001"), "Tavrin-SDR   SN=SN0001   IP=192.168.0.8   Port=50000 \n\r"},
      {reply("Plovex", "77", {1, 2, 3, 4}, {0x01, 0x00}, 0x02),
       "(In Use) Plovex   SN=77   IP=4.3.2.1   Port=1 \n\r"},
      {reply("Plovex", "7", {1, 2, 3, 4}, {0xFF, 0xFF}, 0x01), "(In Use) Plovex   SN=7   IP=4.3.2.1   Port=65535 \n\r"},
      {reply("Plovex", "7", {1, 2, 3, 4}, {0xFF, 0xFF}, 0xFC), "Plovex   SN=7   IP=4.3.2.1   Port=65535 \n\r"},
      // Place-holders in a receiver's text are shown as text.
      {reply("Plovex", "%1%2", {0, 0, 0, 10}, {0, 1}), "Plovex   SN=%1%2   IP=10.0.0.0   Port=256 \n\r"},
      // A serial number of all 16 bytes (no zero byte) stops at its field.
      {reply("Plovex", "0123456789ABCDEFGHIJ", {0, 0, 0, 0}, {0, 0}),
       "Plovex   SN=0123456789ABCDEF   IP=0.0.0.0   Port=0 \n\r"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(discovery_listing_line(decode_discovery_record(c.bytes.data())).toStdString(), c.line);
  EXPECT_EQ(decode_discovery_record(reply().data()).ipv4, 0xC0A80008u);
}

TEST(DiscoveryReply, StreamPortOffsetsForStreamsOneToFour) {
  EXPECT_EQ(stream_port(50000, 0), 50000);
  EXPECT_EQ(stream_port(50000, 1), 50000);
  EXPECT_EQ(stream_port(50000, 3), 50002);
  EXPECT_EQ(stream_port(50000, 4), 50003);
  EXPECT_EQ(stream_port(65535, 2), 0);  // 16-bit, as the port field is
}
