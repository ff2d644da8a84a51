#!/usr/bin/env python3
"""Writes the tool-bar click: a short decaying 2 kHz tick, 16-bit mono PCM."""
import math
import struct
import sys
import wave

RATE = 22050
DURATION = 0.06

def main(path):
    frames = bytearray()
    count = int(RATE * DURATION)
    for i in range(count):
        t = i / RATE
        envelope = math.exp(-t * 90.0)
        sample = 0.6 * envelope * math.sin(2 * math.pi * 2000 * t)
        sample += 0.25 * envelope * math.sin(2 * math.pi * 3100 * t)
        frames += struct.pack("<h", int(max(-1.0, min(1.0, sample)) * 32767))
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(bytes(frames))

if __name__ == "__main__":
    main(sys.argv[1])
