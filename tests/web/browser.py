"""The built site served from 127.0.0.1 and a headless Chromium on it, for the page's tests
and its benchmark (bench/web_budgets.py). The flags keep Chromium off the network, which
this machine's closed network would refuse anyway, and away from any profile but a new one.
"""
import functools
import http.server
import os
import threading

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.support.ui import WebDriverWait

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
SITE = os.environ.get("ZOD_SITE", os.path.join(ROOT, "build", "web", "site"))
FLAGS = ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--window-size=1024,768")


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


class Browser:
    """Serves the site and opens it in a new profile under `folder`; downloads go to
    `downloads`. close() ends both."""

    def __init__(self, folder, downloads):
        handler = functools.partial(_QuietHandler, directory=SITE)
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.url = f"http://127.0.0.1:{self.server.server_address[1]}/"
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in FLAGS + (f"--user-data-dir={folder}/profile",):
            options.add_argument(flag)
        options.add_experimental_option("prefs", {
            "download.default_directory": downloads, "download.prompt_for_download": False,
            "profile.default_content_setting_values.automatic_downloads": 1})
        try:
            self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        except Exception:
            self.server.shutdown()
            raise
        self.driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                                    {"behavior": "allow", "downloadPath": downloads})
        self.driver.get(self.url)
        self.wait_ready()

    def wait_ready(self, timeout=60):
        WebDriverWait(self.driver, timeout).until(
            lambda d: d.execute_script("return document.body.dataset.state") == "ready")

    def close(self):
        self.driver.quit()
        self.server.shutdown()
        self.server.server_close()
