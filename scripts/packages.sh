# Debian packages the project needs, sourced by the set-up scripts.
BUILD_PACKAGES=(cmake ninja-build g++ ccache pkg-config libsdl2-dev libfreetype-dev fonts-dejavu-core
                libassimp-dev libmeshoptimizer-dev libstb-dev libosmesa6-dev)
TEST_PACKAGES=(libgtest-dev xvfb xdotool x11-apps assimp-testmodels clang-14 libclang-rt-14-dev)
