"""Prints the RMS level (0..1) of a 16-bit WAV recording between two file
offsets: wav_level.py FILE FROM TO. Offsets are clamped to the data and
aligned to whole frames; the recording may still be growing."""
import math
import struct
import sys

path, a, b = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
data = open(path, "rb").read()
pos, fmt, start = 12, None, None
while pos + 8 <= len(data):
    tag, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
    if tag == b"fmt ":
        fmt = struct.unpack("<HHIIHH", data[pos + 8:pos + 24])
    if tag == b"data":
        start = pos + 8
        break
    pos += 8 + size
if not fmt or start is None:
    sys.exit("not a WAV recording")
channels, rate, bits = fmt[1], fmt[2], fmt[5]
if bits != 16:
    sys.exit("16-bit samples expected, got %d" % bits)
frame = channels * 2
a = max(start, a - (a - start) % frame)
b = min(len(data), b - (b - start) % frame)
n = (b - a) // 2
vals = struct.unpack("<%dh" % n, data[a:b]) if n > 0 else ()
level = math.sqrt(sum(v * v for v in vals) / n) / 32768.0 if n > 0 else 0.0
print("%.6f %d" % (level, rate * frame))
