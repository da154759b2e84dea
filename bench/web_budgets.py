#!/usr/bin/env python3
"""The web page's budgets, in one run of headless Chromium on the built site:

  - an 8192 x 4096 TVQ file reaches the canvas in at most 1.5 x the time the same page takes
    to draw the same picture from a PNG file, which the browser decodes itself;
  - the whole site is at most 512 KiB;
  - a 40-byte file claiming 32767 x 32767 pixels is refused within 1 s.

Each time runs from the file input's change event to the page's next "ready", with the
canvas's last pixel read back so that the drawing is really done. Prints medians and
minimums; exit status 1 when a budget is missed.

    python3 bench/web_budgets.py [RUNS]     (bench/web.sh builds the site first)
"""
import math
import os
import random
import statistics
import struct
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from browser import SITE, Browser  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402

WIDTH, HEIGHT = 8192, 4096

# Leaves in window.benchResult the milliseconds from the input's next change event to the
# page's next "ready" (with arguments[0] true: to the refusal's words in #message), and the
# longest time between two frames meanwhile: how long the page was frozen.
TIMED_OPEN = """
const untilMessage = arguments[0];
window.benchResult = null;
let start = 0, frame = 0, frozen = 0;
const tick = (now) => {
  frozen = Math.max(frozen, now - frame);
  frame = now;
  if (window.benchResult === null) requestAnimationFrame(tick);
};
document.addEventListener('change', () => {
  start = frame = performance.now();
  requestAnimationFrame(tick);
}, {capture: true, once: true});
const watched = untilMessage ? document.getElementById('message') : document.body;
const observer = new MutationObserver(() => {
  if (!start || !(untilMessage ? watched.textContent : document.body.dataset.state === 'ready')) return;
  observer.disconnect();
  const canvas = document.getElementById('view');
  if (canvas.width) canvas.getContext('2d').getImageData(canvas.width - 1, canvas.height - 1, 1, 1);
  window.benchResult = [performance.now() - start, frozen];
});
observer.observe(watched, {attributes: true, childList: true, characterData: true, subtree: true});
"""

WAIT_RESULT = """
const done = arguments[0];
const poll = () => window.benchResult !== null ? done(window.benchResult) : setTimeout(poll, 5);
poll();
"""


