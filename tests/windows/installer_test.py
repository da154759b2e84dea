#!/usr/bin/env python3
"""Installs, upgrades and uninstalls the Windows downloads under Wine, as an administrator
would with /S, and checks what each step leaves behind.

Usage: installer_test.py PACKAGES_DIR [unittest arguments, e.g. ZipTest]
PACKAGES_DIR holds zod-edozuv-<version>-setup.exe, the zip and the makensis defines they
were made from (a "next version" installer is made from the same files): the 32-bit ones
that ship, or the 64-bit twins (defines.nsh says TWIN64) where Wine runs no 32-bit code.
Needs DISPLAY, a fresh WINEPREFIX of its own (its registry is compared before and after),
ZOD_THUMBNAIL_PROBE (thumbnail_probe.exe of the prefix's width), makensis, xdotool and
python3-xlib; ZipTest needs none of them. scripts/windows-run.sh provides them. Each
scenario installs or uninstalls what it needs first, so any one can run alone.
"""

import glob
import os
import re
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

import e2e_test
from e2e_test import Failure, check, wait_for

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
UNINSTALL = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\ZOD Edozuv"
OURS = re.compile(r"zod|edozuv|\.tvq", re.I)  # in every key or value the installer writes
CLASSES = "HKCU\\Software\\Classes\\"


def wine(*args, **kwargs):
    """A program under the Wine loader of its width (scripts/wine.sh)."""
    return subprocess.run([e2e_test.RUN_WINDOWS_PROGRAM] + list(args), capture_output=True,
                          text=True, **kwargs)


def is_64bit(program):
    """Whether a Windows program (a path, or its bytes) is x86-64, else i386."""
    header = program
    if isinstance(program, str):
        with open(program, "rb") as file:
            header = file.read(4096)
    machine = struct.unpack_from("<H", header, struct.unpack_from("<I", header, 60)[0] + 4)[0]
    return machine == 0x8664


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
    return os.path.join(os.environ["WINEPREFIX"], "drive_" + drive.lower(),
                        *rest.strip("\\").split("\\"))


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
        with open(os.path.join(os.environ["WINEPREFIX"], name), encoding="utf-8",
                  errors="replace") as file:
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


