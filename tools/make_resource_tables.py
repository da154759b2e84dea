#!/usr/bin/env python3
"""Turns the resource script into the Linux program's tables at build time.

usage: make_resource_tables.py SCRIPT.rc OUTPUT.cpp [INCLUDE_FOLDER...]

windres compiles the same script for Windows, so the menu, icon and cursor are written
once. This reads the statements the script uses: MENU (POPUP, MENUITEM, SEPARATOR and
their flags), ICON and CURSOR; other blocks (VERSIONINFO...) are stepped over. Ids may be
numbers or names that a header the script #includes defines (looked for beside the
script, then in the folders given); other preprocessor lines are skipped. Anything else stops the build with the line it is on.
"""

import os
import re
import sys

TOKEN = re.compile(r'\s+|//[^\n]*|/\*.*?\*/|"(?:[^"\\\n]|""|\\.)*"|[A-Za-z_][A-Za-z0-9_]*|'
                   r'0[xX][0-9a-fA-F]+|\d+|[,{}]|.', re.S)
FLAGS = {"GRAYED", "INACTIVE", "CHECKED", "MENUBREAK", "MENUBARBREAK", "HELP"}
MAX_DEPTH = 8


class ScriptError(Exception):
    pass


def read_defines(path, defines):
    with open(path, encoding="utf-8") as f:
        for line in f:
            m = re.match(r'\s*#\s*define\s+([A-Za-z_]\w*)\s+(\w+)\s*(?:/[/*].*)?$', line)
            if m:
                defines[m.group(1)] = m.group(2)


def find_header(name, folders):
    for folder in folders:
        if os.path.isfile(os.path.join(folder, name)):
            return os.path.join(folder, name)
    raise ScriptError(f"cannot find the header {name}")


def tokens(path, include):
    """(line, text) pairs; preprocessor lines are skipped, their #includes read for ids."""
    folders = [os.path.dirname(path)] + include
    defines = {}
    lines = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
            if m:
                read_defines(find_header(m.group(1), folders), defines)
            lines.append("" if line.lstrip().startswith("#") else line)
    text = "".join(lines)
    out = []
    line = 1
    for m in TOKEN.finditer(text):
        t = m.group(0)
        if not (t.isspace() or t.startswith("//") or t.startswith("/*")):
            if t == '"' or (len(t) == 1 and t not in ",{}" and not t.isalnum()):
                raise ScriptError(f"line {line}: unexpected {t!r}")
            out.append((line, t))
        line += t.count("\n")
    return out, defines


