#!/usr/bin/env python3
"""Installs, upgrades and uninstalls the Windows downloads under Wine, as an administrator
would with /S, and checks what each step leaves behind.

Usage: installer_test.py PACKAGES_DIR THUMBNAIL_PROBE.exe
PACKAGES_DIR holds zod-edozuv-<version>-setup.exe, the zip and the makensis defines they
were made from (a "next version" installer is made from the same files). Needs DISPLAY, a
fresh WINEPREFIX of its own (its registry is compared before and after), makensis,
xdotool and python3-xlib.
"""

import glob
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

import e2e_test
from e2e_test import Failure, check, wait_for

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
PREFIX = os.environ["WINEPREFIX"]
HANDLER = "{e357fccd-a995-4576-b01f-234630154e96}"  # the shell's thumbnail handler key
UNINSTALL = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\ZOD Edozuv"
OURS = re.compile(r"zod|edozuv|\.tvq", re.I)  # in every key or value the installer writes


def wine(*args, **kwargs):
    return subprocess.run(["wine"] + list(args), capture_output=True, text=True, **kwargs)


def settle():
    """Waits for every program of the prefix, and for the server, which then saves the
    registry to the prefix's files."""
    subprocess.run(["wineserver", "-w"], check=True)


def timed(*args):
    started = time.monotonic()
    result = wine(*args)
    settle()
    return result, time.monotonic() - started


def unix_path(windows_path):
    drive, rest = windows_path.split(":", 1)
    return os.path.join(PREFIX, "drive_" + drive.lower(), *rest.strip("\\").split("\\"))


def reg_query(key):
    """The values of a key as {name: data}, or None when there is no such key."""
    result = wine("reg", "query", key)
    if result.returncode != 0:
        return None
    values = {}
    for line in result.stdout.splitlines():
        parts = line.strip().split("    ")
        if len(parts) >= 2 and parts[1].startswith("REG_"):
            values[parts[0]] = parts[2] if len(parts) > 2 else ""
    return values


def registry():
    """The keys of the prefix's registry files, and their values as lines of text."""
    keys, lines = set(), set()
    for name in ("system.reg", "user.reg"):
        key = ""
        with open(os.path.join(PREFIX, name), encoding="utf-8", errors="replace") as file:
            for line in file:
                line = line.rstrip("\n")
                if line.startswith("["):
                    key = name + ":" + line[1:line.rindex("]")]
                    keys.add(key)
                elif line.startswith(('"', "@")):
                    lines.add(key + " " + line)
    return keys, lines


def shortcut_paths(path):
    """The working folder and the target's relative path stored in a shell link (.lnk)."""
    with open(path, "rb") as file:
        data = file.read()
    flags = struct.unpack_from("<I", data, 20)[0]
    at = 76
    if flags & 0x1:  # an item id list
        at += 2 + struct.unpack_from("<H", data, at)[0]
    if flags & 0x2:  # link info
        at += struct.unpack_from("<I", data, at)[0]
    strings = {}
    wide = flags & 0x80
    for bit, name in ((0x4, "name"), (0x8, "relative"), (0x10, "workdir"), (0x20, "args"),
                      (0x40, "icon")):
        if flags & bit:
            count = struct.unpack_from("<H", data, at)[0]
            size = count * (2 if wide else 1)
            raw = data[at + 2:at + 2 + size]
            strings[name] = raw.decode("utf-16-le" if wide else "latin-1").rstrip("\0")
            at += 2 + size
    return strings


def tvq_rows(path, factor):
    """The rows of red-green-blue bytes the viewer shows for a TVQ file at a factor."""
    with open(path, "rb") as file:
        data = file.read()
    width, height = struct.unpack_from("<hxxh", data, 4)
    words = struct.unpack_from("<%dH" % (width * height), data, 32)
    return [b"".join(e2e_test.amplified(w, factor) for w in words[y * width:(y + 1) * width])
            for y in range(height)]


