# The Debian packages each stage needs; sourced by the run and test scripts.
BUILD_PACKAGES=(build-essential cmake pkg-config libgtest-dev libbenchmark-dev
                libgdk-pixbuf-2.0-dev libfltk1.3-dev)
GUI_TEST_PACKAGES=(xvfb xauth xdotool imagemagick)
