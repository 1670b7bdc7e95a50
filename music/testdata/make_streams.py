#!/usr/bin/env python3
"""Makes the small MPEG audio streams the music tests decode, and the placeholder music.

Needs lame. Run from the repository root: python3 music/testdata/make_streams.py
The results are committed, so the tests need no encoder.
"""
import math
import os
import struct
import subprocess
import tempfile
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def tones(path, rate, channels, seconds, notes):
    """A WAV file of sine tones, one note after another, each channel a fifth apart."""
    frames = int(rate * seconds)
    per_note = max(1, frames // len(notes))
    data = bytearray()
    for i in range(frames):
        note = notes[min(i // per_note, len(notes) - 1)]
        t = i / rate
        fade = min(1.0, (i % per_note) / (0.01 * rate), (per_note - i % per_note) / (0.01 * rate))
        for c in range(channels):
            f = note * (1.5 if c else 1.0)
            v = 0.3 * fade * math.sin(2 * math.pi * f * t)
            data += struct.pack('<h', int(v * 32767))
    with wave.open(path, 'wb') as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(data))


def lame(wav, mp3, *options):
    subprocess.run(['lame', '--quiet', '-t', *options, wav, mp3], check=True)


BITRATES = {1: [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320],
            2: [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160]}
RATES = {1: [44100, 48000, 32000], 2: [22050, 24000, 16000]}


def frame_lengths(data):
    """Byte lengths of the Layer III frames of a stream without tags."""
    lengths = []
    pos = 0
    while pos + 4 <= len(data):
        b1, b2 = data[pos + 1], data[pos + 2]
        assert data[pos] == 0xFF and (b1 & 0xE0) == 0xE0, 'lost sync'
        version = 1 if (b1 >> 3) & 1 else 2
        bitrate = BITRATES[version][b2 >> 4] * 1000
        rate = RATES[version][(b2 >> 2) & 3]
        padding = (b2 >> 1) & 1
        n = (144 if version == 1 else 72) * bitrate // rate + padding
        lengths.append(n)
        pos += n
    return lengths


def first_frames(src, dst, count):
    data = open(src, 'rb').read()
    size = sum(frame_lengths(data)[:count])
    open(dst, 'wb').write(data[:size])


def main():
    with tempfile.TemporaryDirectory() as tmp:
        notes = [440.0, 554.37, 659.25, 880.0]
        stereo = os.path.join(tmp, 'stereo.wav')
        tones(stereo, 44100, 2, 1.2, notes)
        long_l3 = os.path.join(tmp, 'long.mp3')
        lame(stereo, long_l3, '-b', '128', '--cbr')
        first_frames(long_l3, os.path.join(HERE, 'stereo_32_frames.mp3'), 32)
        first_frames(long_l3, os.path.join(HERE, 'stereo_33_frames.mp3'), 33)

        mono = os.path.join(tmp, 'mono.wav')
        tones(mono, 44100, 1, 0.6, notes)
        lame(mono, os.path.join(HERE, 'mono_l3.mp3'), '-m', 'm', '-b', '64', '--cbr')

        low = os.path.join(tmp, 'low.wav')
        tones(low, 22050, 2, 0.8, notes)
        lame(low, os.path.join(HERE, 'mpeg2_22050.mp3'), '-b', '64', '--cbr')

        # The placeholder demo music: a slow arpeggio, half a minute.
        music = os.path.join(tmp, 'music.wav')
        tones(music, 44100, 2, 30.0,
              [220.0, 261.63, 329.63, 392.0, 329.63, 261.63] * 5)
        lame(music, os.path.join(ROOT, 'data', 'music', 'drift07.mp3'), '-b', '96', '--cbr')

    # A file of text: no frame header anywhere.
    with open(os.path.join(HERE, 'no_header.mp3'), 'wb') as f:
        f.write(b'This is not MPEG audio, only text pretending to be a song.\n' * 20)
    # Frame headers whose sampling-frequency index is the reserved value 3.
    with open(os.path.join(HERE, 'reserved_rate.mp3'), 'wb') as f:
        f.write((b'\xff\xfb\x9c\x44' + bytes(413)) * 8)


if __name__ == '__main__':
    main()
