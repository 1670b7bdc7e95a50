#!/usr/bin/env python3
"""Makes the small MPEG audio streams the music tests decode.

Needs lame (the Layer II streams are written bit by bit here). Run from the repository
root: python3 music/testdata/make_streams.py
The results are committed, so the tests need no encoder.
"""
import math
import os
import struct
import subprocess
import tempfile
import wave

HERE = os.path.dirname(os.path.abspath(__file__))


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


def concatenated(dst, *parts):
    """Joins the first frames of several streams, as files joined by copying play them."""
    with open(dst, 'wb') as out:
        for src, count in parts:
            data = open(src, 'rb').read()
            out.write(data[:sum(frame_lengths(data)[:count])])


class Bits:
    def __init__(self):
        self.bits = []

    def put(self, value, count):
        self.bits += [(value >> i) & 1 for i in range(count - 1, -1, -1)]

    def frame(self, size):
        assert len(self.bits) <= size * 8, 'frame overflows'
        bits = self.bits + [0] * (size * 8 - len(self.bits))
        return bytes(int(''.join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8))


def layer2_joint_stereo(frames, mode_extension):
    """MPEG-1 Layer II at 48000 Hz and 64 kbit/s, joint stereo: the allocation table of
    ISO 11172-3 B.2c codes 8 sub-bands (4 allocation bits for sub-bands 0-1, 3 for 2-7), so
    any stereo bound above 8 (mode extension 2 or 3) is cut to 8 by the decoder and frames
    with extensions 1, 2 and 3 decode alike. Slow sine sequences in four sub-bands."""
    nbal = [4, 4, 3, 3, 3, 3, 3, 3]
    # (sub-band, channel): (allocation index, bits per sample), all ungrouped classes
    alloc = {(0, 0): (3, 4), (0, 1): (3, 4), (1, 0): (2, 3), (5, 1): (5, 4)}
    data = b''
    for f in range(frames):
        bits = Bits()
        bits.put(0xFFF, 12); bits.put(1, 1); bits.put(2, 2); bits.put(1, 1)  # MPEG-1, II, no CRC
        bits.put(4, 4); bits.put(1, 2); bits.put(0, 2)  # 64 kbit/s, 48000 Hz, no padding
        bits.put(1, 2); bits.put(mode_extension, 2); bits.put(0, 4)  # joint stereo
        for sb in range(8):
            for ch in range(2):
                bits.put(alloc.get((sb, ch), (0, 0))[0], nbal[sb])
        for _ in sorted(alloc):
            bits.put(0, 2)  # three scale factors
        for sb, ch in sorted(alloc):
            for part in range(3):
                bits.put(9 + 2 * part + ch, 6)
        for granule in range(12):
            for sb in range(8):
                for ch in range(2):
                    if (sb, ch) in alloc:
                        width = alloc[(sb, ch)][1]
                        half = (2 ** width - 2) / 2
                        for s in range(3):
                            n = f * 36 + granule * 3 + s
                            phase = 2 * math.pi * n / (9 + sb + ch)
                            bits.put(int(round(half * (1 + 0.8 * math.sin(phase)))), width)
        data += bits.frame(192)
    return data


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

        # Streams whose format changes on the way: a stereo file followed by a mono one,
        # and 44100 Hz followed by 48000 Hz and by 22050 Hz (MPEG-2). Each part holds one
        # tone, left and right a fifth apart, and starts with the encoder's silent delay.
        parts = {}
        for name, rate, channels, note, kbps in [('s44', 44100, 2, 440.0, '64'),
                                                 ('m44', 44100, 1, 550.0, '48'),
                                                 ('s48', 48000, 2, 440.0, '64'),
                                                 ('s22', 22050, 2, 440.0, '32')]:
            wav = os.path.join(tmp, name + '.wav')
            tones(wav, rate, channels, 0.5, [note])
            parts[name] = os.path.join(tmp, name + '.mp3')
            lame(wav, parts[name], '--resample', str(rate / 1000), '-b', kbps, '--cbr',
                 *(['-m', 'm'] if channels == 1 else []))
        concatenated(os.path.join(HERE, 'stereo_then_mono.mp3'),
                     (parts['s44'], 10), (parts['m44'], 10))
        concatenated(os.path.join(HERE, 'rate_changes.mp3'),
                     (parts['s44'], 8), (parts['s48'], 8), (parts['s22'], 16))


    # A file of text: no frame header anywhere.
    with open(os.path.join(HERE, 'no_header.mp3'), 'wb') as f:
        f.write(b'This is not MPEG audio, only text pretending to be a song.\n' * 20)
    # Layer II frames whose stereo bound (16) lies above their 8 coded sub-bands, and the
    # same frames with the bound at 8.
    with open(os.path.join(HERE, 'layer2_bound_16.mp2'), 'wb') as f:
        f.write(layer2_joint_stereo(8, 3))
    with open(os.path.join(HERE, 'layer2_bound_8.mp2'), 'wb') as f:
        f.write(layer2_joint_stereo(8, 1))
    # Frame headers whose sampling-frequency index is the reserved value 3.
    with open(os.path.join(HERE, 'reserved_rate.mp3'), 'wb') as f:
        f.write((b'\xff\xfb\x9c\x44' + bytes(413)) * 8)


if __name__ == '__main__':
    main()
