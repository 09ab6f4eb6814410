// demultiplex_frames per RX mode, in output bytes per second, beside memcpy
// of the same output size. Output sizes are one normal datagram's output.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "net/demultiplex.h"

namespace {

constexpr int PAYLOAD = 1024;  // sample bytes of a normal datagram

struct ModeCase {
  int mode, channel, diversity, stream_number;
};

int output_bytes(const ModeCase& c) {
  if (c.mode == RX_SINGLE || c.mode == RX_DIVERSITY_SINGLE || c.stream_number) return PAYLOAD;
  if (c.mode == RX_DIVERSITY_DUAL || c.mode == RX_DUAL) return PAYLOAD / 2;
  return PAYLOAD / 4;
}

void run_demultiplex(benchmark::State& state, ModeCase c) {
  ChannelSelection selection;
  selection.set_rx_mode(c.mode);
  selection.set_selected_channel(c.channel);
  selection.set_diversity(c.diversity);
  selection.set_stream_number(c.stream_number);
  std::vector<uint8_t> input(PAYLOAD + 64);
  for (size_t i = 0; i < input.size(); ++i) input[i] = uint8_t(i * 37);
  std::vector<uint8_t> output(PAYLOAD);
  const int length = output_bytes(c);
  for (auto _ : state) {
    demultiplex_frames(output.data(), input.data(), length, selection);
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * length);
}

void run_memcpy(benchmark::State& state) {
  const size_t length = size_t(state.range(0));
  std::vector<uint8_t> input(PAYLOAD + 64, 1), output(PAYLOAD);
  for (auto _ : state) {
    memcpy(output.data(), input.data(), length);
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(length));
}

}  // namespace

BENCHMARK_CAPTURE(run_demultiplex, mode0_single_copy_1024, ModeCase{0, 0, 0, 0});
BENCHMARK_CAPTURE(run_demultiplex, mode2_dual_channel2_512, ModeCase{2, 2, 0, 0});
BENCHMARK_CAPTURE(run_demultiplex, mode1_dual_diversity_512, ModeCase{1, 0, 1, 0});
BENCHMARK_CAPTURE(run_demultiplex, mode5_quad_channel3_256, ModeCase{5, 3, 0, 0});
BENCHMARK_CAPTURE(run_demultiplex, mode4_quad_diversity_256, ModeCase{4, 0, 1, 0});
BENCHMARK_CAPTURE(run_demultiplex, mode2_stream1_copy_1024, ModeCase{2, 2, 0, 1});
BENCHMARK(run_memcpy)->Arg(1024)->Arg(512)->Arg(256);

BENCHMARK_MAIN();
