#!/usr/bin/env python3
"""Drives the real zod-edozuv.exe under Wine in an X server, as a person would.

Usage: e2e_test.py PROGRAM.exe INTRO.bmp [unittest arguments, e.g. ViewerTest.test_first_start]
Needs DISPLAY (an Xvfb screen), WINEPREFIX (a throwaway prefix: c:\\windows\\RARURI.ini
lives there), xdotool and python3-xlib; as root, ZOD_E2E_USER names an ordinary user for
the read-only cases. scripts/windows-run.sh provides them. As the Linux GUI tests do, it
reads the screen through Xlib and the files byte by byte. Every wait polls for its
condition, with a limit. Each scenario starts from the settings file it needs, so any one
can run alone.
"""

import functools
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

from Xlib import X, display

HERE = os.path.dirname(os.path.abspath(__file__))
RUN_WINDOWS_PROGRAM = os.path.join(HERE, "..", "..", "scripts", "wine.sh")
LIMIT = 60.0  # seconds for any one condition; Wine's first window can be slow


class Failure(AssertionError):
    pass


def amplified(word, factor):
    """The reference: the (red, green, blue) a TVQ word shows at an amplification factor.
    Bit 5 is no channel; each channel is multiplied and clamped to 0..255."""
    return bytes(max(0, min(255, c * factor)) for c in (word >> 11, (word >> 6) & 31, word & 31))


def rgb_rows(data, width, height, stride, pixel, top_first):
    """Rows of red-green-blue bytes, top row first, from pixels of `pixel` bytes stored
    blue first."""
    rows = []
    for y in range(height):
        start = (y if top_first else height - 1 - y) * stride
        row = data[start:start + width * pixel]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = row[2::pixel], row[1::pixel], row[0::pixel]
        rows.append(bytes(rgb))
    return rows


def read_bmp24(data):
    """The rows of a bottom-up 24-bit BMP file, after checking its headers."""
    offset, header_size = struct.unpack_from("<II", data, 10)
    width, height, planes, bits = struct.unpack_from("<iiHH", data, 18)
    stride = (width * 3 + 3) // 4 * 4
    if (data[:2], header_size, planes, bits, offset + stride * height) != (b"BM", 40, 1, 24,
                                                                          len(data)):
        raise Failure("not a 24-bit BMP file of %d x %d pixels" % (width, height))
    return rgb_rows(data[offset:], width, height, stride, 3, False)


def screenshot():
    """The whole screen as rows of red-green-blue bytes, top row first."""
    connection = display.Display()
    try:
        screen = connection.screen()
        width, height = screen.width_in_pixels, screen.height_in_pixels
        image = screen.root.get_image(0, 0, width, height, X.ZPixmap, 0xFFFFFFFF)
    finally:
        connection.close()
    return rgb_rows(image.data, width, height, width * 4, 4, True)


def save_screenshot(path):
    rows = screenshot()
    with open(path, "wb") as file:
        file.write(b"P6 %d %d 255\n" % (len(rows[0]) // 3, len(rows)) + b"".join(rows))


def shows(image, position, screen=None):
    """Whether the screen shows the image's rows with their top-left corner at position."""
    left, top = position
    screen = screen or screenshot()
    return all(screen[top + y][left * 3:left * 3 + len(row)] == row for y, row in enumerate(image))


def find_on_screen(image):
    """Where the screen shows the image's rows, or None."""
    screen = screenshot()
    for top in range(len(screen) - len(image) + 1):
        at = screen[top].find(image[0])
        while at >= 0:
            if at % 3 == 0 and shows(image, (at // 3, top), screen):
                return at // 3, top
            at = screen[top].find(image[0], at + 1)
    return None


def wait_for(what, condition, limit=LIMIT):
    deadline = time.monotonic() + limit
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.1)


def visible_window(name):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % name],
                           capture_output=True, text=True).stdout.split()
    return found[0] if found else None


def wait_window(name, program=None):
    def shown():
        if program and program.process.poll() is not None:
            raise Failure('the program ended (code %d) before showing "%s"'
                          % (program.process.returncode, name))
        return visible_window(name)
    return wait_for('the window "%s"' % name, shown)


def press(window, key):
    subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True)
    subprocess.run(["xdotool", "key", key], check=True)


def program_windows():
    """How many of the program's windows are shown; an open menu is one of them."""
    return len(subprocess.run(["xdotool", "search", "--onlyvisible", "--class",
                               r"^zod-edozuv\.exe$"], capture_output=True, text=True).stdout.split())


def choose(window, menu, item, opens_dialog=False):
    """Chooses a menu item with the keyboard: Alt and the menu's letter, then the item's."""
    shown = program_windows()
    press(window, "alt+" + menu)
    wait_for("the menu to open", lambda: program_windows() > shown)
    subprocess.run(["xdotool", "key", item], check=True)
    if not opens_dialog:
        wait_for("the menu to close", lambda: program_windows() <= shown)


