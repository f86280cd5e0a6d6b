#!/usr/bin/env bash
# Sets up what the Windows build of one target and its tests need, on top of
# tools/setup.sh. The first argument is the target's MinGW-w64 triple
# (i686-w64-mingw32 for 32-bit, x86_64-w64-mingw32 for 64-bit; see
# tools/windows-target.sh); the parts follow it:
#   toolchain  the MinGW-w64 cross compiler for the target (posix threads) and
#              its zlib, installed with apt;
#   libraries  libpng and libjpeg-turbo, built as static libraries for the
#              target from Debian's own source packages (Debian's JUCE
#              carries neither);
#   wine       a private Wine of the target's width, unpacked from Debian's
#              packages (wine32:i386 or wine64) without installing them, and
#              a prefix booted once (with a renderer setting for the editor
#              tests' program).
# Everything but the apt packages lands in $TAVREL_CACHE_DIR (default
# ~/.cache/tavrel), in a folder per triple: mingw/ (the static libraries),
# wine/ (the Wine root), wine-prefix/ (the Wine prefix); apt/ (the private
# apt state) is shared. Idempotent: parts already done are skipped. Without
# parts, all three run.
# Prints the variables the build and the test run use, for `eval`.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/tools/windows-target.sh"
[ $# -gt 0 ] || { echo "usage: setup-windows.sh TRIPLE [toolchain|libraries|wine|env]..." >&2; exit 2; }
windows_target "$1"
shift
cache="${TAVREL_CACHE_DIR:-$HOME/.cache/tavrel}"
mingw="$cache/$target/mingw"
wine_root="$cache/$target/wine"
wine_prefix="$cache/$target/wine-prefix"
apt_dir="$cache/apt"
jobs="$(nproc)"
[ "$jobs" -le 2 ] || jobs=2
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(toolchain libraries wine)

log() { echo "setup-windows: $*" >&2; }

install_toolchain() {
  local compiler="${target%%-*}"
  compiler="${compiler//_/-}"
  local packages=(g++-mingw-w64-$compiler-posix mingw-w64-$compiler-dev libz-mingw-w64-dev dpkg-dev xz-utils)
  # The private 32-bit Wine takes its C library and program loader from
  # libc6-i386; the 64-bit one runs on the system's own.
  [ "$wine_debian" != i386 ] || packages+=(libc6-i386)
  bash "$root/tools/setup.sh" "${packages[@]}" >&2
}

# A private apt: the machine's own Debian sources, also as deb-src, amd64 and
# i386 indexes, and an empty package status, so that nothing of the system's
# apt configuration changes and every dependency is resolved from scratch.
apt_options() {
  echo -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt_dir/sources" \
    -o Dir::State="$apt_dir/state" -o Dir::State::status="$apt_dir/status" \
    -o Dir::Cache="$apt_dir/cache" -o APT::Architectures::=amd64 -o APT::Architectures::=i386 \
    -o Debug::NoLocking=1 -o APT::Sandbox::User=root -qq
}
private_apt() { apt-get $(apt_options) "$@"; }
private_apt_cache() { apt-cache $(apt_options) "$@"; }

prepare_private_apt() {
  [ ! -e "$apt_dir/ready" ] || return 0
  mkdir -p "$apt_dir/sources" "$apt_dir/state/lists/partial" "$apt_dir/cache/archives/partial"
  : > "$apt_dir/status"
  # Every entry of the machine's Debian sources, for binaries and for sources,
  # from either form of the list.
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -e 's/^Types:.*/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources \
      > "$apt_dir/sources/debian.sources"
  elif grep -qs '^deb ' /etc/apt/sources.list; then
    grep '^deb ' /etc/apt/sources.list | sed -e 'p' -e 's/^deb /deb-src /' > "$apt_dir/sources/debian.list"
  else
    log "no Debian sources in /etc/apt to take the archive from"
    exit 1
  fi
  log "reading the Debian indexes (amd64, i386, sources) into $apt_dir"
  private_apt update
  touch "$apt_dir/ready"
}

# The newest source of a package that the archive serves: the mirror's
# security pool can lag behind its index.
fetch_source() {
  local package="$1" work="$2" version
  mkdir -p "$work"
  for version in $(private_apt_cache showsrc "$package" | awk '/^Version:/{print $2}' | sort -Vr -u); do
    rm -f "$work"/*
    if (cd "$work" && private_apt source --download-only "$package=$version" >/dev/null 2>&1); then
      (cd "$work" && dpkg-source -x --no-check ./*.dsc src >/dev/null)
      return 0
    fi
  done
  log "no source of $package could be fetched"
  exit 1
}

toolchain_file="$root/cmake/toolchains/mingw-w64.cmake"

build_libpng() {
  [ ! -e "$mingw/lib/libpng.a" ] || return 0
  local work="$cache/$target/build/libpng"
  rm -rf "$work"
  fetch_source libpng1.6 "$work"
  log "building libpng for $target"
  cmake -S "$work/src" -B "$work/build" -G Ninja -Wno-dev -DCMAKE_TOOLCHAIN_FILE="$toolchain_file" -DTAVREL_MINGW_TRIPLE="$target" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$mingw" -DPNG_SHARED=OFF -DPNG_STATIC=ON \
    -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON >/dev/null
  cmake --build "$work/build" --parallel "$jobs" >/dev/null
  cmake --install "$work/build" >/dev/null
  # The framework names the library without the version.
  [ -e "$mingw/lib/libpng.a" ] || cp "$mingw/lib/libpng16.a" "$mingw/lib/libpng.a"
  rm -rf "$work"
}

build_libjpeg() {
  [ ! -e "$mingw/lib/libjpeg.a" ] || return 0
  local work="$cache/$target/build/libjpeg"
  rm -rf "$work"
  fetch_source libjpeg-turbo "$work"
  log "building libjpeg-turbo for $target"
  cmake -S "$work/src" -B "$work/build" -G Ninja -Wno-dev -DCMAKE_TOOLCHAIN_FILE="$toolchain_file" -DTAVREL_MINGW_TRIPLE="$target" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$mingw" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF >/dev/null
  cmake --build "$work/build" --parallel "$jobs" --target jpeg-static >/dev/null
  local include="$mingw/include"
  mkdir -p "$include" "$mingw/lib"
  cp "$work/build/libjpeg.a" "$mingw/lib/libjpeg.a"
  cp "$work/build/jconfig.h" "$work/src/jpeglib.h" "$work/src/jmorecfg.h" "$work/src/jerror.h" "$include/"
  # The framework compiles the headers with JPEG_INTERNALS, which needs
  # jpegint.h and its own configuration header.
  cp "$work/src/jpegint.h" "$include/"
  [ ! -e "$work/build/jconfigint.h" ] || cp "$work/build/jconfigint.h" "$include/"
  # The framework declares the headers inside a namespace of its own and
  # takes `boolean` from there, while the Windows headers declare their own
  # at global scope: both must be the same unsigned char.
  cat >> "$include/jconfig.h" <<'EOF'

#ifndef HAVE_BOOLEAN
#define HAVE_BOOLEAN
#endif
typedef unsigned char boolean;
EOF
  rm -rf "$work"
}

# Debian's wine32:i386 cannot be installed beside the amd64 packages of the
# machine, and installing either Wine is not needed: its packages (and those
# it depends on) are unpacked into a private root and run from there.
install_wine() {
  [ ! -e "$wine_root/ready" ] || return 0
  local downloads="$cache/$target/wine-debs"
  rm -rf "$downloads"
  mkdir -p "$downloads"
  # Everything the Wine needs when nothing is installed yet.
  local set
  set=$(private_apt install --simulate --no-install-recommends "$wine_package" \
        | awk '/^Inst /{print $2}')
  [ -n "$set" ] || { log "could not resolve $wine_package"; exit 1; }
  log "downloading $(echo "$set" | wc -l) packages for the private $wine_arch Wine"
  (cd "$downloads" && private_apt download $set >&2)
  rm -rf "$wine_root"
  mkdir -p "$wine_root"
  # The C library stays the system's: the loader that runs the Wine
  # (/lib/ld-linux.so.2, or /lib64/ld-linux-x86-64.so.2) must match it exactly.
  for deb in "$downloads"/*.deb; do
    case "$(basename "$deb")" in
      libc6_*) ;;
      *) dpkg -x "$deb" "$wine_root" ;;
    esac
  done
  rm -rf "$downloads"
  # Wine starts the wineserver found beside its loader, and Debian's wrapper
  # there looks for the server under /usr/lib/wine; same switch: the server
  # exits with its last client.
  cat > "$wine_root/usr/lib/wine/wineserver" <<EOF
#!/bin/sh
exec "$wine_root/usr/lib/wine/$wine_server" -p0 "\$@"
EOF
  chmod +x "$wine_root/usr/lib/wine/wineserver"
  touch "$wine_root/ready"
}

wine_environment() {
  cat <<EOF
export WINEPREFIX="$wine_prefix"
export WINEARCH=$wine_arch
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINESERVER="$wine_root/usr/lib/wine/wineserver"
export WINELOADER="$wine_root/usr/lib/wine/$wine_loader"
export WINEDLLPATH="$wine_root/usr/lib/$wine_lib/wine"
export LD_LIBRARY_PATH="$wine_root/usr/lib/$wine_lib:$wine_root/lib/$wine_lib\${LD_LIBRARY_PATH:+:\$LD_LIBRARY_PATH}"
EOF
}

boot_wine_prefix() {
  [ ! -e "$wine_prefix/tavrel-ready" ] || return 0
  eval "$(wine_environment)"
  # Wine's own bits want zlib1.dll before the first boot.
  mkdir -p "$wine_prefix/drive_c/windows/system32"
  cp "/usr/$target/lib/zlib1.dll" "$wine_prefix/drive_c/windows/system32/"
  log "booting the Wine prefix $wine_prefix"
  DISPLAY= "$WINELOADER" wineboot --init >/dev/null 2>&1
  # Without a display Wine loads no graphics driver, and no window can be
  # made, not even the framework's hidden message window; its null driver
  # serves windows that are never shown.
  DISPLAY= "$WINELOADER" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  "$WINESERVER" -w
  touch "$wine_prefix/tavrel-ready"
}

# The framework's editor windows ask DXGI for the screens' adapters and fail
# when it has none; Wine's DXGI has none without OpenGL, which the private
# Wine lacks. Wine's renderer without 3D gives it one, for the editor tests'
# program only.
configure_editor_tests() {
  [ ! -e "$wine_prefix/tavrel-editor-ready" ] || return 0
  eval "$(wine_environment)"
  DISPLAY= "$WINELOADER" reg add 'HKCU\Software\Wine\AppDefaults\windows_editor_tests.exe\Direct3D' \
    /v renderer /d no3d /f >/dev/null 2>&1
  "$WINESERVER" -w
  touch "$wine_prefix/tavrel-editor-ready"
}

for part in "${parts[@]}"; do
  case "$part" in
    toolchain) install_toolchain ;;
    libraries) prepare_private_apt; build_libpng; build_libjpeg ;;
    wine) prepare_private_apt; install_wine; boot_wine_prefix; configure_editor_tests ;;
    env) ;;
    *) log "unknown part '$part' (toolchain, libraries, wine, env)"; exit 2 ;;
  esac
done

echo "export TAVREL_MINGW_TRIPLE=$target"
echo "export TAVREL_MINGW_PREFIX=\"$mingw\""
wine_environment
