#!/usr/bin/env python3
"""The LV2 bundles as Debian's LV2 tools (lilv) read them: lv2ls finds both
plug-ins, lv2info parses their metadata with the ports and URIs they declare.
(lv2apply cannot run them: it refuses the atom port that carries their
parameters and the host's transport.)"""
import os
import subprocess
import sys

plugins_dir = os.path.abspath(sys.argv[1])
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
    ports = [section for section in text.split("\n\tPort ")[1:]]
    audio_in = sum(1 for p in ports if "#AudioPort" in p and "#InputPort" in p)
    audio_out = sum(1 for p in ports if "#AudioPort" in p and "#OutputPort" in p)
    check(audio_in == 2 and audio_out == 2, f"{uri}: audio ports {audio_in} in, {audio_out} out")
    check(all("MidiEvent" not in p for p in ports), f"{uri}: takes MIDI")

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
