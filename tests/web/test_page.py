#!/usr/bin/env python3
"""The web page in headless Chromium, served from 127.0.0.1: its pixels against a decoder
written here, its downloads byte for byte against the native zod-tvq (its PNG exports, as
the browser reads them, against the same decoder).

    ZOD_TVQ=build/dev/zod-tvq/zod-tvq python3 tests/web/test_page.py [-k NAME]
"""
import base64
import json
import os
import struct
import subprocess
import tempfile
import time
import unittest
import zlib

from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

from browser import ROOT, Browser

ZOD_TVQ = os.environ.get("ZOD_TVQ", os.path.join(ROOT, "build", "dev", "zod-tvq", "zod-tvq"))
FACTORS = (2, 3, 4, 6, 8)


# --- files made here, and what they should look like ----------------------------------------
def tvq(width, height, body):
    header = bytearray(32)
    struct.pack_into("<h", header, 4, width)
    struct.pack_into("<h", header, 8, height)
    return bytes(header) + body


def words(count, seed=1):
    """Pseudo-random pixel words, every bit used (bit 5 too)."""
    out = bytearray()
    for i in range(count):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        out += struct.pack("<H", (seed >> 8) & 0xFFFF)
    return bytes(out)


def expected_rgba(data, factor):
    """The format as documented: little-endian words after a 32-byte header, red in bits
    15-11, green 10-6, blue 4-0, each times the factor and clamped; a lone last byte is a word of its own, and every
    pixel past the file's end repeats the last word."""
    width, height = struct.unpack_from("<h", data, 4)[0], struct.unpack_from("<h", data, 8)[0]
    body = data[32 : 32 + 2 * width * height]
    if len(body) % 2:
        body += b"\0"
    ws = [body[i] | body[i + 1] << 8 for i in range(0, len(body), 2)]
    ws += [ws[-1]] * (width * height - len(ws))
    level = [min(255, c * factor) for c in range(32)]
    return b"".join(bytes((level[w >> 11], level[w >> 6 & 31], level[w & 31], 255)) for w in ws)


def png(width, height, rgba, alpha=True):
    """An 8-bit PNG of RGBA pixels, RGB when not `alpha`."""
    channels = 4 if alpha else 3
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            raw += rgba[4 * (y * width + x) : 4 * (y * width + x) + channels]

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(raw)))
            + chunk(b"IEND", b""))


def bmp(width, height, rgba):
    """A 24-bit BMP, bottom row first."""
    stride = (3 * width + 3) & ~3
    rows = b""
    for y in reversed(range(height)):
        row = b"".join(bytes((rgba[4 * (y * width + x) + 2], rgba[4 * (y * width + x) + 1],
                              rgba[4 * (y * width + x)])) for x in range(width))
        rows += row + b"\0" * (stride - 3 * width)
    return (b"BM" + struct.pack("<IHHI", 54 + len(rows), 0, 0, 54)
            + struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 0, 0, 0, 0) + rows)


