# Debian packages the project needs, sourced by the set-up scripts.
BUILD_PACKAGES=(cmake ninja-build g++ ccache pkg-config libsdl2-dev libfreetype-dev fonts-dejavu-core
                libassimp-dev libmeshoptimizer-dev libstb-dev libosmesa6-dev)
TEST_PACKAGES=(libgtest-dev xvfb xdotool x11-apps assimp-testmodels python3-matplotlib
               clang-14 libclang-rt-14-dev)
# The Windows package (scripts/build-windows.sh) and its check under Wine (scripts/test-windows.sh).
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64 zip wine wine64 xvfb xdotool x11-apps libgtest-dev)
