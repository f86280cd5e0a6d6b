#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into corpus/<target>/.

The settings chunk seeds are chunks as the plug-ins write them and as hosts
damage them; the dispatcher seeds are short host sessions in the byte layout
that DispatcherFuzzer.cpp reads. Run it again after changing either layout.
"""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def chunk(text, stored_length=None, magic=b"VC2!"):
    body = text.encode("ascii")
    n = len(body) if stored_length is None else stored_length
    return magic + struct.pack("<I", n) + body + b"\0\0"


def settings(values, name="QVPLUGINSETTINGS", prefix="QVParam"):
    attributes = "".join(' %s%d="%s"' % (prefix, i, v) for i, v in enumerate(values))
    return "<%s%s/>" % (name, attributes)


slicer_initial = ["0"] * 15 + ["0.5", "0.449999988"] + ["0"] * 3
looper_initial = ["0"] * 5 + ["0.5", "0.5", "0.333333343", "0.449999988"]
slicer_mode13_hold = ["0"] * 13 + ["1", "0.928571463", "1", "0.75", "1", "1", "0.666666687"]

chunk_seeds = {
    "slicer-initial": chunk(settings(slicer_initial)),
    "looper-initial": chunk(settings(looper_initial)),
    "slicer-mode13-hold": chunk(settings(slicer_mode13_hold)),
    "declaration-lower-case": chunk('<?xml version="1.0" encoding="UTF-8"?>'
                                    + settings(slicer_initial, "qvpluginsettings", "qvparam")),
    "odd-values": chunk(settings(["0.5abc", "nan", "inf", "-1e9", "1e400", "", " 0.25", "-0",
                                  "9.99999975e-006", "0x1p-2"])),
    "other-element": chunk(settings(looper_initial, "OTHERSETTINGS")),
    "longer-than-given": chunk(settings(looper_initial), stored_length=4000),
    "nine-bytes": b"VC2!" + struct.pack("<I", 1) + b"<",
    "children-and-text": chunk('<QVPLUGINSETTINGS QVParam03="1" QVParam3="1"><a b="&amp;"/>text<!-- c --></QVPLUGINSETTINGS>'),
    "instruction-in-element": chunk('<QVPLUGINSETTINGS QVParam3="1">a<?p?>b</QVPLUGINSETTINGS>'),
}


def request(opcode, index=0, value=0, opt=0.0, text=b"", null=False):
    out = bytes([0, opcode & 0xFF if opcode < 96 else 0xFF])
    if opcode >= 96:
        out += struct.pack("<i", opcode)
    out += bytes([0, (index + 2) % 24]) + struct.pack("<i", value) + struct.pack("<f", opt)
    out += bytes([len(text)]) + text + bytes([0 if null else 1])
    return out


def block(n, same_arrays=False):
    return bytes([2]) + struct.pack("<H", n) + bytes([1 if same_arrays else 0, 7])


def parameter(index, value):
    return bytes([3]) + struct.pack("<i", index) + struct.pack("<f", value)


def tempo(bpm):
    return bytes([5, 0]) + struct.pack("<d", bpm)


def session(plugin, *steps):
    return bytes([plugin]) + b"".join(steps)


slicer_chunk = chunk(settings(slicer_initial))
dispatcher_seeds = {
    "slicer-resume-play": session(0, request(0), request(10, opt=48000.0), request(12, value=1),
                                  block(512), parameter(2, 1.0), block(4096), block(4096, True), request(12)),
    "looper-loop-mode": session(1, request(12, value=1), parameter(1, 1.0), parameter(7, 1.0),
                                block(4096), block(4096), parameter(3, 1.0), block(4096)),
    "slicer-chunk-round-trip": session(0, request(23), parameter(15, 1.0), request(24, value=len(slicer_chunk)))
                               + slicer_chunk + block(1024),
    "texts-and-capabilities": session(1, request(8, index=6), request(7, index=3), request(45), request(47),
                                      request(51, text=b"receiveVstTimeInfo"), request(4, text=b"N" * 24),
                                      request(69), request(13), request(14), request(15), request(19)),
    "hostile-transport": session(0, tempo(0.0), block(256), tempo(-120.0), block(256), tempo(float("nan")),
                                 block(256), bytes([5, 1]) + struct.pack("<d", -1e300), block(256),
                                 request(12, value=1), parameter(-1, float("inf")), block(1)),
}

for target, seeds in (("settings_chunk", chunk_seeds), ("dispatcher", dispatcher_seeds)):
    directory = os.path.join(here, "corpus", target)
    os.makedirs(directory, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(directory, name), "wb") as f:
            f.write(data)
