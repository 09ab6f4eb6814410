// The channel demultiplexer: channel selection and diversity sum per RX mode.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "net/demultiplex.h"

namespace {

constexpr uint8_t UNTOUCHED = 0xEE;
constexpr int INPUT_WORDS = 64;

// Input word j: distinct values spread over the whole 16-bit range, so that
// sums of several of them wrap.
int16_t input_word(int j) { return int16_t(uint16_t(30000 + 1000 * j)); }

std::vector<uint8_t> input_bytes() {
  std::vector<uint8_t> bytes(INPUT_WORDS * 2);
  for (int j = 0; j < INPUT_WORDS; ++j) {
    bytes[2 * j] = uint8_t(input_word(j));
    bytes[2 * j + 1] = uint8_t(uint16_t(input_word(j)) >> 8);
  }
  return bytes;
}

struct Case {
  const char* name;
  int mode, channel, diversity, stream_number;
  int output_length;
  // Each expected output word is the 16-bit wrapped sum of the input words
  // at these indexes (one index: a plain copy of that word).
  std::vector<std::vector<int>> words;
  int bytes_written;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::vector<uint8_t> expected_output(const Case& c) {
  std::vector<uint8_t> out(INPUT_WORDS * 2, UNTOUCHED);
  std::vector<uint8_t> words;
  for (const auto& sources : c.words) {
    int sum = 0;
    for (int j : sources) sum += input_word(j);
    words.push_back(uint8_t(sum));
    words.push_back(uint8_t(sum >> 8));
  }
  memcpy(out.data(), words.data(), size_t(c.bytes_written));
  return out;
}

const Case cases[] = {
    {"mode0_copies", 0, 2, 0, 0, 16, {{0}, {1}, {2}, {3}, {4}, {5}, {6}, {7}}, 16},
    {"mode0_ignores_diversity", 0, 0, 1, 0, 8, {{0}, {1}, {2}, {3}}, 8},
    {"mode3_odd_length_copies_exactly", 3, 0, 1, 0, 7, {{0}, {1}, {2}, {3}}, 7},
    {"mode2_channel1", 2, 0, 0, 0, 16, {{0}, {1}, {4}, {5}, {8}, {9}, {12}, {13}}, 16},
    {"mode2_channel2", 2, 2, 0, 0, 16, {{2}, {3}, {6}, {7}, {10}, {11}, {14}, {15}}, 16},
    {"mode1_channel2", 1, 2, 0, 0, 8, {{2}, {3}, {6}, {7}}, 8},
    {"mode1_channel_code1_is_channel1", 1, 1, 0, 0, 8, {{0}, {1}, {4}, {5}}, 8},
    {"mode2_channel3_not_in_frame_reads_channel1", 2, 3, 0, 0, 8, {{0}, {1}, {4}, {5}}, 8},
    {"mode2_channel4_not_in_frame_reads_channel1", 2, 4, 0, 0, 8, {{0}, {1}, {4}, {5}}, 8},
    {"mode1_diversity_sums_two", 1, 2, 1, 0, 8, {{0, 2}, {1, 3}, {4, 6}, {5, 7}}, 8},
    {"mode2_diversity_sums_two", 2, 0, 1, 0, 8, {{0, 2}, {1, 3}, {4, 6}, {5, 7}}, 8},
    {"mode5_channel1", 5, 0, 0, 0, 12, {{0}, {1}, {8}, {9}, {16}, {17}}, 12},
    {"mode5_channel2", 5, 2, 0, 0, 8, {{2}, {3}, {10}, {11}}, 8},
    {"mode5_channel3", 5, 3, 0, 0, 8, {{4}, {5}, {12}, {13}}, 8},
    {"mode4_channel4", 4, 4, 0, 0, 8, {{6}, {7}, {14}, {15}}, 8},
    {"mode4_diversity_sums_four", 4, 3, 1, 0, 8, {{0, 2, 4, 6}, {1, 3, 5, 7}, {8, 10, 12, 14}, {9, 11, 13, 15}}, 8},
    {"mode5_diversity_sums_four", 5, 0, 1, 0, 4, {{0, 2, 4, 6}, {1, 3, 5, 7}}, 4},
    {"mode5_odd_length_drops_remainder", 5, 2, 0, 0, 7, {{2}, {3}}, 4},
    {"mode2_length_below_one_sample_writes_nothing", 2, 2, 0, 0, 3, {}, 0},
    {"zero_length_writes_nothing", 0, 0, 0, 0, 0, {}, 0},
    {"unknown_mode_uses_dual_frames", 7, 2, 0, 0, 8, {{2}, {3}, {6}, {7}}, 8},
    {"unknown_mode_diversity_sums_two", 7, 0, 1, 0, 4, {{0, 2}, {1, 3}}, 4},
    {"stream1_mode2_copies", 2, 2, 0, 1, 16, {{0}, {1}, {2}, {3}, {4}, {5}, {6}, {7}}, 16},
    {"stream4_mode4_diversity_copies", 4, 0, 1, 4, 8, {{0}, {1}, {2}, {3}}, 8},
    {"stream2_mode5_odd_length_copies_exactly", 5, 3, 0, 2, 5, {{0}, {1}, {2}}, 5},
};

class Demultiplex : public ::testing::TestWithParam<Case> {};

TEST_P(Demultiplex, ProducesTheSelectedOrSummedSamples) {
  const Case& c = GetParam();
  ChannelSelection selection;
  selection.set_rx_mode(c.mode);
  selection.set_selected_channel(c.channel);
  selection.set_diversity(c.diversity);
  selection.set_stream_number(c.stream_number);
  const std::vector<uint8_t> input = input_bytes();
  std::vector<uint8_t> output(INPUT_WORDS * 2, UNTOUCHED);

  demultiplex_frames(output.data(), input.data(), c.output_length, selection);

  EXPECT_EQ(output, expected_output(c));
}

INSTANTIATE_TEST_SUITE_P(Table, Demultiplex, ::testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Demultiplex, DiversitySumsWrapInSixteenBitsWithoutSaturation) {
  const int16_t frame[] = {32767, -32768, 1, -1};
  ChannelSelection selection;
  selection.set_rx_mode(RX_DUAL);
  selection.set_diversity(1);
  int16_t out[2] = {0, 0};

  demultiplex_frames(reinterpret_cast<uint8_t*>(out), reinterpret_cast<const uint8_t*>(frame), 4,
                     selection);

  EXPECT_EQ(out[0], -32768);
  EXPECT_EQ(out[1], 32767);
}

TEST(Demultiplex, InputConsumedMatchesTheFramesRead) {
  ChannelSelection selection;
  const struct {
    int mode, stream_number, length, consumed;
  } rows[] = {{0, 0, 4096, 4096}, {3, 0, 100, 100}, {1, 0, 4096, 8192}, {2, 0, 6, 8},
              {4, 0, 2048, 8192}, {5, 0, 2048, 8192}, {5, 1, 2048, 2048}, {2, 3, 10, 10}};
  for (const auto& r : rows) {
    selection.set_rx_mode(r.mode);
    selection.set_stream_number(r.stream_number);
    EXPECT_EQ(demultiplex_input_bytes(r.length, selection), r.consumed)
        << "mode " << r.mode << " stream " << r.stream_number << " length " << r.length;
  }
}

// Diversity switched while a datagram is being demultiplexed: every output
// sample must still be frame k's own result (channel or sum) at position k,
// never a later frame's sample shifted to the front, nor stale bytes.
TEST(Demultiplex, DiversitySwitchedMidRunKeepsEverySampleInPlace) {
  constexpr int FRAMES = 64;
  std::vector<int16_t> input(FRAMES * 8);
  for (size_t j = 0; j < input.size(); ++j) input[j] = int16_t(j * 7 + 1);
  ChannelSelection selection;
  selection.set_rx_mode(RX_QUAD);
  selection.set_selected_channel(2);
  std::atomic<bool> done{false};
  std::thread toggler([&] {
    for (int i = 0; !done; ++i) selection.set_diversity(i & 1);
  });
  int bad = 0;
  std::vector<int16_t> out(FRAMES * 2);
  for (int run = 0; run < 2000 && bad == 0; ++run) {
    std::fill(out.begin(), out.end(), int16_t(-1));
    demultiplex_frames(reinterpret_cast<uint8_t*>(out.data()),
                       reinterpret_cast<const uint8_t*>(input.data()), FRAMES * 4, selection);
    for (int k = 0; k < FRAMES; ++k) {
      const int16_t* f = &input[size_t(k) * 8];
      const bool channel = out[2 * k] == f[2] && out[2 * k + 1] == f[3];
      const bool sum = out[2 * k] == int16_t(f[0] + f[2] + f[4] + f[6]) &&
                       out[2 * k + 1] == int16_t(f[1] + f[3] + f[5] + f[7]);
      if (!channel && !sum) ++bad;
    }
  }
  done = true;
  toggler.join();
  EXPECT_EQ(bad, 0);
}

}  // namespace