def answer_file_dialog(name, path):
    dialog = wait_window(name)
    subprocess.run(["xdotool", "windowfocus", "--sync", dialog], check=True)
    subprocess.run(["xdotool", "type", "--delay", "5", "Z:" + path.replace("/", "\\")],
                   check=True)
    subprocess.run(["xdotool", "key", "Return"], check=True)
    wait_for('the "%s" dialog to close' % name, lambda: not visible_window(name))


def settings_path(prefix):
    return os.path.join(prefix, "drive_c", "windows", "RARURI.ini")


def read_settings(prefix):
    try:
        with open(settings_path(prefix), "rb") as file:
            return file.read()
    except FileNotFoundError:
        return None


def make_tvq(path, width, height):
    """A TVQ image whose channels cover 0..31, with the unused bit 5 set on every other
    pixel. Returns its pixel words."""
    words = []
    for y in range(height):
        for x in range(width):
            red, green, blue = (x * 7 + y) % 32, (x + y * 5) % 32, (x * y + 3) % 32
            words.append(red << 11 | green << 6 | blue | (0x20 if (x + y) % 2 else 0))
    header = bytearray(32)
    struct.pack_into("<hxxh", header, 4, width, height)
    with open(path, "wb") as file:
        file.write(bytes(header) + struct.pack("<%dH" % len(words), *words))
    return words


