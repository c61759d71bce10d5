#!/usr/bin/env python3
"""Writes the small seed corpus of fuzz_link into fuzz/corpus/: framed packets of
every command the service sends (as a TCP stream) plus a few bare
command+payload inputs."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))
out = os.path.join(here, "corpus")
os.makedirs(out, exist_ok=True)


def frame(cmd, payload):
    body = struct.pack(">HHH", 0, cmd, len(payload)) + payload
    return b"BR" + body + bytes([sum(body) & 0xFF])


status = struct.pack(">6dIB3dIB", 0.001, 0.0005, 12.5, 1e-9, 0.002, 0.0003, 120, 0, 2e-9, 0.001, 0.0004, 60, 6)
sats = b"".join(struct.pack(">BHHHHH", i % 2, i * 30 % 360, 10 + i * 7 % 80, i % 4, i + 1, 20 + i) for i in range(12))
sats += bytes(11 * (96 - 12))
gps = struct.pack(">3dHH6dBB", -36.7, 174.7, 56.1, 8, 12, 0, 0, 0, 0, 0, 0, 1, 0) + sats
gps += b"aux".ljust(64, b"\0") + bytes([0]) + bytes(4) + struct.pack(">iB", 1700000000, 1)
assert len(status) == 82 and len(gps) == 1208, (len(status), len(gps))
history = struct.pack(">BIII", 0, 0, 0, 2) + status[:81] * 2

seeds = {
    "status": frame(0x4244, status),
    "gps": frame(0x4247, gps),
    "history": frame(0x4249, history),
    "history-overcount": frame(0x4249, struct.pack(">BIII", 0, 0, 0, 0xFFFFFFF0) + status[:81]),
    "message": frame(0x4243, b"\0hello\0"),
    "comm": frame(0x4245, struct.pack(">BII", 0, 3, 9600)) + frame(0x4245, struct.pack(">BII", 1, 1, 1)),
    "offset": frame(0x4246, struct.pack(">Bd", 0, 0.03)),
    "loop": frame(0x4248, struct.pack(">B4dB", 0, 100, 0.1, 0.7, 1, 1)),
    "logs": frame(0x424C, b"\0\x01/tmp/a.csv\0") + frame(0x424D, b"\x01\xff") + frame(0x424D, b"\x02\0"),
    "ntp": frame(0x424E, struct.pack(">Bdd", 0, 0, 99999.9)) + frame(0x424E, b"\x02pool.ntp.org")
    + frame(0x424E, b"\x03"),
    "lock": frame(0x424F, struct.pack(">BBI", 0, 1, 30)),
    "split-garbage": b"\x42\x42\x52" + frame(0x4244, status)[:40] + b"\xff" * 7 + frame(0x4244, status),
    "raw-gps": struct.pack(">H", 0x4247) + gps[:600],
    "raw-history": struct.pack(">H", 0x4249) + history[:100],
    "raw-log": struct.pack(">H", 0x424C) + b"\0\x01name-without-end",
}
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
print(f"{len(seeds)} seeds in {out}")
