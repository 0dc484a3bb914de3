#!/usr/bin/python3
"""What Debian's mutagen reads of an MP3, one "key<TAB>value" a line, for the tags' tests under Wine:
the audio, the ID3v2 version, each text frame and its text encoding, the cover (type, MIME type,
description, the JPEG's frame markers and size), and the ID3v1 fields read as Shift-JIS."""
import sys

from mutagen.id3 import ID3
from mutagen.mp3 import MP3


def jpeg_frames(data):
    """The start-of-frame markers before the first scan: SOF0 baseline, SOF2 progressive."""
    found, at = [], 2
    while at + 9 <= len(data) and data[at] == 0xFF and data[at + 1] != 0xDA:
        marker = data[at + 1]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            height, width = int.from_bytes(data[at + 5:at + 7], "big"), int.from_bytes(data[at + 7:at + 9], "big")
            found.append("SOF%d %dx%d" % (marker - 0xC0, width, height))
        at += 2 + int.from_bytes(data[at + 2:at + 4], "big")
    return " ".join(found)


path = sys.argv[1]
audio = MP3(path).info
print("audio\tlayer %d, %d Hz" % (audio.layer, audio.sample_rate))
tags = ID3(path, translate=False, load_v1=False)
print("version\t2.%d" % tags.version[1])
print("pictures\t%d" % len(tags.getall("APIC")))
for frame in tags.values():
    if frame.FrameID == "APIC":
        print("APIC\ttype %d, %s, '%s', %s" % (frame.type, frame.mime, frame.desc, jpeg_frames(frame.data)))
    elif frame.FrameID.startswith("T"):
        key = frame.FrameID + (":" + frame.desc if frame.FrameID == "TXXX" else "")
        print("%s\t%s\n%s.encoding\t%d" % (key, "/".join(frame.text), key, frame.encoding))
with open(path, "rb") as mp3:
    mp3.seek(-128, 2)
    v1 = mp3.read()
for name, start, length in (("title", 3, 30), ("artist", 33, 30), ("album", 63, 30), ("year", 93, 4)):
    field = v1[start:start + length].rstrip(b"\0")
    try:
        print("v1.%s\t%s" % (name, field.decode("cp932")))
    except UnicodeDecodeError:
        print("v1.%s\tnot Shift-JIS: %s" % (name, field.hex()))
print("v1.track\t%d\nv1.genre\t%d" % (v1[126], v1[127]))
