#!/usr/bin/env bash
# Builds the libFuzzer targets in fuzz/ with clang (build-fuzz/) and runs each
# for SECONDS (default 60), at most two at a time, at the lowest priority,
# inside private user, network and IPC namespaces with only loopback up (the
# window targets connect to whatever address their input names). Prints one
# line per target: executions and findings. Exits non-zero when any target
# found something; the inputs are kept in build-fuzz/findings/<target>/.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# Environment: FUZZ_BUILD_DIR (default build-fuzz), FUZZ_JOBS (default 2),
# FUZZ_RSS_MB (default 2048).
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
[ $# -gt 0 ] && shift
build="${FUZZ_BUILD_DIR:-$top/build-fuzz}"
jobs="${FUZZ_JOBS:-2}"
rss_mb="${FUZZ_RSS_MB:-2048}"

all_targets=(fuzz_udp_datagram fuzz_tcp_chunk fuzz_answer fuzz_discovery_reply fuzz_telnet_chunk fuzz_settings_file)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")

# Largest input per target: a few datagrams, chunks or reports, or a file.
max_len_of() {
  case "$1" in
    fuzz_udp_datagram) echo 8192 ;;
    fuzz_discovery_reply) echo 8192 ;;
    fuzz_telnet_chunk) echo 4096 ;;
    fuzz_settings_file) echo 4096 ;;
    *) echo 2048 ;;
  esac
}

# 1. What the build needs, and clang with its libFuzzer runtime.
"$top/scripts/install_deps.sh"
missing=()
for p in clang libclang-rt-dev iproute2 util-linux; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# 2. The clang build of the targets only.
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DWAVEDECK_FUZZ=ON -DBUILD_TESTING=OFF -DWAVEDECK_BENCH=OFF >/dev/null
nice -n 19 cmake --build "$build" -j"$jobs" --target "${targets[@]}"

# 3. The runs. Each target has a corpus of its own that grows from run to run
# (build-fuzz/corpus/<target>), started from our seeds in fuzz/corpus/<target>.
scratch="$(mktemp -d "${TMPDIR:-/tmp}/wavedeck-fuzz.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

run_one() {
  local target="$1"
  local corpus="$build/corpus/$target" seeds="$top/fuzz/corpus/$target"
  local dict="$top/fuzz/dict/$target.dict" found="$scratch/$target/findings"
  local work="$scratch/$target/tmp"
  mkdir -p "$corpus" "$found" "$work"
  local args=(-max_total_time="$seconds" -rss_limit_mb="$rss_mb" -timeout=20
              -max_len="$(max_len_of "$target")" -print_final_stats=1
              -artifact_prefix="$found/")
  [ -f "$dict" ] && args+=(-dict="$dict")
  local dirs=("$corpus")
  [ -d "$seeds" ] && dirs+=("$seeds")
  # Private namespaces: nothing the target connects to leaves this process
  # tree, and the stream-sharing segment is its own.
  (cd "$work" && TMPDIR="$work" WAVEDECK_FUZZ_SANDBOX=1 QT_QPA_PLATFORM=offscreen \
     LSAN_OPTIONS="suppressions=$top/fuzz/lsan.supp:print_suppressions=0" \
     nice -n 19 unshare -rnmi sh -c 'ip link set lo up && exec "$@"' sh \
     "$build/fuzz/$target" "${args[@]}" "${dirs[@]}") >"$scratch/$target/log" 2>&1 || true
}

echo "Fuzzing ${#targets[@]} target(s) for ${seconds} s each, ${jobs} at a time..."
running=0
for target in "${targets[@]}"; do
  run_one "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait

# 4. One line per target.
status=0
for target in "${targets[@]}"; do
  log="$scratch/$target/log"
  found="$scratch/$target/findings"
  execs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1 || true)"
  if [ -z "$execs" ]; then
    execs="$(grep -o '^#[0-9]*' "$log" | tail -1 | tr -d '#' || true)"
  fi
  count=$(find "$found" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
  line="$(printf '%-22s %8s s  executions %10s  findings %d' "$target" "$seconds" "${execs:-?}" "$count")"
  if [ "$count" -gt 0 ]; then
    mkdir -p "$build/findings/$target"
    cp "$found"/* "$build/findings/$target/"
    cp "$log" "$build/findings/$target/log.txt"
    line="$line: $(cd "$found" && ls | tr '\n' ' ')(build-fuzz/findings/$target/)"
    status=1
  elif ! grep -q 'Done [0-9]* runs' "$log"; then
    # No finding but no normal end either (it did not start, or stopped).
    mkdir -p "$build/findings/$target"
    cp "$log" "$build/findings/$target/log.txt"
    line="$line  (did not finish normally: build-fuzz/findings/$target/log.txt)"
    status=1
  fi
  echo "$line"
done
exit "$status"
