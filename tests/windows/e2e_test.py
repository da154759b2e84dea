#!/usr/bin/env python3
"""Drives the real zod-edozuv.exe under Wine in an X server, as a person would.

Usage: e2e_test.py PROGRAM.exe INTRO.bmp
Needs DISPLAY (an Xvfb screen), WINEPREFIX (a throwaway prefix: c:\\windows\\RARURI.ini
lives there), xdotool and ImageMagick. Every wait polls for its condition, with a limit.
"""

import os
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
RUN_WINDOWS_PROGRAM = os.path.join(HERE, "..", "..", "scripts", "windows-wine.sh")
CONVERT = "/usr/bin/convert"  # ImageMagick itself, whatever else is first on PATH
LIMIT = 60.0  # seconds for any one condition; Wine's first window can be slow


class Failure(Exception):
    pass


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
    subprocess.run(["xdotool", "type", "--delay", "5", windows_path(path)], check=True)
    subprocess.run(["xdotool", "key", "Return"], check=True)
    wait_for('the "%s" dialog to close' % name, lambda: not visible_window(name))


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def read_ppm(data):
    """(width, height, rgb bytes) of a binary PPM with 8-bit samples."""
    fields = []
    at = 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise Failure("unexpected picture format %r" % fields)
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[at + 1:at + 1 + width * height * 3]


def screenshot():
    return read_ppm(subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                                   capture_output=True, check=True).stdout)


def save_screenshot(path):
    subprocess.run(["import", "-window", "root", path])


def read_settings(prefix):
    try:
        with open(os.path.join(prefix, "drive_c", "windows", "RARURI.ini"), "rb") as file:
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


def expected_pixels(words, width, height, factor):
    """The pixel array a 24-bit BMP of the drawn TVQ image holds: bottom row first,
    blue-green-red, rows padded to four bytes."""
    stride = (width * 3 + 3) // 4 * 4
    rows = bytearray()
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            word = words[y * width + x]
            red, green, blue = (min(255, c * factor)
                                for c in (word >> 11, (word >> 6) & 31, word & 31))
            row += bytes((blue, green, red))
        rows += row + bytes(stride - len(row))
    return bytes(rows)


class Program:
    def __init__(self, exe, folder):
        self.process = subprocess.Popen([RUN_WINDOWS_PROGRAM, exe], cwd=folder)

    def wait_exit(self):
        wait_for("the program to end", lambda: self.process.poll() is not None)

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def check(condition, message):
    if not condition:
        raise Failure(message)
    print("ok:", message)


def first_start(exe, folder, prefix):
    program = Program(exe, folder)
    try:
        box = wait_window("Initialization Error", program)
        check(read_settings(prefix) is None, "the settings file is written only after the box")
        press(box, "Return")
        wait_for("the default settings", lambda: read_settings(prefix) == b"3")
        check(True, 'first start: "Initialization Error", then RARURI.ini holds "3"')
        choose(wait_window("ZOD Edozuv", program), "f", "e")
        program.wait_exit()
    finally:
        program.stop()


def intro_shown(intro, position):
    intro_width, intro_height, intro_rgb = intro
    left, top = position
    width, _, screen = screenshot()
    for y in range(intro_height):
        at = ((top + y) * width + left) * 3
        if screen[at:at + intro_width * 3] != intro_rgb[y * intro_width * 3:(y + 1) * intro_width * 3]:
            return False
    return True


