# The Windows target's one setting, the MinGW-w64 triple, and what follows
# from it for the build, the set-up and the Wine that runs the tests.
# Sourced by tools/*windows*.sh: `windows_target TRIPLE` sets the variables
# below, or fails for a triple we do not build.
#   target      the triple itself (i686-w64-mingw32, x86_64-w64-mingw32)
#   arch        the folder name of its plug-ins and build tree (x86, x64)
#   wine_arch   the Wine prefix's architecture (win32, win64)
#   wine_debian the Debian architecture and package of its Wine
#   wine_lib    the multiarch folder of that Wine's libraries
#   wine_loader, wine_server  the names of the loader and server programs

windows_targets=(i686-w64-mingw32 x86_64-w64-mingw32)

windows_target() {
  target="$1"
  case "$target" in
    i686-w64-mingw32)
      arch=x86 wine_arch=win32 wine_debian=i386 wine_package=wine32:i386
      wine_lib=i386-linux-gnu wine_loader=wine wine_server=wineserver32 ;;
    x86_64-w64-mingw32)
      arch=x64 wine_arch=win64 wine_debian=amd64 wine_package=wine64
      wine_lib=x86_64-linux-gnu wine_loader=wine64 wine_server=wineserver64 ;;
    *)
      echo "unknown Windows target '$target' (${windows_targets[*]})" >&2
      return 2 ;;
  esac
}

# Whether this machine runs the target's Wine at all: some 64-bit kernels
# run no 32-bit programs (the loader fails with an exec format error).
windows_target_runs_here() {
  case "$wine_debian" in
    i386) /lib/ld-linux.so.2 --version >/dev/null 2>&1 ;;
    amd64) [ "$(uname -m)" = x86_64 ] ;;
  esac
}