# --- the page ---------------------------------------------------------------------------
class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory(prefix="zod-web-test-")
        cls.files = os.path.join(cls.folder.name, "files")
        cls.downloads = os.path.join(cls.folder.name, "downloads")
        os.makedirs(cls.files)
        os.makedirs(cls.downloads)
        try:
            cls.browser = Browser(cls.folder.name, cls.downloads)
        except Exception:
            cls.folder.cleanup()
            raise
        cls.driver = cls.browser.driver

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()
        cls.folder.cleanup()

    # --- helpers ---
    def wait_ready(self):
        self.browser.wait_ready()

    def act(self, action):
        """Does `action` and waits until the page is idle again."""
        self.driver.execute_script("document.body.dataset.state = 'asked'")
        action()
        self.wait_ready()

    def file(self, name, data):
        path = os.path.join(self.files, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def choose(self, input_id, *paths):
        self.act(lambda: self.driver.find_element(By.ID, input_id).send_keys("\n".join(paths)))

    def set_level(self, level):
        select = Select(self.driver.find_element(By.ID, "level"))
        if select.first_selected_option.get_attribute("value") != str(level):
            self.act(lambda: select.select_by_value(str(level)))

    def click(self, button_id):
        self.act(lambda: self.driver.find_element(By.ID, button_id).click())

    def message(self):
        return self.driver.find_element(By.ID, "message").text

    def canvas(self, png=None):
        """The canvas's size and RGBA pixels, or those of a PNG file as the browser reads it."""
        self.driver.set_script_timeout(60)
        width, height, data = self.driver.execute_async_script("""
            const [png, done] = arguments;
            const pixelsOf = (canvas) => {
              if (!canvas.width || !canvas.height) return done([canvas.width, canvas.height, '']);
              const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
              let text = '';
              for (let i = 0; i < pixels.length; i += 0x8000)
                text += String.fromCharCode.apply(null, pixels.subarray(i, i + 0x8000));
              done([canvas.width, canvas.height, btoa(text)]);
            };
            if (!png) return pixelsOf(document.getElementById('view'));
            const bytes = Uint8Array.from(atob(png), (c) => c.charCodeAt(0));
            createImageBitmap(new Blob([bytes]), {premultiplyAlpha: 'none'}).then((bitmap) => {
              const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
              canvas.getContext('2d').drawImage(bitmap, 0, 0);
              pixelsOf(canvas);
            });""", png and base64.b64encode(png).decode())
        return width, height, base64.b64decode(data)

    def downloaded(self, *names):
        """The downloads' bytes, once each is complete; they are then removed."""
        paths = [os.path.join(self.downloads, name) for name in names]
        deadline = time.monotonic() + 30
        while not all(os.path.exists(p) for p in paths) or any(
                n.endswith(".crdownload") for n in os.listdir(self.downloads)):
            self.assertLess(time.monotonic(), deadline, f"downloads: {os.listdir(self.downloads)}")
            time.sleep(0.05)
        out = []
        for path in paths:
            with open(path, "rb") as f:
                out.append(f.read())
            os.remove(path)
        return out

    def native(self, command, factor, source, extension):
        """What zod-tvq `command` --factor `factor` writes for `source`."""
        output = os.path.join(self.folder.name, "native" + extension)
        result = subprocess.run([ZOD_TVQ, command, "--quiet", "--force", "--factor", str(factor),
                                 "-o", output, source], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(output, "rb") as f:
            return f.read()

    # --- the tests ---
    def test_pixels_at_every_level(self):
        cases = {  # name: file
            "whole.tvq": tvq(13, 7, words(91)),
            "short.tvq": tvq(13, 7, words(40)),
            "lone-byte.tvq": tvq(13, 7, words(40) + b"\xa7"),
            "longer.tvq": tvq(13, 7, words(91) + b"\x01\x02\x03"),
            "one-word.tvq": tvq(3, 2, b"\x1f\xf8"),
        }
        for name, data in cases.items():
            self.choose("open", self.file(name, data))
            for level, factor in enumerate(FACTORS, 1):
                with self.subTest(name=name, level=level):
                    self.set_level(level)
                    self.assertEqual(self.message(), "")
                    width, height, pixels = self.canvas()
                    self.assertEqual((width, height), struct.unpack_from("<hxxh", data, 4))
                    self.assertEqual(pixels, expected_rgba(data, factor))

    def test_refusals_in_the_words_of_zod_tvq_info(self):
        cases = {
            "short.tvq": b"\0" * 7,
            "no-size.tvq": tvq(0, 5, words(4)),
            "negative.tvq": tvq(-3, 5, words(4)),
            "header-only.tvq": tvq(4, 4, b""),
            "huge.tvq": tvq(32767, 32767, b"\0" * 8),
            "sparse.tvq": tvq(8192, 4096, words(1000)),
            "renamed.tvq": png(2, 2, words(8)),
        }
        for name, data in cases.items():
            with self.subTest(name=name):
                path = self.file(name, data)
                info = subprocess.run([ZOD_TVQ, "info", "--json", path], capture_output=True, text=True)
                facts = json.loads(info.stdout)[0]
                self.choose("open", path)
                self.assertEqual(self.message(), f"{name}: {facts.get('refusal') or facts['error']}")
                self.assertEqual(self.canvas()[:2], (0, 0))
        self.choose("open", self.file("broken.png", b"\x89PNG\r\n\x1a\n" + words(50)))
        self.assertEqual(self.message(), "broken.png: not a picture this browser can read")
        # Gone from the disk after it was chosen: nothing to read any more.
        self.choose("open", self.file("gone.tvq", tvq(4, 4, words(16))))
        os.remove(os.path.join(self.files, "gone.tvq"))
        self.set_level(1 if self.driver.find_element(By.ID, "level").get_attribute("value") != "1" else 2)
        self.assertEqual(self.message(), "gone.tvq: the file could not be read")

    def test_exports_and_encoding_match_zod_tvq(self):
        a = self.file("a.tvq", tvq(13, 7, words(40) + b"\xa7"))
        b = self.file("b.v2.tvq", tvq(6, 9, words(54, seed=7)))
        picture = self.file("picture.png", png(5, 4, words(40, seed=3)))
        self.set_level(3)
        self.choose("open", a, b, picture)
        self.assertEqual([e.text for e in self.driver.find_elements(By.CSS_SELECTOR, "#files button")],
                         ["a.tvq", "b.v2.tvq", "picture.png"])
        self.click("export-bmp")
        bmps = self.downloaded("a.bmp", "b.v2.bmp", "picture.bmp")
        self.assertEqual(bmps[:2], [self.native("convert", 4, a, ".bmp"), self.native("convert", 4, b, ".bmp")])
        self.assertEqual(bmps[2][:2], b"BM")
        self.click("export-png")
        pngs = self.downloaded("a.png", "b.v2.png", "picture.png")
        for path, data in zip((a, b), pngs):
            with open(path, "rb") as f:
                tvq_bytes = f.read()
            self.assertEqual(self.canvas(png=data)[2], expected_rgba(tvq_bytes, 4))
        # Other pictures as the view shows them: over black.
        rgba = words(40, seed=3)
        over_black = bytes((rgba[i] * rgba[i | 3] + 127) // 255 if i % 4 < 3 else 255 for i in range(80))
        self.assertEqual(self.canvas(png=pngs[2])[2], over_black)

        # Opaque and translucent pixels, as PNG (libspng at home) and BMP (gdk-pixbuf).
        pixels = words(2 * 23 * 11, seed=5)
        sources = {
            "opaque.png": png(23, 11, pixels, alpha=False),
            "translucent.png": png(23, 11, pixels),
            "plain.bmp": bmp(23, 11, pixels),
        }
        paths = [self.file(name, data) for name, data in sources.items()]
        for level, factor in ((1, 2), (5, 8)):
            self.set_level(level)
            self.choose("encode", *paths)
            encoded = self.downloaded("opaque.tvq", "translucent.tvq", "plain.tvq")
            for path, data in zip(paths, encoded):
                with self.subTest(path=os.path.basename(path), level=level):
                    self.assertEqual(data, self.native("encode", factor, path, ".tvq"))

    def test_the_level_is_kept_across_a_reload(self):
        level = lambda: Select(self.driver.find_element(By.ID, "level")).first_selected_option.get_attribute("value")
        self.driver.execute_script("localStorage.clear()")
        for chosen, after_reload in ((None, "2"), (4, "4"), (1, "1")):
            if chosen:
                self.set_level(chosen)
            self.driver.refresh()
            self.wait_ready()
            self.assertEqual(level(), after_reload)

    def test_a_large_file_opens_whole(self):
        width, height = 8192, 4096
        pattern = words(4099)
        body = (pattern * (width * height // 4099 + 1))[: 2 * (width * height - 5000) + 1]
        data = tvq(width, height, body)
        self.set_level(5)
        self.choose("open", self.file("large.tvq", data))
        self.assertEqual(self.message(), "")
        points = [(0, 0), (8191, 0), (100, 2000), (3191, 4095), (8191, 4095)]
        got = self.driver.execute_script("""
            const context = document.getElementById('view').getContext('2d');
            return [context.canvas.width, context.canvas.height,
                    arguments[0].map(([x, y]) => [...context.getImageData(x, y, 1, 1).data])];""", points)
        self.assertEqual(got[:2], [width, height])
        level = [min(255, c * 8) for c in range(32)]
        for (x, y), rgba in zip(points, got[2]):
            i = min(y * width + x, len(body) // 2)
            w = body[2 * i] | (body[2 * i + 1] << 8 if 2 * i + 1 < len(body) else 0)
            self.assertEqual(rgba, [level[w >> 11], level[w >> 6 & 31], level[w & 31], 255], (x, y))

    def test_offline_once_loaded(self):
        WebDriverWait(self.driver, 30).until(
            lambda d: d.execute_script("return !!navigator.serviceWorker.controller"))
        self.driver.execute_cdp_cmd("Network.enable", {})
        self.driver.execute_cdp_cmd("Network.emulateNetworkConditions", {
            "offline": True, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1})
        try:
            self.driver.refresh()
            self.wait_ready()
            data = tvq(4, 3, words(12))
            self.choose("open", self.file("offline.tvq", data))
            self.assertEqual(self.canvas()[2], expected_rgba(data, FACTORS[int(
                self.driver.find_element(By.ID, "level").get_attribute("value")) - 1]))
        finally:
            self.driver.execute_cdp_cmd("Network.emulateNetworkConditions", {
                "offline": False, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1})


if __name__ == "__main__":
    unittest.main()
