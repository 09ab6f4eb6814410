#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated receiver on loopback
# and records ten seconds of its samples through the plug-in, as an SDR host
# program would: extio_host record, in network mode, control window included.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${BUILD_DIR:-$top/build}"
receiver_address=127.0.0.2
receiver_port=50000
seconds=10

if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
  cat <<'HELP'
usage: ./run.sh

Builds everything, starts the simulated network receiver (receiver_sim net)
on 127.0.0.2 inside a private network namespace, points a scratch working
directory's sdr_config.ini at it in network mode, records ten seconds with
  extio_host record build/ExtIO_Tavrin_SDR.so --seconds 10 --out recording.wav
and checks that the recording holds the simulator's sample ramp. The control
window is shown when a display is reachable, offscreen otherwise.

With a real receiver
--------------------
The plug-in reads ./sdr_config.ini and writes its call log ./extio_log.txt
in the current directory, so work in the directory that holds your settings:

  mkdir -p ~/radio && cd ~/radio

USB receiver (HID or mass-storage drive): no settings are needed; plug it in
(give your user access to its hidraw device, or to the drive's mount).
Network receiver: create sdr_config.ini with

  [General]
  network_enable_flag=1
  sdr_ip_address=192.168.0.8   # your receiver's address
  udp_port=50000

Then either open the control window alone, with the standalone launcher:

  /path/to/build/standalone_launcher

or run the plug-in under the host program, e.g. record 30 seconds:

  /path/to/build/extio_host record /path/to/build/ExtIO_Tavrin_SDR.so \
      --seconds 30 --out capture.wav
  /path/to/build/extio_host record /path/to/build/ExtIO_Tavrin_SDR.so \
      --seconds 30 --out - | other-sdr-tool   # raw 16-bit I/Q on stdout

or load build/ExtIO_Tavrin_SDR.so into your SDR program as an ExtIO plug-in.
At high sample rates raise the kernel's socket buffer limit, e.g.
  sudo sysctl -w net.core.rmem_max=16777216
HELP
  exit 0
fi

# The job itself, inside the private namespace (or on plain loopback where
# namespaces are not allowed): ./run.sh --job BUILD WORKDIR.
if [ "${1:-}" = "--job" ]; then
  build="$2"
  work="$3"
  cd "$work"
  "$build/receiver_sim" net --address "$receiver_address" --port "$receiver_port" \
    --rate 977 >"$work/receiver_sim.log" 2>&1 &
  sim=$!
  trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
  for _ in $(seq 50); do
    grep -q "streaming on" "$work/receiver_sim.log" 2>/dev/null && break
    kill -0 "$sim" 2>/dev/null || { cat "$work/receiver_sim.log"; exit 1; }
    sleep 0.1
  done
  echo "== simulated receiver: $(head -1 "$work/receiver_sim.log")"
  # The window needs a display it can reach from here: a local X socket.
  display="${DISPLAY:-}"
  display_socket="/tmp/.X11-unix/X${display#:}"
  display_socket="${display_socket%.*}"
  if [ -n "$display" ] && [ "${display#:}" != "$display" ] && [ -S "$display_socket" ]; then
    echo "== control window on display $DISPLAY"
  else
    export QT_QPA_PLATFORM=offscreen
    echo "== no display reachable: the control window runs offscreen"
  fi
  status=0
  "$build/extio_host" record "$build/ExtIO_Tavrin_SDR.so" --seconds "$seconds" \
    --out "$work/recording.wav" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "== recording failed (exit $status); see $work/extio_log.txt and $work/receiver_sim.log"
    exit "$status"
  fi
  "$build/wav_ramp_check" "$work/recording.wav"
  exit $?
fi

"$top/scripts/install_deps.sh"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target ExtIO_Tavrin_SDR extio_host receiver_sim \
  wav_ramp_check standalone_launcher
work="$(mktemp -d /tmp/wavedeck-run-XXXXXX)"
cat >"$work/sdr_config.ini" <<INI
[General]
network_enable_flag=1
sdr_ip_address=$receiver_address
udp_port=$receiver_port
INI
echo "== working directory: $work (settings: network mode, receiver $receiver_address:$receiver_port)"
status=0
if unshare -rnm true 2>/dev/null; then
  "$top/scripts/in_private_net.sh" "$top/run.sh" --job "$build" "$work" || status=$?
else
  echo "== private namespaces are not allowed here: the receiver runs on $receiver_address"
  "$top/run.sh" --job "$build" "$work" || status=$?
fi
if [ "$status" -eq 0 ]; then
  echo "== recording: $work/recording.wav (its samples are the simulator's ramp)"
else
  echo "== run failed; files in $work"
fi
exit "$status"
