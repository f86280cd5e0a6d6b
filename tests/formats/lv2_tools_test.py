#!/usr/bin/env python3
"""The LV2 bundles as Debian's LV2 tools (lilv) read them: lv2ls finds both
plug-ins, lv2info parses their metadata with the ports and URIs they declare,
and lv2apply renders a file through each one with no transport, where the
initial settings pass the input through after the fade-in."""
import array
import os
import subprocess
import sys
import tempfile
import wave

plugins_dir, = sys.argv[1:]
plugins = {"urn:tavrel:ZnTv": "Tavrel Slicer", "urn:tavrel:MrTv": "Tavrel Looper"}
env = dict(os.environ, LV2_PATH=plugins_dir)
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def run(*command):
    return subprocess.run(command, env=env, capture_output=True, text=True, timeout=120)


listed = run("lv2ls").stdout.split()
for uri in plugins:
    check(uri in listed, f"lv2ls does not list {uri}: {listed}")

for uri, name in plugins.items():
    info = run("lv2info", uri)
    text = info.stdout
    check(info.returncode == 0, f"lv2info {uri} failed: {info.stderr}")
    check(f"Name:              {name}" in text, f"{uri}: name {name} missing")
    check("Author:            Tavrel Software" in text, f"{uri}: vendor missing")
    check(f"{uri}:UI" in text, f"{uri}: editor UI missing")
    audio_in = text.count("http://lv2plug.in/ns/lv2core#AudioPort\n\t\tType:        http://lv2plug.in/ns/lv2core#InputPort") \
        + text.count("http://lv2plug.in/ns/lv2core#InputPort\n\t\tType:        http://lv2plug.in/ns/lv2core#AudioPort")
    audio_out = text.count("http://lv2plug.in/ns/lv2core#AudioPort\n\t\tType:        http://lv2plug.in/ns/lv2core#OutputPort") \
        + text.count("http://lv2plug.in/ns/lv2core#OutputPort\n\t\tType:        http://lv2plug.in/ns/lv2core#AudioPort")
    check(audio_in == 2 and audio_out == 2, f"{uri}: audio ports {audio_in} in, {audio_out} out")
    check("midi" not in text.lower() or "MidiEvent" not in text, f"{uri}: takes MIDI")

rate, length, fade_in = 44100, 44100, 8192
samples = [int(12000 * ((i % 441) / 441.0 - 0.5)) for i in range(length)]
with tempfile.TemporaryDirectory() as directory:
    source = os.path.join(directory, "in.wav")
    with wave.open(source, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(array.array("h", [s for s in samples for _ in range(2)]).tobytes())

    for uri in plugins:
        result = os.path.join(directory, "out.wav")
        applied = run("lv2apply", "-i", source, "-o", result, uri)
        check(applied.returncode == 0, f"lv2apply {uri} failed: {applied.stderr}")
        if applied.returncode != 0:
            continue
        with wave.open(result, "rb") as r:
            frames = r.readframes(r.getnframes())
            width = r.getsampwidth()
        if width == 2:
            out = array.array("h", frames)
            scale = 1.0
        else:
            out = array.array("f" if width == 4 else "d", frames)
            scale = 32768.0
        left = [out[2 * i] * scale for i in range(len(out) // 2)]
        check(len(left) == length, f"{uri}: {len(left)} frames out of {length}")
        worst = max((abs(left[i] - samples[i]) for i in range(fade_in, min(length, len(left)))), default=1e9)
        check(worst <= 1.0, f"{uri}: the stopped output differs from the input by {worst}")

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
