// wav_ramp_check FILE.wav: tells whether a recording holds the simulated
// receiver's single-channel ramp (I = n, Q = -n, n climbing by one per
// sample, 16-bit wrapping) without a break. Exit 0 when it does.
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

uint32_t get32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: wav_ramp_check FILE.wav\n");
    return 2;
  }
  FILE* f = fopen(argv[1], "rb");
  if (!f) {
    perror(argv[1]);
    return 2;
  }
  std::vector<uint8_t> wav;
  uint8_t chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) wav.insert(wav.end(), chunk, chunk + n);
  fclose(f);
  if (wav.size() < 44 || memcmp(&wav[0], "RIFF", 4) || memcmp(&wav[8], "WAVEfmt ", 8) ||
      get16(&wav[20]) != 1 || get16(&wav[22]) != 2 || get16(&wav[34]) != 16 ||
      memcmp(&wav[36], "data", 4)) {
    fprintf(stderr, "%s: not a two-channel 16-bit PCM WAV file\n", argv[1]);
    return 1;
  }
  const uint32_t rate = get32(&wav[24]);
  const size_t data = std::min<size_t>(get32(&wav[40]), wav.size() - 44) / 4 * 4;
  const uint8_t* iq = &wav[44];
  size_t breaks = 0;
  for (size_t k = 0; k < data; k += 4) {
    const uint16_t i = get16(iq + k), q = get16(iq + k + 2);
    if (uint16_t(i + q) != 0) ++breaks;
    if (k > 0 && uint16_t(i - get16(iq + k - 4)) != 1) ++breaks;
  }
  const size_t samples = data / 4;
  if (samples == 0) {
    printf("%s: no samples\n", argv[1]);
    return 1;
  }
  if (breaks) {
    printf("%s: %zu samples at %u samples/s, %zu breaks in the ramp\n", argv[1], samples, rate, breaks);
    return 1;
  }
  printf("%s: %zu samples at %u samples/s (%.1f s), the simulator's ramp I = n, Q = -n "
         "unbroken from n = %d\n",
         argv[1], samples, rate, double(samples) / rate, int(get16(iq)));
  return 0;
}
