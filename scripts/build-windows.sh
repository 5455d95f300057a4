#!/usr/bin/env bash
# Builds the Windows viewer with MinGW-w64 and packages it with the demo content:
#   build-windows/dist/               vexmont.exe, Vuze.BSP, Font.bmp, Textures/*.bmp
#   build-windows/vexmont-windows.zip the same files
# The demo content comes from the Linux build (build/), whose tools make it. Installs the
# Debian packages it needs when run as root; otherwise it prints the apt-get line to run.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
scripts/ensure-packages.sh "${BUILD_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"
jobs=${JOBS:-2}

# The demo content, from the Linux build. An existing build/ keeps its own settings.
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXMONT_TESTS=OFF
fi
cmake --build build -j "$jobs" --target demo

# The viewer, cross-built with the Linux build's optimisation (-O2) and no debug information,
# which only slows the static links. Tests stay off unless scripts/test-windows.sh switched
# them on.
if [ ! -f build-windows/CMakeCache.txt ]; then
  cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake -DVEXMONT_TESTS=OFF
fi
cmake --build build-windows -j "$jobs" --target vexmont

# Nothing but the system's DLLs may be needed beside the program.
imports=$(x86_64-w64-mingw32-objdump -p build-windows/app/vexmont.exe | sed -n 's/^\s*DLL Name: //p')
for dll in $imports; do
  case "${dll,,}" in
    ddraw.dll|gdi32.dll|user32.dll|kernel32.dll|msvcrt.dll|advapi32.dll|ntdll.dll) ;;
    *) echo "vexmont.exe imports $dll, which Windows does not provide" >&2; exit 1 ;;
  esac
done

rm -rf build-windows/dist build-windows/vexmont-windows.zip
mkdir -p build-windows/dist/Textures
x86_64-w64-mingw32-strip -o build-windows/dist/vexmont.exe build-windows/app/vexmont.exe
cp build/demo/Vuze.BSP build/demo/Font.bmp build-windows/dist/
cp build/demo/Textures/*.bmp build-windows/dist/Textures/
(cd build-windows/dist && zip -q -r -X ../vexmont-windows.zip vexmont.exe Vuze.BSP Font.bmp Textures)
echo "Windows package: build-windows/dist/ and build-windows/vexmont-windows.zip"