class Program:
    def __init__(self, exe, folder, runner=(), launcher=RUN_WINDOWS_PROGRAM):
        # A session of its own, so that stop() also ends what a runner such as runuser starts.
        self.process = subprocess.Popen(list(runner) + [launcher, exe], cwd=folder,
                                        start_new_session=True)

    def wait_exit(self):
        wait_for("the program to end", lambda: self.process.poll() is not None)
        return self.process.returncode

    def stop(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()


def check(condition, message):
    if not condition:
        raise Failure(message)
    print("ok:", message)


def intro_and_place(intro_path):
    """The intro picture's rows and where it shows: centred, ten pixels to the left."""
    with open(intro_path, "rb") as file:
        intro = read_bmp24(file.read())
    screen = screenshot()
    return intro, (len(screen[0]) // 6 - len(intro[0]) // 6 - 10, len(screen) // 2 - len(intro) // 2)


def import_and_export(window, tvq, exported):
    """Imports a TVQ file, exports the view, and gives the rows of the file written."""
    choose(window, "i", "t", opens_dialog=True)
    answer_file_dialog("Open", tvq)
    choose(window, "e", "b", opens_dialog=True)
    answer_file_dialog("Save As", exported)
    wait_for("the exported file", lambda: os.path.exists(exported))
    with open(exported, "rb") as file:
        return read_bmp24(file.read())


def export_past_screen_edges(window, folder, image_at):
    """An image running past the screen's right and bottom edges exports what the screen
    shows of it, black beyond the edges."""
    screen = screenshot()
    width, height = len(screen[0]) // 3 + 37, len(screen)
    tvq = os.path.join(folder, "wide.tvq")
    words = make_tvq(tvq, width, height)
    rows = import_and_export(window, tvq, os.path.join(folder, "wide.bmp"))
    corner = b"".join(amplified(word, 2) for word in words[:64])
    check(rows[0][:len(corner)] == corner, "an export past the screen's edges holds the image")
    left, top = image_at
    screen = screenshot()
    shown = [screen[top + y][left * 3:] if top + y < len(screen) else b"" for y in range(height)]
    check(rows == [row + bytes(width * 3 - len(row)) for row in shown],
          "and the rest of what the screen shows, black beyond its edges")


def export_where_nothing_is_drawn(window, folder):
    """A TVQ file that is only its header draws nothing: its export is black, not the
    Save As dialog that covered the view a moment before."""
    screen = screenshot()
    width, height = len(screen[0]) // 3, len(screen)
    tvq = os.path.join(folder, "header-only.tvq")
    header = bytearray(32)
    struct.pack_into("<hxxh", header, 4, width, height)
    with open(tvq, "wb") as file:
        file.write(bytes(header))
    rows = import_and_export(window, tvq, os.path.join(folder, "header-only.bmp"))
    check(rows == [bytes(width * 3)] * height,
          "a file with no pixels exports black, not the dialog")


def export_to_the_longest_path(window, folder):
    """The longest path the program's buffer holds (254 characters) can be written."""
    long_folder = folder
    while 254 - len("Z:" + long_folder) - 1 > 120:  # leaves a name of at most 120
        long_folder = os.path.join(long_folder, "d" * 100)
    name_length = 254 - len("Z:" + long_folder) - 1
    exported = os.path.join(long_folder, "l" * (name_length - 4) + ".bmp")
    os.makedirs(long_folder, exist_ok=True)
    if len("Z:" + exported) != 254:
        raise Failure("could not make a path of 254 characters")
    choose(window, "e", "b", opens_dialog=True)
    answer_file_dialog("Save As", exported)
    wait_for("the export", lambda: os.path.exists(exported) or visible_window("Export Error"))
    check(os.path.exists(exported), "an export to a path of 254 characters works")


def keeps_evidence(test):
    """On failure, keeps the screen and the scenario's files in ZOD_FAILURE_DIR."""
    @functools.wraps(test)
    def run(self):
        try:
            test(self)
        except Exception:
            keep = os.path.join(os.environ.get("ZOD_FAILURE_DIR", tempfile.gettempdir()),
                                test.__name__)
            shutil.copytree(self.folder, keep, dirs_exist_ok=True,
                            ignore=shutil.ignore_patterns("wine"))
            save_screenshot(os.path.join(keep, "screen-at-failure.ppm"))
            print("the screen and the files are kept in", keep)
            raise
    return run


def unprivileged_runner(folder):
    """A command prefix that runs programs as a user who cannot write a read-only file,
    and that user's own Wine prefix, made here. Root writes any file, so as root the
    programs run as ZOD_E2E_USER."""
    if os.geteuid() != 0:
        return [], os.environ["WINEPREFIX"]
    user = os.environ.get("ZOD_E2E_USER")
    if not user:
        raise Failure("as root, ZOD_E2E_USER must name an ordinary user (scripts/windows-run.sh "
                      "makes one)")
    prefix = os.path.join(folder, "wine")
    os.mkdir(prefix)
    shutil.chown(prefix, user)
    shutil.chown(folder, user)  # the user makes files beside kept.bmp
    runner = ["runuser", "-u", user, "--", "env", "WINEPREFIX=" + prefix, "WINEDEBUG=-all",
              "DISPLAY=" + os.environ["DISPLAY"], "TMPDIR=" + folder,
              "ZOD_WINDOWS_BITS=" + os.environ.get("ZOD_WINDOWS_BITS", "")]
    subprocess.run(runner + ["wineserver", "-p"], check=True)
    # The user's own copy of the launcher: the build tree need not be open to others.
    launcher = os.path.join(folder, "wine.sh")
    subprocess.run(runner + [launcher, "wineboot", "-i"], stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True)
    return runner, prefix


class ViewerTest(unittest.TestCase):
    """The viewer as a person uses it; each scenario sets up the settings file it needs."""

    @classmethod
    def setUpClass(cls):
        cls.prefix = os.environ["WINEPREFIX"]

    def setUp(self):
        # The program looks for its intro picture in the working folder.
        self.folder = tempfile.mkdtemp(prefix="zod-e2e-")
        shutil.copy(INTRO, os.path.join(self.folder, "intro.bmp"))

    def tearDown(self):
        shutil.rmtree(self.folder)

    def start_with_settings(self, content):
        """RARURI.ini holds content, or there is none."""
        path = settings_path(self.prefix)
        if os.path.isdir(path):
            os.rmdir(path)
        elif os.path.exists(path):
            os.remove(path)
        if content is not None:
            with open(path, "wb") as file:
                file.write(content)

    @keeps_evidence
    def test_settings_cannot_be_created(self):
        self.start_with_settings(None)
        os.mkdir(settings_path(self.prefix))  # a folder where the file should be
        program = Program(EXE, self.folder)
        try:
            press(wait_window("Initialization Error", program), "Return")
            press(wait_window("CRITICAL ERROR", program), "Return")
            check(program.wait_exit() == 0, 'a folder in place of RARURI.ini: "CRITICAL ERROR", '
                  "then the program ends")
        finally:
            program.stop()
            os.rmdir(settings_path(self.prefix))

    @keeps_evidence
    def test_first_start(self):
        self.start_with_settings(None)
        program = Program(EXE, self.folder)
        try:
            box = wait_window("Initialization Error", program)
            check(read_settings(self.prefix) is None,
                  "the settings file is written only after the box")
            press(box, "Return")
            wait_for("the default settings", lambda: read_settings(self.prefix) == b"3")
            check(True, 'first start: "Initialization Error", then RARURI.ini holds "3"')
            choose(wait_window("ZOD Edozuv", program), "f", "e")
            program.wait_exit()
        finally:
            program.stop()

    @keeps_evidence
    def test_intro_on_every_start(self, starts=20):
        """The intro is part of what the window paints, so no erase that follows the first
        paint (Wine answers the new window's expose with the window's own pixels) can take
        it away."""
        self.start_with_settings(b"3")
        intro, intro_at = intro_and_place(INTRO)
        for start in range(1, starts + 1):
            program = Program(EXE, self.folder)
            try:
                wait_window("ZOD Edozuv", program)
                time.sleep(2)
                if not shows(intro, intro_at):
                    raise Failure("start %d of %d: no intro two seconds after the window maps"
                                  % (start, starts))
            finally:
                program.stop()
        check(True, "the intro shows two seconds after the window maps, %d starts in a row"
              % starts)

    @keeps_evidence
    def test_typical_run(self):
        self.start_with_settings(b"3")
        folder, prefix = self.folder, self.prefix
        intro, intro_at = intro_and_place(INTRO)
        width, height = 63, 48  # rows of 189 bytes: BMP rows need padding
        tvq = os.path.join(folder, "sample.tvq")
        words = make_tvq(tvq, width, height)
        at = {factor: [b"".join(amplified(w, factor) for w in words[y * width:(y + 1) * width])
                       for y in range(height)] for factor in (2, 8)}
        exported = os.path.join(folder, "export.bmp")

        program = Program(EXE, folder)
        try:
            window = wait_window("ZOD Edozuv", program)
            wait_for("the intro picture at %s" % (intro_at,), lambda: shows(intro, intro_at), 20)
            check(visible_window("Initialization Error") is None, "no box once the file exists")
            check(True, "the intro picture is centred, ten pixels to the left, at %s"
                  % (intro_at,))

            choose(window, "i", "t", opens_dialog=True)
            answer_file_dialog("Open", tvq)
            choose(window, "c", "5")
            image_at = wait_for("the TVQ image at factor 8", lambda: find_on_screen(at[8]))
            check(True, "Level 5 shows the TVQ image at factor 8, at %s" % (image_at,))

            choose(window, "e", "b", opens_dialog=True)
            answer_file_dialog("Save As", exported)
            wait_for("the exported file", lambda: os.path.exists(exported))
            with open(exported, "rb") as file:
                check(read_bmp24(file.read()) == at[8],
                      "the export is a 24-bit BMP of those pixels")

            # Level 1 leaves the written file on view; the TVQ image at factor 2, and then the
            # written file through Windows' own loader, must replace what is on the screen.
            choose(window, "c", "1")
            choose(window, "i", "t", opens_dialog=True)
            answer_file_dialog("Open", tvq)
            wait_for("the TVQ image at factor 2", lambda: shows(at[2], image_at))
            choose(window, "i", "b", opens_dialog=True)
            answer_file_dialog("Open", exported)
            wait_for("the exported file on view", lambda: shows(at[8], image_at))
            check(True, "Level 1 shows factor 2; the exported file shows as it was written")
            export_past_screen_edges(window, folder, image_at)
            export_where_nothing_is_drawn(window, folder)
            export_to_the_longest_path(window, folder)

            choose(window, "f", "e")
            program.wait_exit()
            check(read_settings(prefix) == b"2", 'File > Exit leaves RARURI.ini holding "2"')
        finally:
            program.stop()

    @keeps_evidence
    def test_read_only_files_are_kept(self):
        """A read-only BMP and a read-only RARURI.ini are refused, as Windows refuses them."""
        folder = self.folder
        # The user's own copies: the build tree need not be open to other users.
        for source in (EXE, RUN_WINDOWS_PROGRAM):
            shutil.copy(source, folder)
        runner, prefix = unprivileged_runner(folder)
        try:
            kept = os.path.join(folder, "kept.bmp")
            for path, content in ((kept, b"old"), (settings_path(prefix), b"3")):
                if os.path.exists(path):
                    os.remove(path)
                with open(path, "wb") as file:
                    file.write(content)
                os.chmod(path, 0o444)
            program = Program(os.path.join(folder, os.path.basename(EXE)), folder, runner,
                              os.path.join(folder, "wine.sh"))
            try:
                window = wait_window("ZOD Edozuv", program)
                choose(window, "e", "b", opens_dialog=True)
                answer_file_dialog("Save As", kept)
                press(wait_for('"Export Error"', lambda: visible_window("Export Error"), 20),
                      "Return")
                wait_for('"Export Error" to close', lambda: not visible_window("Export Error"))
                choose(window, "c", "5")
                choose(window, "f", "e", opens_dialog=True)
                press(wait_for('"Update Error"', lambda: visible_window("Update Error"), 20),
                      "Return")
                program.wait_exit()
            finally:
                program.stop()
            with open(kept, "rb") as file:
                check(file.read() == b"old", 'an export onto a read-only file: "Export Error"')
            check(read_settings(prefix) == b"3", 'a read-only RARURI.ini at Exit: "Update Error"')
        finally:
            if runner:
                subprocess.run(runner + ["wineserver", "-k"])


def load_tests(loader, tests, pattern):
    """The scenarios in the order they are written: a person's first start comes first."""
    return unittest.TestSuite(ViewerTest(name) for name in vars(ViewerTest)
                              if name.startswith("test_"))


if __name__ == "__main__":
    EXE, INTRO = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