class Reader:
    def __init__(self, path, include):
        self.tokens, self.defines = tokens(path, include)
        self.at = 0

    def peek(self):
        return self.tokens[self.at][1] if self.at < len(self.tokens) else None

    def line(self):
        return self.tokens[min(self.at, len(self.tokens) - 1)][0] if self.tokens else 1

    def next(self, what):
        if self.at >= len(self.tokens):
            raise ScriptError(f"line {self.line()}: the script ends where {what} should be")
        self.at += 1
        return self.tokens[self.at - 1][1]

    def fail(self, what):
        raise ScriptError(f"line {self.line()}: {what}")

    def string(self):
        t = self.next("a string")
        if not t.startswith('"'):
            self.fail(f"a string expected, not {t}")
        body = t[1:-1].replace('""', '"')
        return re.sub(r'\\(.)', lambda m: {"t": "\t", "n": "\n"}.get(m.group(1), m.group(1)),
                      body)

    def number(self):
        t = self.next("an id")
        t = self.defines.get(t, t)
        try:
            value = int(t, 0)
        except ValueError:
            self.fail(f"{t} is not a number or a defined id")
        if not 0 <= value <= 0xFFFF:
            self.fail(f"id {value} does not fit 16 bits")
        return value

    def opens(self):
        t = self.next("BEGIN")
        if t not in ("BEGIN", "{"):
            self.fail(f"BEGIN expected, not {t}")

    def closes(self):
        if self.peek() in ("END", "}"):
            self.at += 1
            return True
        return False

    def flags(self):
        grayed = False
        while self.peek() == ",":
            self.at += 1
            flag = self.next("a flag")
            if flag not in FLAGS:
                self.fail(f"unknown flag {flag}")
            grayed = grayed or flag in ("GRAYED", "INACTIVE")
        return grayed

    def items(self, depth, out):
        if depth > MAX_DEPTH:
            self.fail("menus nested too deep")
        self.opens()
        while not self.closes():
            kind = self.next("MENUITEM or POPUP")
            if kind == "MENUITEM" and self.peek() == "SEPARATOR":
                self.at += 1
                out.append((depth, "", 0, False))
            elif kind == "MENUITEM":
                text = self.string()
                if self.next("a comma") != ",":
                    self.fail("a comma expected after the item's text")
                out.append((depth, text, self.number(), self.flags()))
            elif kind == "POPUP":
                out.append((depth, self.string(), 0, self.flags()))
                self.items(depth + 1, out)
            else:
                self.fail(f"MENUITEM or POPUP expected, not {kind}")

    def skip_block(self):
        while self.peek() not in ("BEGIN", "{"):
            self.next("BEGIN")
        level = 0
        while True:
            t = self.next("END")
            level += t in ("BEGIN", "{")
            level -= t in ("END", "}")
            if level == 0:
                return


def read_script(path, include):
    r = Reader(path, include)
    menus, icons, cursors = [], [], []
    while r.peek() is not None:
        name = r.next("a name")
        if re.fullmatch(r'\d+|0[xX][0-9a-fA-F]+', name):
            name = f"#{int(name, 0)}"
        kind = r.next("a resource type")
        if kind == "MENU":
            while r.peek() not in ("BEGIN", "{"):  # memory options such as DISCARDABLE
                r.next("BEGIN")
            entries = []
            r.items(0, entries)
            menus.append((name, entries))
        elif kind in ("ICON", "CURSOR"):
            (icons if kind == "ICON" else cursors).append((name, r.string()))
        else:
            r.skip_block()
    return menus, icons, cursors


def cpp_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"').replace("\t", "\\t").replace(
        "\n", "\\n") + '"'


def write_tables(script, menus, icons, cursors):
    out = [f"// Made by tools/make_resource_tables.py from {os.path.basename(script)} at build time;",
           "// not to be edited.",
           '#include "platform/linux/resource_tables.h"', "", "namespace zod {",
           "namespace {", ""]
    for index, (name, entries) in enumerate(menus):
        out.append(f"const MenuEntry kMenu{index}[] = {{")
        for depth, text, ident, grayed in entries:
            out.append(f"    {{{depth}, {cpp_string(text)}, {ident}, {str(grayed).lower()}}},")
        out.append("    {-1, nullptr, 0, false},\n};\n")
    out.append("} // namespace\n")
    out.append("const MenuTable kMenuTables[] = {")
    for index, (name, _) in enumerate(menus):
        out.append(f"    {{{cpp_string(name)}, kMenu{index}}},")
    out.append("    {nullptr, nullptr},\n};\n")
    for table, files in (("kIconFiles", icons), ("kCursorFiles", cursors)):
        out.append(f"const ResourceFileEntry {table}[] = {{")
        for name, file in files:
            out.append(f"    {{{cpp_string(name)}, {cpp_string(file)}}},")
        out.append("    {nullptr, nullptr},\n};\n")
    out.append("} // namespace zod")
    return "\n".join(out) + "\n"


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    script, output, include = sys.argv[1], sys.argv[2], sys.argv[3:]
    try:
        tables = write_tables(script, *read_script(script, include))
    except (ScriptError, OSError) as error:
        sys.exit(f"{script}: {error}")
    with open(output, "w", encoding="utf-8") as f:
        f.write(tables)


if __name__ == "__main__":
    main()