def picture():
    """A picture with smooth areas and fine noise, as the five-bit levels of each channel:
    its TVQ file, and the PNG of what the TVQ file shows at factor 8."""
    n = WIDTH * HEIGHT
    rng = random.Random(7)
    wave_x = bytes(int(14 + 13 * math.sin(x / 300)) for x in range(WIDTH))
    wave_y = [int(14 + 13 * math.sin(y / 170)) for y in range(HEIGHT)]
    ramp_x = bytes(x * 28 // WIDTH for x in range(WIDTH))

    def plane(base, table_of_row):
        return b"".join(base.translate(table_of_row(y)) for y in range(HEIGHT))

    def plus_noise(levels):  # adds 0..3 to each level (at most 28) with no carries
        noise = rng.randbytes(n).translate(bytes(v & 3 for v in range(256)))
        return (int.from_bytes(levels, "little") + int.from_bytes(noise, "little")).to_bytes(n, "little")

    red = plus_noise(plane(ramp_x, lambda y: bytes((v + y * 28 // HEIGHT) // 2 for v in range(256))))
    green = plus_noise(plane(wave_x, lambda y: bytes((v + wave_y[y]) // 2 for v in range(256))))
    blue = plus_noise(plane(wave_x, lambda y: bytes((28 - min(v, 28) + y % 29) // 2 for v in range(256))))

    def combined(*planes):  # planes whose bits do not overlap, as one
        return sum(int.from_bytes(p, "little") for p in planes).to_bytes(n, "little")

    words = bytearray(2 * n)
    words[0::2] = combined(green.translate(bytes((v & 3) << 6 & 255 for v in range(256))), blue)
    words[1::2] = combined(red.translate(bytes(v << 3 & 255 for v in range(256))),
                           green.translate(bytes(v >> 2 for v in range(256))))
    header = bytearray(32)
    struct.pack_into("<h", header, 4, WIDTH)
    struct.pack_into("<h", header, 8, HEIGHT)
    tvq = bytes(header) + bytes(words)

    rgb = bytearray(3 * n)
    times8 = bytes(min(255, v * 8) for v in range(256))
    for i, levels in enumerate((red, green, blue)):
        rgb[i::3] = levels.translate(times8)
    stride = 3 * WIDTH
    raw = b"".join(b"\0" + rgb[y * stride : (y + 1) * stride] for y in range(HEIGHT))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    ihdr = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 6))
           + chunk(b"IEND", b""))
    return tvq, png


def timed_open(browser, path, until_message=False):
    driver = browser.driver
    driver.set_script_timeout(120)
    driver.execute_script(TIMED_OPEN, until_message)
    driver.find_element(By.ID, "open").send_keys(path)
    result = driver.execute_async_script(WAIT_RESULT)
    browser.wait_ready()
    return result


def summary(times):
    return f"median {statistics.median(times):8.1f} ms, minimum {min(times):8.1f} ms"


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    site_bytes = sum(os.path.getsize(os.path.join(SITE, f)) for f in os.listdir(SITE))
    failures = []
    with tempfile.TemporaryDirectory(prefix="zod-web-bench-") as folder:
        tvq, png = picture()
        paths = {}
        for name, data in (("big.tvq", tvq), ("big.png", png), ("claims.tvq", None)):
            paths[name] = os.path.join(folder, name)
            with open(paths[name], "wb") as f:
                if data is None:  # 40 bytes, 32767 x 32767 in the header
                    data = bytearray(40)
                    struct.pack_into("<h", data, 4, 32767)
                    struct.pack_into("<h", data, 8, 32767)
                f.write(data)
        print(f"picture: {WIDTH} x {HEIGHT}, TVQ {len(tvq) >> 20} MiB, PNG {len(png) >> 20} MiB")
        browser = Browser(folder, folder)
        try:
            browser.driver.execute_script(
                "document.getElementById('level').value = '5';"
                "document.getElementById('level').dispatchEvent(new Event('change'));")
            browser.wait_ready()
            tvq_times, png_times, ratios, refusals, frozen = [], [], [], [], []
            for _ in range(runs):
                (tvq_time, tvq_frozen), (png_time, _) = (timed_open(browser, paths[name])
                                                         for name in ("big.tvq", "big.png"))
                tvq_times.append(tvq_time)
                png_times.append(png_time)
                frozen.append(tvq_frozen)
                ratios.append(tvq_time / png_time)
                refusals.append(timed_open(browser, paths["claims.tvq"], until_message=True)[0])
        finally:
            browser.close()
    ratio = statistics.median(ratios)
    print(f"8192 x 4096 TVQ to the canvas:  {summary(tvq_times)}")
    print(f"the same picture as PNG:        {summary(png_times)}")
    print(f"longest frame while the TVQ file opened: {summary(frozen)}")
    print(f"TVQ / PNG, run by run ({runs} runs): median {ratio:.2f}, minimum {min(ratios):.2f} (budget 1.5)")
    print(f"40-byte file claiming 32767 x 32767 refused: {summary(refusals)} (budget 1000 ms)")
    print(f"site: {site_bytes} bytes = {site_bytes / 1024:.1f} KiB (budget 512 KiB)")
    if ratio > 1.5:
        failures.append("TVQ / PNG")
    if statistics.median(refusals) > 1000:
        failures.append("refusal time")
    if site_bytes > 512 * 1024:
        failures.append("site size")
    if failures:
        print("over budget: " + ", ".join(failures))
        sys.exit(1)


if __name__ == "__main__":
    main()
