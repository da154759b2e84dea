# The Debian packages each stage needs; sourced by the run and test scripts.
BUILD_PACKAGES=(build-essential cmake pkg-config libgtest-dev libbenchmark-dev
                libgdk-pixbuf-2.0-dev libfltk1.3-dev python3)
# The GUI tests start Xvfb themselves, type and click with xdotool, and read the screen
# and send close requests through Xlib; the fonts draw the menu; GTK 2 gives the desktop
# file chooser, which the tests drive besides FLTK's own.
GUI_TEST_PACKAGES=(xvfb xauth xdotool libx11-dev fonts-dejavu-core libgtk2.0-0)
# The fuzz targets: clang with its libFuzzer and sanitizer runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
