#!/usr/bin/env python3
"""Checks a shipped language file against the texts the deliverables read.

Every (section, key) that a deliverable's text table holds must be in the file,
each exactly once, with a text of at most 249 characters; in the English file
(--english) the text must be the deliverable's built-in one, or empty where the
built-in text has a line break (a profile line cannot hold one, and an empty
entry makes the deliverable use its built-in text). Keys the deliverables do
not read are refused, so a misspelt key cannot hide.

usage: check_language_file.py [--english] SOURCE_ROOT LANGUAGE_FILE
"""
import re
import sys

# Section, source file of its table; the tables are {"Key", "Built-in text"...}.
TABLES = [
    ("StillMnt", "common/language.cpp common/language.h"),
    ("PropertyPage", "proppages/page_strings.cpp"),
    ("Grabdlg", "capture/grab_texts.cpp"),
    ("CamUnin", "uninstall/uninstall_texts.cpp"),
]
KEY = re.compile(r'\{\s*"((?:Msg|Dlg|Dmp)(?:String|Caption)\d+)",\s*((?:"(?:[^"\\]|\\.)*"\s*)+|\w+)')
CONSTANT = r'constexpr char {}\[\]\s*=\s*((?:"(?:[^"\\]|\\.)*"\s*)+);'


def c_string(literals):
    parts = re.findall(r'"((?:[^"\\]|\\.)*)"', literals)
    return "".join(parts).encode().decode("unicode_escape")


def expected_texts(root):
    expected = {}
    for section, path in TABLES:
        source = ""
        for name in path.split():
            with open(f"{root}/{name}", encoding="utf-8") as f:
                source += f.read()
        keys = {}
        for key, text in KEY.findall(source):
            if not text.startswith('"'):
                m = re.search(CONSTANT.format(re.escape(text)), source)
                if not m:
                    sys.exit(f"{path}: constant {text} not found")
                text = m.group(1)
            keys[key] = c_string(text)
        if not keys:
            sys.exit(f"{path}: no text table found")
        expected[section] = keys
    return expected


def read_profile(path):
    sections, problems, section = {}, [], None
    with open(path, "rb") as f:
        data = f.read()
    for number, raw in enumerate(data.split(b"\r\n"), 1):
        line = raw.decode("cp1252")
        if not line or line.startswith(";"):
            continue
        if "\n" in line or "\r" in line:
            problems.append(f"line {number}: bare line break (lines end with CR LF)")
        m = re.fullmatch(r"\[([^\]]+)\]", line)
        if m:
            section = m.group(1)
            if section in sections:
                problems.append(f"line {number}: section [{section}] twice")
            sections.setdefault(section, {})
            continue
        key, sep, text = line.partition("=")
        if not sep or section is None:
            problems.append(f"line {number}: not a key=text line in a section: {line!r}")
        elif key in sections[section]:
            problems.append(f"line {number}: [{section}] {key} twice")
        else:
            sections[section][key] = text
    if not data.endswith(b"\r\n"):
        problems.append("the last line has no CR LF")
    return sections, problems


def main(argv):
    english = "--english" in argv
    args = [a for a in argv if a != "--english"]
    root, path = args
    expected = expected_texts(root)
    sections, problems = read_profile(path)
    for section, keys in expected.items():
        got = sections.get(section)
        if got is None:
            problems.append(f"[{section}] missing")
            continue
        for key, builtin in keys.items():
            if key not in got:
                problems.append(f"[{section}] {key} missing")
                continue
            text = got[key]
            if len(text) > 249:
                problems.append(f"[{section}] {key}: {len(text)} characters, at most 249 are read")
            if english:
                want = "" if "\n" in builtin else builtin
                if text != want:
                    problems.append(f"[{section}] {key}: got {text!r}, expected {want!r}")
        for key in got.keys() - keys.keys():
            problems.append(f"[{section}] {key}: no deliverable reads it")
    for section in sections.keys() - expected.keys():
        problems.append(f"[{section}]: no deliverable reads it")
    for p in problems:
        print(f"{path}: {p}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
