# The Debian packages each stage needs; sourced by the run and test scripts.
BUILD_PACKAGES=(build-essential cmake pkg-config libgtest-dev libbenchmark-dev
                libgdk-pixbuf-2.0-dev libfltk1.3-dev)
# tools/make_assets.py --check runs among the tests.
BUILD_PACKAGES+=(python3)
# The desktop host puts the view through the X shared-memory extension.
BUILD_PACKAGES+=(libxext-dev)
# The gdk-pixbuf loader module's tests run the thumbnailer (libgdk-pixbuf2.0-bin) on TVQ
# files known by a MIME database of their own (shared-mime-info).
BUILD_PACKAGES+=(libgdk-pixbuf2.0-bin shared-mime-info)
# The converter parses options with CLI11 and reads and writes PNG files with libspng; the
# manual pages' test reads them with man, as lintian does.
BUILD_PACKAGES+=(libcli11-dev libspng-dev man-db)
# The Qt image plugin (Qt 5 Gui; its tests' small viewer uses Widgets).
BUILD_PACKAGES+=(qtbase5-dev)
# The GUI tests start Xvfb themselves, type and click with xdotool, read the screen and send
# close requests through Xlib, and read window properties with xprop (x11-utils); the fonts
# draw the menu; GTK 2 gives the desktop file chooser, which the tests drive besides FLTK's
# own; openbox is the window manager of the desktop journey. The install test validates the
# launcher, builds the MIME database of its prefix, asks gio what type a .tvq file has and
# `file` what size the icons are.
GUI_TEST_PACKAGES=(xvfb xauth xdotool x11-utils libx11-dev fonts-dejavu-core libgtk2.0-0 openbox
                   desktop-file-utils shared-mime-info libglib2.0-bin file)
# The Debian package test: lintian, dpkg-shlibdeps (dpkg-dev) for the packages' dependencies,
# man, and xdg-mime, which asks the MIME database through mimetype (libfile-mimeinfo-perl)
# when no desktop is running.
DEB_TEST_PACKAGES=(lintian dpkg-dev man-db xdg-utils libfile-mimeinfo-perl)
# The fuzz targets: clang with its libFuzzer and sanitizer runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# The Windows stage: the cross compiler, Wine, and the end-to-end test's X tools (it reads
# the screen through python3-xlib, as the GUI tests read it through Xlib).
# The x86-64 cross compiler builds the 64-bit thumbnail DLL (64-bit Explorer) and the 64-bit
# twins that Wine runs where the kernel runs no 32-bit code.
WINDOWS_TEST_PACKAGES=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest wine
                       wine32:i386 wine64 xvfb xdotool python3 python3-xlib)
# makensis makes the Windows installer.
WINDOWS_TEST_PACKAGES+=(nsis)
# bench/user_level.sh presses keys through XTest and sees the window redrawn through DAMAGE.
BENCH_PACKAGES=(libxtst-dev libxdamage-dev)
# The web page: emscripten builds it (python3 serves it in scripts/web.sh); its tests drive
# headless Chromium through chromedriver and Selenium.
WEB_PACKAGES=(emscripten python3)
WEB_TEST_PACKAGES=(chromium chromium-driver python3-selenium)
