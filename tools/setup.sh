#!/usr/bin/env bash
# Installs every Debian package that building and testing the plug-ins needs.
# Idempotent: packages already present are skipped, so a second run is quick.
# Packages named as arguments are installed with the same care.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ninja-build
  juce-modules-source juce-modules-source-data
  libfreetype-dev libfontconfig1-dev libx11-dev libxrandr-dev libxinerama-dev
  libxext-dev libxcursor-dev libasound2-dev
  libpng-dev libjpeg-dev zlib1g-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  locales  # definitions for the test that formats settings under a decimal-comma locale
  fst-dev
  clang-14 libclang-rt-14-dev  # libFuzzer and the sanitizer runtimes of tools/run-sanitizers.sh
  python3 python3-cairo python3-pil fontconfig fonts-dejavu-core fonts-dejavu-extra fonts-urw-base35 fonts-liberation2  # tools/artwork/generate.py and its fonts
  xvfb xauth x11-utils libxtst-dev fonts-dejavu-core  # the editor tests' X server, synthetic clicks and text
  lilv-utils liblilv-dev  # lv2ls and lv2info, and the lilv library: the LV2 bundles as LV2 hosts read them
)

packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "setup: all packages present"
fi