def shown_by(rows, *command):
    """Where the screen shows rows once command (run under Wine) opens them; the viewer
    is closed again."""
    process = subprocess.Popen([e2e_test.RUN_WINDOWS_PROGRAM] + list(command),
                               cwd=tempfile.gettempdir(), stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        return wait_for("the sample on the screen", lambda: e2e_test.find_on_screen(rows))
    finally:
        wine("taskkill", "/f", "/im", "zod-edozuv.exe")
        process.kill()
        process.wait()
        settle()


class Packages:
    """The downloads under test, and what an install of them holds."""

    def __init__(self, folder):
        self.folder = folder
        self.setup = glob.glob(os.path.join(folder, "zod-edozuv-*-setup.exe"))[0]
        self.version = re.search(r"zod-edozuv-(.*)-setup\.exe$", self.setup).group(1)
        self.zip = os.path.join(folder, "zod-edozuv-%s-windows.zip" % self.version)
        with open(os.path.join(folder, "defines.nsh")) as file:
            self.twin64 = "!define TWIN64" in file.read().splitlines()
        top = "zod-edozuv-%s/" % self.version
        with zipfile.ZipFile(self.zip) as archive:
            self.files = {name[len(top):]: archive.read(name) for name in archive.namelist()
                          if not name.endswith("/")}
        self.top = top


class Prefix:
    """The Wine prefix and what the scenarios did in it: each installs or uninstalls what
    it needs, so that any one can run alone."""

    def __init__(self, packages):
        self.packages = packages
        self.files = dict(packages.files)  # what the install folder should hold
        self.work = tempfile.mkdtemp(prefix="zod-installer-")
        drive = os.path.join(os.environ["WINEPREFIX"], "drive_c")
        self.user = [u for u in os.listdir(os.path.join(drive, "users")) if u != "Public"][0]
        self.folder_win = "C:\\users\\%s\\AppData\\Local\\Programs\\ZOD Edozuv" % self.user
        self.folder = unix_path(self.folder_win)
        self.shortcut = unix_path("C:\\users\\%s\\AppData\\Roaming\\Microsoft\\Windows\\"
                                  "Start Menu\\Programs\\ZOD Edozuv.lnk" % self.user)
        self.settings = os.path.join(drive, "windows", "RARURI.ini")
        self.wide = os.path.isdir(os.path.join(drive, "windows", "syswow64"))
        # A 32-bit installer on 64-bit Windows installs for everyone under Program Files
        # (x86); the 64-bit twin, under Program Files.
        self.machine_folder = "C:\\Program Files%s\\ZOD Edozuv" % (
            " (x86)" if self.wide and not is_64bit(packages.setup) else "")
        with open(self.settings, "w") as file:
            file.write("2")  # the user's level: factor 2
        # Someone else's PATH entry, which must survive the whole run.
        wine("reg", "add", "HKCU\\Environment", "/v", "Path", "/t", "REG_EXPAND_SZ", "/d",
             "C:\\keep", "/f")
        settle()
        self.before = registry()[0]
        self.installed = {}  # "user" or "machine": the command's result and seconds

    def install(self, *options, setup=None):
        """Installs per user (or as options say), unless this was done already."""
        mode = "machine" if "/ALLUSERS" in options else "user"
        if setup or mode not in self.installed:
            self.installed[mode] = timed(setup or self.packages.setup, "/S", *options)
        return self.installed[mode]

    def uninstall(self, mode):
        """Runs the uninstaller an install of that mode registered, installing first if
        nothing is installed."""
        self.install(*(("/ALLUSERS",) if mode == "machine" else ()))
        key = ("HKLM\\" if mode == "machine" else "HKCU\\") + UNINSTALL
        command = reg_query(key)["QuietUninstallString"]
        del self.installed[mode]
        # The uninstaller copies itself away and returns at once: settle() waits for it.
        return timed(re.match(r'"([^"]+)" /S$', command).group(1), "/S")

    def installed_files(self):
        """The install folder holds the zip's files, the thumbnail DLL of the system's
        width under one name, and the uninstaller."""
        dll = "zod-tvq-thumbnails-x64.dll" if self.wide else "zod-tvq-thumbnails-x86.dll"
        expected = {name: self.files[name] for name in self.files if not name.endswith(".dll")}
        expected["zod-tvq-thumbnails.dll"] = self.files[dll]
        for name, data in sorted(expected.items()):
            with open(os.path.join(self.folder, *name.split("/")), "rb") as file:
                if file.read() != data:
                    raise Failure("%s differs from the zip's" % name)
        found = {os.path.relpath(os.path.join(d, f), self.folder).replace(os.sep, "/")
                 for d, _, files in os.walk(self.folder) for f in files}
        check(found == set(expected) | {"uninstall.exe"},
              "the install folder %s holds the zip's files, the %s thumbnail DLL and the "
              "uninstaller" % (self.folder_win, "x86-64" if self.wide else "i686"))


PACKAGES = None  # set from the command line
PREFIX = None    # made by the first scenario that needs Wine


def prefix():
    global PREFIX
    if PREFIX is None:
        PREFIX = Prefix(PACKAGES)
    return PREFIX


class ZipTest(unittest.TestCase):
    """The portable zip, as a file: no Wine needed."""

    def test_contents(self):
        files, twin = PACKAGES.files, PACKAGES.twin64
        samples = sorted(os.path.basename(p) for p in glob.glob(os.path.join(ROOT, "assets",
                                                                             "*.tvq")))
        expected = {"zod-edozuv.exe", "zod-tvq.exe", "intro.bmp", "README.txt",
                    "zod-tvq-thumbnails-x64.dll"} | {"Samples/" + name for name in samples}
        if not twin:
            expected.add("zod-tvq-thumbnails-x86.dll")
        check(set(files) == expected, "the zip holds %s in one folder %s"
              % (", ".join(sorted(expected)), PACKAGES.top))
        check(is_64bit(files["zod-edozuv.exe"]) == twin,
              "its viewer is the %s" % ("64-bit twin" if twin else "32-bit program"))
        readme = files["README.txt"].decode()
        check("regsvr32 zod-tvq-thumbnails-x64.dll" in readme and "regsvr32 /u" in readme,
              "its read-me says how to register the thumbnails and how to remove them")
        with open(os.path.join(ROOT, "assets", "intro.bmp"), "rb") as file:
            check(files["intro.bmp"] == file.read(), "its intro.bmp is the program's")


class PerUserInstallTest(unittest.TestCase):
    """A silent install, for this user: /S."""

    @classmethod
    def setUpClass(cls):
        cls.prefix = prefix()
        cls.result, cls.seconds = cls.prefix.install()

    def test_returns_0(self):
        check(self.result.returncode == 0, "silent install of %s returns 0 (%.1f s with its "
              "children)" % (os.path.basename(PACKAGES.setup), self.seconds))

    def test_files(self):
        self.prefix.installed_files()

    def test_registry_keys(self):
        exe = self.prefix.folder_win + "\\zod-edozuv.exe"
        table = [
            (CLASSES + ".tvq", "(Default)", "ZODEdozuv.tvq"),
            (CLASSES + ".tvq", "PerceivedType", "image"),
            (CLASSES + ".tvq\\OpenWithProgids", "ZODEdozuv.tvq", ""),
            (CLASSES + "ZODEdozuv.tvq\\DefaultIcon", "(Default)", exe + ",0"),
            (CLASSES + "ZODEdozuv.tvq\\shell\\open\\command", "(Default)", '"%s" "%%1"' % exe),
            (CLASSES + ".bmp\\OpenWithProgids", "ZODEdozuv.bmp", ""),
            (CLASSES + "ZODEdozuv.bmp\\shell\\open\\command", "(Default)", '"%s" "%%1"' % exe),
            (CLASSES + "Applications\\zod-edozuv.exe\\SupportedTypes", ".tvq", ""),
            ("HKCU\\" + UNINSTALL, "DisplayName", "ZOD Edozuv"),
            ("HKCU\\" + UNINSTALL, "DisplayVersion", PACKAGES.version),
            ("HKCU\\" + UNINSTALL, "Publisher", "ZOD"),
            ("HKCU\\" + UNINSTALL, "DisplayIcon", exe + ",0"),
            ("HKCU\\" + UNINSTALL, "InstallLocation", self.prefix.folder_win),
            ("HKCU\\Environment", "Path", "C:\\keep"),
        ]
        for key, name, expected in table:
            values = reg_query(key) or {}
            if values.get(name) != expected:
                raise Failure("%s: %s is %r, not %r" % (key, name, values.get(name), expected))
        size = int(reg_query("HKCU\\" + UNINSTALL)["EstimatedSize"], 16)
        check(size * 1024 >= sum(len(d) for d in PACKAGES.files.values()) // 2,
              "wine reg query: the .tvq class, its open verb and icon, PerceivedType=image, "
              "Open with for .bmp, the Uninstall entry (%d KiB), PATH untouched by default"
              % size)
        bmp = (reg_query(CLASSES + ".bmp") or {}).get("(Default)", "")
        check("ZODEdozuv" not in bmp, ".bmp keeps its default program")

    def test_start_menu(self):
        link = shortcut_paths(self.prefix.shortcut)
        check(link.get("workdir") == self.prefix.folder_win,
              "the Start-menu shortcut starts in the install folder (%s)" % link.get("workdir"))

    def test_open_by_association(self):
        command = reg_query(CLASSES + "ZODEdozuv.tvq\\shell\\open\\command")
        sample = self.prefix.folder_win + "\\Samples\\gradient.tvq"
        print("note: Wine 8 reads file associations only from HKLM, so `wine start` cannot "
              "see this per-user install; the test runs the open command registered under "
              "HKCU itself")
        exe, rest = re.match(r'"([^"]+)" (.*)$', command["(Default)"]).groups()
        check(rest == '"%1"', "the open verb passes the file as one argument")
        at = shown_by(tvq_rows(unix_path(sample), 2), exe, sample)
        check(True, "opening Samples\\gradient.tvq shows it at the saved factor 2, at %s" % (at,))

    def test_converter(self):
        folder = self.prefix.folder_win
        out = "C:\\users\\%s\\gradient.bmp" % self.prefix.user
        result = wine(folder + "\\zod-tvq.exe", "convert", "--factor", "2", "-o", out,
                      folder + "\\Samples\\gradient.tvq", cwd=self.prefix.work)
        if result.returncode != 0:
            raise Failure("zod-tvq.exe convert: %s" % (result.stdout + result.stderr))
        with open(unix_path(out), "rb") as file:
            written = e2e_test.read_bmp24(file.read())
        os.remove(unix_path(out))
        check(written == tvq_rows(unix_path(folder + "\\Samples\\gradient.tvq"), 2),
              "the installed zod-tvq.exe converts a sample to the BMP the viewer would show")

    def test_thumbnails(self):
        result = wine(os.environ["ZOD_THUMBNAIL_PROBE"],
                      self.prefix.folder_win + "\\Samples\\gradient.tvq", "96")
        settle()
        check(result.returncode == 0 and result.stdout.split() == ["96", "96"],
              "the provider named under the .tvq key answers a 96 x 96 thumbnail of a 256 x 256 "
              "sample (%s, exit status %d)" % ((result.stdout + result.stderr).strip(),
                                                result.returncode))


class UpgradeTest(unittest.TestCase):
    """The next version, made by makensis from the same files, installed over this one."""

    @classmethod
    def setUpClass(cls):
        cls.prefix = prefix()
        cls.prefix.install()
        major, minor, patch = PACKAGES.version.split(".")
        cls.next = "%s.%s.%d" % (major, minor, int(patch) + 1)
        cls.readme = PACKAGES.files["README.txt"].replace(PACKAGES.version.encode(),
                                                          cls.next.encode())
        readme = os.path.join(cls.prefix.work, "README.txt")
        with open(readme, "wb") as file:
            file.write(cls.readme)
        setup = os.path.join(cls.prefix.work, "zod-edozuv-%s-setup.exe" % cls.next)
        subprocess.run(["makensis", "-V1", "-DDEFINES=" + os.path.join(PACKAGES.folder,
                                                                      "defines.nsh"),
                        "-DVERSION=" + cls.next, "-DOUTFILE=" + setup, "-DREADME=" + readme,
                        os.path.join(ROOT, "installer", "zod-edozuv.nsi")], check=True)
        cls.result, cls.seconds = cls.prefix.install("/ADDTOPATH", setup=setup)
        cls.prefix.files["README.txt"] = cls.readme

    def test_returns_0_with_one_entry(self):
        check(self.result.returncode == 0, "version %s installs over %s with /S /ADDTOPATH "
              "(%.1f s)" % (self.next, PACKAGES.version, self.seconds))
        entries = [line for line in registry()[1]
                   if "\\\\uninstall\\\\" in line.lower() and '"displayname"="zod edozuv"'
                   in line.lower()]
        check(len(entries) == 1, "one entry in Apps & features")

    def test_new_version_in_place(self):
        values = reg_query("HKCU\\" + UNINSTALL)
        check(values["DisplayVersion"] == self.next, "it names version %s" % self.next)
        self.prefix.installed_files()

    def test_path(self):
        path = reg_query("HKCU\\Environment")["Path"]
        check(path == "C:\\keep;" + self.prefix.folder_win, "/ADDTOPATH appends the install "
              "folder to the user's PATH")


class UninstallTest(unittest.TestCase):
    """The per-user install's silent uninstall."""

    @classmethod
    def setUpClass(cls):
        cls.prefix = prefix()
        cls.prefix.install()
        with open(cls.prefix.settings, "rb") as file:
            cls.settings = file.read()
        cls.result, cls.seconds = cls.prefix.uninstall("user")

    def test_returns_0(self):
        check(self.result.returncode == 0, "silent uninstall (%.1f s with its children)"
              % self.seconds)

    def test_nothing_of_ours_left(self):
        check(not os.path.exists(self.prefix.folder) and
              not os.path.exists(self.prefix.shortcut),
              "the install folder and the shortcut are gone")
        check(reg_query("HKCU\\Environment")["Path"] == "C:\\keep",
              "PATH is as it was before the install")

    def test_settings_kept(self):
        with open(self.prefix.settings, "rb") as file:
            check(file.read() == self.settings, "RARURI.ini is left as it was")


class MachineWideTest(unittest.TestCase):
    """/ALLUSERS: under Program Files, classes under HKLM, where Wine's `start` finds
    them, so this time the association is used for real."""

    @classmethod
    def setUpClass(cls):
        cls.prefix = prefix()
        cls.result, cls.seconds = cls.prefix.install("/ALLUSERS")

    def test_location(self):
        location = (reg_query("HKLM\\" + UNINSTALL) or {}).get("InstallLocation")
        check(self.result.returncode == 0 and location == self.prefix.machine_folder,
              "/S /ALLUSERS installs for everyone under %s (%.1f s)" % (location, self.seconds))
        shortcut = unix_path("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\"
                             "ZOD Edozuv.lnk")
        check(reg_query("HKLM\\Software\\Classes\\.tvq")["(Default)"] == "ZODEdozuv.tvq" and
              shortcut_paths(shortcut).get("workdir") == self.prefix.machine_folder,
              "with .tvq under HKLM and the shortcut in everyone's Start menu")

    def test_start_opens_a_sample(self):
        at = shown_by(tvq_rows(os.path.join(ROOT, "assets", "colorbars.tvq"), 2), "start",
                      self.prefix.machine_folder + "\\Samples\\colorbars.tvq")
        check(True, "`wine start Samples\\colorbars.tvq` opens it in the viewer, at %s" % (at,))



class MachineWideUninstallTest(unittest.TestCase):
    """The machine-wide install's silent uninstall."""

    def test_removes_everything(self):
        result, took = prefix().uninstall("machine")
        shortcut = unix_path("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\"
                             "ZOD Edozuv.lnk")
        check(result.returncode == 0 and reg_query("HKLM\\" + UNINSTALL) is None and
              not os.path.exists(unix_path(prefix().machine_folder)) and
              not os.path.exists(shortcut),
              "its silent uninstall removes the folder, the shortcut and the entry (%.1f s)"
              % took)


class RegistryCleanTest(unittest.TestCase):
    """After both uninstalls, the registry as it was before the first install."""

    def test_nothing_left(self):
        run = prefix()
        for mode in list(run.installed):
            run.uninstall(mode)
        keys, values = registry()
        left = sorted(line for line in keys | values if OURS.search(line))
        added = sorted(key for key in keys - run.before if "\\\\classes\\\\" in key.lower())
        if left or added:
            raise Failure("left in the registry:\n  " + "\n  ".join(left + added))
        check(True, "no key or value of ours is left in the registry, and no new class key")


def load_tests(loader, tests, pattern):
    """The scenarios in the order an administrator meets them."""
    classes = (ZipTest, PerUserInstallTest, UpgradeTest, UninstallTest, MachineWideTest,
               MachineWideUninstallTest, RegistryCleanTest)
    return unittest.TestSuite(loader.loadTestsFromTestCase(c) for c in classes)


if __name__ == "__main__":
    PACKAGES = Packages(os.path.abspath(sys.argv[1]))
    unittest.main(argv=sys.argv[:1] + sys.argv[2:], verbosity=2)
