#!/usr/bin/env python3
"""Writes the seed inputs of every fuzz target into fuzz/corpus/<target>/:
small, well-formed examples of what each parser takes (see the input format
at the top of each target's source). Run again after changing a format."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


# --- UDP datagrams ----------------------------------------------------------
def short_datagram(payload=1024, seq=0):
    return bytes([4, 0]) + u16(seq) + bytes((i * 7) & 0xFF for i in range(payload))


def extended_datagram(mode, payload=1024):
    header = bytes([24, 0]) + u16(1) + bytes([0, 0, mode, 0]) + u32(250000) + u32(7050000) + u32(14050000)
    return header + bytes((i * 3) & 0xFF for i in range(payload))


def udp_record(datagram, repeat=0, control=0):
    return bytes([control]) + u16(len(datagram)) + bytes([repeat]) + datagram


write("fuzz_udp_datagram", "single_short", bytes([0, 0, 0]) + udp_record(short_datagram(), 3))
write("fuzz_udp_datagram", "small_packets", bytes([1, 0, 0]) + udp_record(short_datagram(512), 8))
write("fuzz_udp_datagram", "quad_diversity_extended",
      bytes([4, 4, 0]) + udp_record(extended_datagram(4), 63) + udp_record(short_datagram(), 2))
write("fuzz_udp_datagram", "broadcast_dual_ch2",
      bytes([2, 2, 2]) + udp_record(extended_datagram(2), 70) + udp_record(bytes([9]) * 1044, 1, 0x85))
write("fuzz_udp_datagram", "stream_number_short_runt",
      bytes([16, 1, 3]) + udp_record(short_datagram()[:100]) + udp_record(short_datagram(), 1))

# --- TCP chunks ---------------------------------------------------------------
def chunk(data):
    return u16(len(data)) + data


answer = bytes([6, 14]) + u32(250000) + bytes([0])
write("fuzz_tcp_chunk", "tunnel_answer", bytes([0]) + chunk(bytes([9, 0xE0]) + answer))
write("fuzz_tcp_chunk", "five_byte", bytes([1]) + chunk(bytes([7, 0xE0]) + answer[:5]))
write("fuzz_tcp_chunk", "item_reply_then_two",
      bytes([0]) + chunk(bytes([5, 0, 0xC4, 0, 1])) + chunk((bytes([9, 0xE0]) + answer) * 5) + chunk(b"\x01"))

# --- Answer reports -----------------------------------------------------------
def status(code, value):
    return bytes([6, code]) + u32(value) + bytes([0])


reports = [status(4, 0), status(9, 0x0123), status(10, ord("A")), status(14, 192000), status(15, 2),
           status(16, 0xC0A80008), status(20, 50000), status(29, 0xDEADBEEF), status(32, 2048),
           status(34, 0x7642), status(36, 0x12345678), status(37, 5), status(41, 1), status(51, 2),
           status(54, 1), status(70, 0x80604020), status(71, 0xF), status(72, 2), status(76, 1),
           status(85, 0xB400), status(85, 0x104C4), status(91, 10000000),
           bytes([7]) + u32(7100000) + bytes([0, 0])]
write("fuzz_answer", "every_code", bytes([0, 0]) + b"".join(bytes([1]) + r for r in reports))
write("fuzz_answer", "rx_modes_startup",
      bytes([0x03, 2]) + b"".join(bytes([1]) + status(15, v) + bytes([0]) + bytes(7) for v in range(6)))
write("fuzz_answer", "five_byte_200ms", bytes([0x1A, 4]) + b"".join(bytes([7]) + r for r in reports[:8]))

# --- Discovery replies --------------------------------------------------------
def reply(name, serial, address, port, in_use=0, length=103):
    d = bytearray(length)
    d[0:2] = u16(length)
    d[2], d[3] = 0x5A, 0xA5
    d[5:5 + len(name)] = name
    d[21:21 + len(serial)] = serial
    d[37:41] = bytes(reversed(address))
    d[53:55] = u16(port)
    if length > 87:
        d[87] = in_use
    return bytes(d)


def datagram(data):
    return u16(len(data)) + data


write("fuzz_discovery_reply", "one_receiver",
      bytes([0]) + datagram(reply(b"Tavrin-SDR", b"SN0001", [127, 0, 0, 2], 50000)))
write("fuzz_discovery_reply", "two_and_in_use",
      bytes([3]) + datagram(reply(b"Plovex", b"SN0002", [127, 0, 0, 3], 50010, 2)) +
      datagram(reply(b"TVN480x-SDR", b"SN0003", [10, 200, 0, 9], 50020)) +
      datagram(reply(b"Plovex", b"SN0002", [127, 0, 0, 3], 50010)))
write("fuzz_discovery_reply", "short_and_wrong",
      bytes([1]) + datagram(reply(b"Tavrin-SDR", b"S", [127, 0, 0, 2], 1, 0, 88)) +
      datagram(reply(b"Tavrin-SDR ", b"S", [127, 0, 0, 2], 1)) + datagram(b"\x00\x00\x5a"))

# --- Telnet chunks ------------------------------------------------------------
def telnet(callsign, lo, qsy, chunks):
    return bytes([len(callsign)]) + callsign + u32(lo) + u32(qsy) + b"".join(u16(len(c)) + c for c in chunks)


write("fuzz_telnet_chunk", "login",
      telnet(b"CA11SIGN", 7000000, 14025500, [b"Welcome\r\nPlease enter your callsign:", b"OK\r\n"]))
write("fuzz_telnet_chunk", "zero_byte_and_latin1",
      telnet(b"\xe4\xf6", -1, 2147483647, [b"abc\x00def Please enter your callsign:", b"\xff\xfe\r\n"]))

# --- Settings files -----------------------------------------------------------
write("fuzz_settings_file", "usb_defaults", b"[General]\nfrequency_ch1=7050000\nrf_gain=40\nfe_gain=3\n"
      b"sdr_sample_rate=192000\nsdr_path=H:/\nscan_delay=30\nscan_band1=1840\nscan_band10=50000\n"
      b"callsign=CA11SIGN\ntelnet_port=7300\ntelnet_send_qsy=true\ninversion_flag=-1\n")
write("fuzz_settings_file", "network_stream", b"[General]\nnetwork_enable_flag=1\nsdr_ip_address=127.0.0.2\n"
      b"udp_port=50000\nmulti_stream_flag=2\nrx_channel_number=2\ndiversity_mode=5\nbroadcast_flag=1\n"
      b"multicast=1\nrivulet_discovery=0\nbroadcast_slave=0\n")
write("fuzz_settings_file", "transverter_devel", b"[General]\ndevel=1\ntransverter_mode_flag=1\n"
      b"tcvr_heterodyne_frequency=1268000000\ninversion_mode_flag=1\nheterodyne_frequency=116000000\n"
      b"sdr_vco_voltage=-2048\nalias_inversion_flag=0\nbypass_lpf=1\n")

# Every key the window reads at construction, at the ends of its range, in
# USB and network mode; and the file that showed the inversion overflow.
INT_KEYS = ["devel", "frequency_ch1", "frequency_ch2", "heterodyne_frequency", "multi_stream_flag",
            "rx_channel_number", "rf_gain", "rf_gain_ch2", "fe_gain", "sdr_sample_rate", "scan_delay",
            "scan_band1", "scan_band10", "udp_port", "sdr_vco_voltage", "telnet_port", "alias_inversion_flag",
            "inversion_flag", "broadcast_flag", "bypass_lpf", "internet_connect_flag", "broadcast_slave",
            "multicast", "diversity_mode", "inversion_mode_flag", "transverter_mode_flag",
            "tcvr_heterodyne_frequency", "enable_phase_shift", "phase_shift"]
for name, value in [("max", b"2147483647"), ("min", b"-2147483648"), ("huge", b"99999999999")]:
    for network in (0, 1):
        text = b"[General]\n" + b"".join(k.encode() + b"=" + value + b"\n" for k in INT_KEYS)
        text += b"network_enable_flag=%d\nsdr_ip_address=127.0.0.2\n" % network
        write("fuzz_settings_file", "every_key_%s_%s" % (name, "network" if network else "usb"), text)
write("fuzz_settings_file", "inversion_out_of_range", b"[General]\ninversion_flag=100\n")