def typical_run(exe, intro_path, folder, prefix):
    intro = read_ppm(subprocess.run([CONVERT, intro_path, "-depth", "8", "ppm:-"],
                                    capture_output=True, check=True).stdout)
    screen_width, screen_height, _ = screenshot()
    # Centred on the screen, ten pixels to the left.
    position = (screen_width // 2 - intro[0] // 2 - 10, screen_height // 2 - intro[1] // 2)

    width, height = 64, 48
    tvq = os.path.join(folder, "sample.tvq")
    words = make_tvq(tvq, width, height)
    exported = os.path.join(folder, "export.bmp")

    program = Program(exe, folder)
    try:
        window = wait_window("ZOD Edozuv", program)
        wait_for("the intro picture at %s" % (position,), lambda: intro_shown(intro, position), 20)
        check(visible_window("Initialization Error") is None, "no box once the file exists")
        check(True, "the intro picture is centred, ten pixels to the left, at %s" % (position,))

        choose(window, "i", "t", opens_dialog=True)
        answer_file_dialog("Open", tvq)
        choose(window, "c", "5")
        choose(window, "e", "b", opens_dialog=True)
        answer_file_dialog("Save As", exported)
        wait_for("the exported file", lambda: os.path.exists(exported))

        with open(exported, "rb") as file:
            bmp = file.read()
        offset, = struct.unpack_from("<I", bmp, 10)
        check(struct.unpack_from("<iiHH", bmp, 18) == (width, height, 1, 24),
              "the export is a %d x %d 24-bit BMP" % (width, height))
        pixels = expected_pixels(words, width, height, 8)
        got = bmp[offset:]
        if got != pixels:
            save_screenshot(os.path.join(folder, "screen-at-failure.png"))
            stride = (width * 3 + 3) // 4 * 4
            wrong = [i for i in range(min(len(got), len(pixels))) if got[i] != pixels[i]]
            first = wrong[0] if wrong else min(len(got), len(pixels))
            raise Failure("exported pixels differ from the TVQ at factor 8 in %d bytes, the "
                          "first at x %d, y %d (file holds %d pixel bytes, expected %d)"
                          % (len(wrong), first % stride // 3, height - 1 - first // stride,
                             len(got), len(pixels)))
        check(True, "Level 5 export equals the TVQ pixels at factor 8, byte for byte")
        export_past_screen_edges(window, folder, screen_width, screen_height)

        choose(window, "f", "e")
        program.wait_exit()
        check(read_settings(prefix) == b"8", 'File > Exit leaves RARURI.ini holding "8"')
    finally:
        program.stop()


def capture(screen, screen_width, screen_height, top, width, height):
    """The pixel array of a width x height capture of the screen from (0, top): what the
    screen shows, black beyond its edges."""
    stride = (width * 3 + 3) // 4 * 4
    shown = min(width, screen_width)
    rows = bytearray()
    for y in reversed(range(height)):
        row = bytearray(stride)
        if top + y < screen_height:
            at = (top + y) * screen_width * 3
            rgb = screen[at:at + shown * 3]
            row[0:shown * 3:3], row[1:shown * 3:3], row[2:shown * 3:3] = rgb[2::3], rgb[1::3], rgb[0::3]
        rows += row
    return bytes(rows)


def export_past_screen_edges(window, folder, screen_width, screen_height):
    """An image running past the screen's right and bottom edges exports what the screen
    shows, black beyond, and the image is in it."""
    width, height = screen_width + 37, screen_height
    tvq = os.path.join(folder, "wide.tvq")
    words = make_tvq(tvq, width, height)
    exported = os.path.join(folder, "wide.bmp")
    choose(window, "i", "t", opens_dialog=True)
    answer_file_dialog("Open", tvq)
    choose(window, "e", "b", opens_dialog=True)
    answer_file_dialog("Save As", exported)
    wait_for("the exported file", lambda: os.path.exists(exported))
    with open(exported, "rb") as file:
        bmp = file.read()
    offset, = struct.unpack_from("<I", bmp, 10)
    got = bmp[offset:]
    stride = (width * 3 + 3) // 4 * 4
    top_row = expected_pixels(words[:64], 64, 1, 8)[:64 * 3]
    check(got[len(got) - stride:len(got) - stride + 64 * 3] == top_row,
          "an export past the screen's edges holds the image's top-left corner")
    _, _, screen = screenshot()
    # The drawing area starts under Wine's menu bar, whose height is Wine's.
    if not any(got == capture(screen, screen_width, screen_height, top, width, height)
               for top in range(1, 60)):
        save_screenshot(os.path.join(folder, "screen-at-failure.png"))
        raise Failure("the %d x %d export is not what the screen shows, black beyond"
                      % (width, height))
    check(True, "and the rest of what the screen shows, black beyond its edges")


def main():
    exe, intro_path = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    prefix = os.environ["WINEPREFIX"]
    folder = tempfile.mkdtemp(prefix="zod-e2e-")
    # The program looks for its intro picture in the working folder.
    with open(intro_path, "rb") as source, open(os.path.join(folder, "intro.bmp"), "wb") as copy:
        copy.write(source.read())
    settings = os.path.join(prefix, "drive_c", "windows", "RARURI.ini")
    if os.path.exists(settings):
        os.remove(settings)
    try:
        first_start(exe, folder, prefix)
        typical_run(exe, intro_path, folder, prefix)
    except Failure as failure:
        print("FAILED:", failure, "(files kept in %s)" % folder)
        return 1
    print("end-to-end test passed")
    subprocess.run(["rm", "-rf", folder])
    return 0


if __name__ == "__main__":
    sys.exit(main())