class Run:
    def __init__(self, packages, probe):
        self.setup = glob.glob(os.path.join(packages, "zod-edozuv-*-setup.exe"))[0]
        self.version = re.search(r"zod-edozuv-(.*)-setup\.exe$", self.setup).group(1)
        self.zip = os.path.join(packages, "zod-edozuv-%s-windows.zip" % self.version)
        self.packages, self.probe = packages, probe
        self.work = tempfile.mkdtemp(prefix="zod-installer-")
        self.user = os.listdir(os.path.join(PREFIX, "drive_c", "users"))
        self.user = [u for u in self.user if u != "Public"][0]
        self.folder_win = "C:\\users\\%s\\AppData\\Local\\Programs\\ZOD Edozuv" % self.user
        self.folder = unix_path(self.folder_win)
        self.shortcut = unix_path("C:\\users\\%s\\AppData\\Roaming\\Microsoft\\Windows\\"
                                  "Start Menu\\Programs\\ZOD Edozuv.lnk" % self.user)
        self.settings = os.path.join(PREFIX, "drive_c", "windows", "RARURI.ini")
        self.wide = os.path.isdir(os.path.join(PREFIX, "drive_c", "windows", "syswow64"))
        self.times = {}

    # --- the zip ------------------------------------------------------------------------
    def portable_zip(self):
        top = "zod-edozuv-%s/" % self.version
        samples = sorted(os.path.basename(p) for p in glob.glob(os.path.join(ROOT, "assets",
                                                                             "*.tvq")))
        with zipfile.ZipFile(self.zip) as archive:
            self.files = {name[len(top):]: archive.read(name) for name in archive.namelist()
                          if not name.endswith("/")}
        expected = {"zod-edozuv.exe", "zod-tvq.exe", "intro.bmp", "README.txt",
                    "zod-tvq-thumbnails-x86.dll", "zod-tvq-thumbnails-x64.dll"}
        expected |= {"Samples/" + name for name in samples}
        check(set(self.files) == expected, "the zip holds %s in one folder %s"
              % (", ".join(sorted(expected)), top))
        readme = self.files["README.txt"].decode()
        check("regsvr32 zod-tvq-thumbnails-x64.dll" in readme and "regsvr32 /u" in readme,
              "its read-me says how to register the thumbnails and how to remove them")
        with open(os.path.join(ROOT, "assets", "intro.bmp"), "rb") as file:
            check(self.files["intro.bmp"] == file.read(), "its intro.bmp is the program's")

    # --- install ------------------------------------------------------------------------
    def install(self):
        with open(self.settings, "w") as file:
            file.write("2")  # the user's level: factor 2
        # Someone else's PATH entry, which must survive the whole run.
        wine("reg", "add", "HKCU\\Environment", "/v", "Path", "/t", "REG_EXPAND_SZ", "/d",
             "C:\\keep", "/f")
        settle()
        self.before = registry()[0]
        result, self.times["install"] = timed(self.setup, "/S")
        check(result.returncode == 0, "silent install of %s returns 0 (%.1f s with its children)"
              % (os.path.basename(self.setup), self.times["install"]))

    def installed_files(self):
        dll = "zod-tvq-thumbnails-x64.dll" if self.wide else "zod-tvq-thumbnails-x86.dll"
        expected = {name: self.files[name] for name in self.files if not name.endswith(".dll")}
        expected["zod-tvq-thumbnails.dll"] = self.files[dll]
        for name, data in sorted(expected.items()):
            path = os.path.join(self.folder, *name.split("/"))
            with open(path, "rb") as file:
                if file.read() != data:
                    raise Failure("%s differs from the zip's" % name)
        found = {os.path.relpath(os.path.join(d, f), self.folder).replace(os.sep, "/")
                 for d, _, files in os.walk(self.folder) for f in files}
        check(found == set(expected) | {"uninstall.exe"},
              "the install folder %s holds the zip's files, the %s thumbnail DLL and the "
              "uninstaller" % (self.folder_win, "x86-64" if self.wide else "i686"))

    def registry_keys(self):
        exe = self.folder_win + "\\zod-edozuv.exe"
        classes = "HKCU\\Software\\Classes\\"
        table = [
            (classes + ".tvq", "(Default)", "ZODEdozuv.tvq"),
            (classes + ".tvq", "PerceivedType", "image"),
            (classes + ".tvq\\OpenWithProgids", "ZODEdozuv.tvq", ""),
            (classes + "ZODEdozuv.tvq\\DefaultIcon", "(Default)", exe + ",0"),
            (classes + "ZODEdozuv.tvq\\shell\\open\\command", "(Default)", '"%s" "%%1"' % exe),
            (classes + ".bmp\\OpenWithProgids", "ZODEdozuv.bmp", ""),
            (classes + "ZODEdozuv.bmp\\shell\\open\\command", "(Default)", '"%s" "%%1"' % exe),
            (classes + "Applications\\zod-edozuv.exe\\SupportedTypes", ".tvq", ""),
            ("HKCU\\" + UNINSTALL, "DisplayName", "ZOD Edozuv"),
            ("HKCU\\" + UNINSTALL, "DisplayVersion", self.version),
            ("HKCU\\" + UNINSTALL, "Publisher", "ZOD"),
            ("HKCU\\" + UNINSTALL, "DisplayIcon", exe + ",0"),
            ("HKCU\\" + UNINSTALL, "InstallLocation", self.folder_win),
            ("HKCU\\Environment", "Path", "C:\\keep"),
        ]
        for key, name, expected in table:
            values = reg_query(key) or {}
            if values.get(name) != expected:
                raise Failure("%s: %s is %r, not %r" % (key, name, values.get(name), expected))
        size = int(reg_query("HKCU\\" + UNINSTALL)["EstimatedSize"], 16)
        check(size * 1024 >= sum(len(d) for d in self.files.values()) // 2,
              "wine reg query: the .tvq class, its open verb and icon, PerceivedType=image, "
              "Open with for .bmp, the Uninstall entry (%d KiB), PATH untouched by default"
              % size)
        bmp = (reg_query(classes + ".bmp") or {}).get("(Default)", "")
        check("ZODEdozuv" not in bmp, ".bmp keeps its default program")

    def start_menu(self):
        link = shortcut_paths(self.shortcut)
        check(link.get("workdir") == self.folder_win,
              "the Start-menu shortcut starts in the install folder (%s)" % link.get("workdir"))

    # --- using what is installed ----------------------------------------------------------
    def open_by_association(self):
        command = reg_query("HKCU\\Software\\Classes\\ZODEdozuv.tvq\\shell\\open\\command")
        sample = self.folder_win + "\\Samples\\gradient.tvq"
        print("note: Wine 8 reads file associations only from HKLM, so `wine start` cannot "
              "see this per-user install; the test runs the open command registered under "
              "HKCU itself")
        exe, rest = re.match(r'"([^"]+)" (.*)$', command["(Default)"]).groups()
        check(rest == '"%1"', "the open verb passes the file as one argument")
        rows = tvq_rows(unix_path(sample), 2)
        process = subprocess.Popen(["wine", exe, sample], cwd=self.work,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            at = wait_for("gradient.tvq on the screen", lambda: e2e_test.find_on_screen(rows))
            check(True, "opening Samples\\gradient.tvq shows it at the saved factor 2, at %s"
                  % (at,))
        except Failure:
            e2e_test.save_screenshot(os.path.join(self.work, "screen-at-failure.ppm"))
            raise
        finally:
            process.kill()
            process.wait()
            settle()

    def converter(self):
        out = "C:\\users\\%s\\gradient.bmp" % self.user
        result = wine(self.folder_win + "\\zod-tvq.exe", "convert", "--factor", "2", "-o", out,
                      self.folder_win + "\\Samples\\gradient.tvq", cwd=self.work)
        if result.returncode != 0:
            raise Failure("zod-tvq.exe convert: %s" % (result.stdout + result.stderr))
        with open(unix_path(out), "rb") as file:
            written = e2e_test.read_bmp24(file.read())
        check(written == tvq_rows(unix_path(self.folder_win + "\\Samples\\gradient.tvq"), 2),
              "the installed zod-tvq.exe converts a sample to the BMP the viewer would show")
        os.remove(unix_path(out))

    def thumbnails(self):
        result = subprocess.run(["wine", self.probe, self.folder_win + "\\Samples\\gradient.tvq",
                                 "96"], capture_output=True, text=True)
        settle()
        check(result.returncode == 0 and result.stdout.split() == ["96", "96"],
              "the provider named under the .tvq key answers a 96 x 96 thumbnail of a 256 x 256 "
              "sample (%s)" % result.stdout.strip())

    # --- upgrade and uninstall ------------------------------------------------------------
    def upgrade(self):
        major, minor, patch = self.version.split(".")
        self.next = "%s.%s.%d" % (major, minor, int(patch) + 1)
        readme = os.path.join(self.work, "README.txt")
        with open(readme, "wb") as file:
            file.write(self.files["README.txt"].replace(self.version.encode(),
                                                        self.next.encode()))
        setup = os.path.join(self.work, "zod-edozuv-%s-setup.exe" % self.next)
        subprocess.run(["makensis", "-V1", "-DDEFINES=" + os.path.join(self.packages,
                                                                      "defines.nsh"),
                        "-DVERSION=" + self.next, "-DOUTFILE=" + setup, "-DREADME=" + readme,
                        os.path.join(ROOT, "installer", "zod-edozuv.nsi")], check=True)
        result, self.times["upgrade"] = timed(setup, "/S", "/ADDTOPATH")
        check(result.returncode == 0, "version %s installs over %s with /S /ADDTOPATH (%.1f s)"
              % (self.next, self.version, self.times["upgrade"]))
        entries = [line for line in registry()[1]
                   if "\\\\uninstall\\\\" in line.lower() and '"displayname"="zod edozuv"'
                   in line.lower()]
        check(len(entries) == 1, "one entry in Apps & features")
        values = reg_query("HKCU\\" + UNINSTALL)
        with open(os.path.join(self.folder, "README.txt"), "rb") as file:
            check(values["DisplayVersion"] == self.next and file.read() == open(readme,
                                                                                "rb").read(),
                  "it names version %s, and the new files are in place" % self.next)
        self.files["README.txt"] = open(readme, "rb").read()
        path = reg_query("HKCU\\Environment")["Path"]
        check(path == "C:\\keep;" + self.folder_win, "/ADDTOPATH appends the install folder to "
              "the user's PATH")
        self.installed_files()

    def uninstall(self):
        with open(self.settings, "rb") as file:
            settings = file.read()
        command = reg_query("HKCU\\" + UNINSTALL)["QuietUninstallString"]
        exe = re.match(r'"([^"]+)" /S$', command).group(1)
        # The uninstaller copies itself away and returns at once: settle() waits for it.
        result, self.times["uninstall"] = timed(exe, "/S")
        check(result.returncode == 0, "silent uninstall (%.1f s with its children)"
              % self.times["uninstall"])
        check(not os.path.exists(self.folder) and not os.path.exists(self.shortcut),
              "the install folder and the shortcut are gone")
        with open(self.settings, "rb") as file:
            check(file.read() == settings, "RARURI.ini is left as it was")
        check(reg_query("HKCU\\Environment")["Path"] == "C:\\keep",
              "PATH is as it was before the install")

    def machine_wide(self):
        """/ALLUSERS: under Program Files, classes under HKLM, where Wine's `start` finds
        them, so this time the association is used for real."""
        result, took = timed(self.setup, "/S", "/ALLUSERS")
        folder = "C:\\Program Files (x86)\\ZOD Edozuv" if self.wide else \
            "C:\\Program Files\\ZOD Edozuv"
        location = (reg_query("HKLM\\" + UNINSTALL) or {}).get("InstallLocation")
        check(result.returncode == 0 and location == folder,
              "/S /ALLUSERS installs for everyone under %s (%.1f s)" % (location, took))
        shortcut = unix_path("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\"
                             "ZOD Edozuv.lnk")
        check(reg_query("HKLM\\Software\\Classes\\.tvq")["(Default)"] == "ZODEdozuv.tvq" and
              shortcut_paths(shortcut).get("workdir") == folder,
              "with .tvq under HKLM and the shortcut in everyone's Start menu")
        rows = tvq_rows(os.path.join(ROOT, "assets", "colorbars.tvq"), 2)
        start = subprocess.Popen(["wine", "start", folder + "\\Samples\\colorbars.tvq"],
                                 cwd=self.work, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        try:
            at = wait_for("colorbars.tvq on the screen", lambda: e2e_test.find_on_screen(rows))
            check(True, "`wine start Samples\\colorbars.tvq` opens it in the viewer, at %s"
                  % (at,))
        except Failure:
            e2e_test.save_screenshot(os.path.join(self.work, "screen-at-failure.ppm"))
            raise
        finally:
            wine("taskkill", "/f", "/im", "zod-edozuv.exe")
            start.wait()
            settle()
        result, took = timed(folder + "\\uninstall.exe", "/S")
        check(result.returncode == 0 and reg_query("HKLM\\" + UNINSTALL) is None and
              not os.path.exists(unix_path(folder)) and not os.path.exists(shortcut),
              "its silent uninstall removes the folder, the shortcut and the entry (%.1f s)"
              % took)

    def registry_clean(self):
        keys, values = registry()
        left = sorted(line for line in keys | values if OURS.search(line))
        added = sorted(key for key in keys - self.before if "\\\\classes\\\\" in key.lower())
        if left or added:
            raise Failure("left in the registry:\n  " + "\n  ".join(left + added))
        check(True, "no key or value of ours is left in the registry, and no new class key")


def main():
    run = Run(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]))
    try:
        run.portable_zip()
        run.install()
        run.installed_files()
        run.registry_keys()
        run.start_menu()
        run.open_by_association()
        run.converter()
        run.thumbnails()
        run.upgrade()
        run.uninstall()
        run.machine_wide()
        run.registry_clean()
    except Failure as failure:
        print("FAILED:", failure, "(files kept in %s)" % run.work)
        return 1
    print("installer test passed: install %.1f s, upgrade %.1f s, uninstall %.1f s"
          % (run.times["install"], run.times["upgrade"], run.times["uninstall"]))
    shutil.rmtree(run.work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
