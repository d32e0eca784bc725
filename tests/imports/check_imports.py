#!/usr/bin/env python3
"""Checks that Windows binaries start on every system the product is made for.

For each binary: every imported function must be on the allow-list of its DLL
(allowed-imports.txt), the PE header must ask for no newer system than 4.0
(operating system and subsystem version), and the exported names must be
exactly the expected ones. Reads the binaries with mingw's objdump.

usage: check_imports.py [--expect FINDING ...] OBJDUMP ALLOW_LIST BINARY=EXPORT,EXPORT... [...]
       (BINARY= with nothing after it: no exports at all)
Exit status 0 when every binary passes; every finding is printed. With
--expect (the check's own test) the status is 0 only when every FINDING text
is among the findings.
"""
import re
import subprocess
import sys


def read_allow_list(path):
    allowed = {}
    dll = None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.split("#", 1)[0].strip()
            if not line:
                continue
            m = re.fullmatch(r"\[([^\]]+)\]", line)
            if m:
                dll = m.group(1).lower()
                allowed.setdefault(dll, set())
            elif dll is None:
                sys.exit(f"{path}:{number}: function before the first [DLL] line")
            else:
                allowed[dll].add(line)
    return allowed


def read_pe(objdump, binary):
    out = subprocess.run([objdump, "-p", binary], check=True, capture_output=True, text=True).stdout
    imports, exports, header = [], [], {}
    dll = None
    section = None
    for line in out.splitlines():
        m = re.match(r"(Major|Minor)(OSystem|Subsystem)Version\s+(\d+)", line)
        if m:
            header[m.group(1) + m.group(2)] = int(m.group(3))
            continue
        if line.startswith("The Import Tables"):
            section = "imports"
        elif line.startswith("[Ordinal/Name Pointer] Table"):
            section = "exports"
            continue
        elif line.startswith("The Function Table") or line.startswith("PE File Base Relocations"):
            section = None
        if section == "imports":
            m = re.match(r"\s*DLL Name: (\S+)", line)
            if m:
                dll = m.group(1).lower()
                continue
            m = re.match(r"\s+[0-9a-f]+\s+(\d+)\s+(\S+)", line)
            if dll and m:
                imports.append((dll, m.group(2)))
            elif dll and re.match(r"\s+[0-9a-f]+\s+<none>\s+([0-9a-f]+)", line):
                imports.append((dll, "ordinal " + line.split()[-1]))
            if not line.strip():
                dll = None
        elif section == "exports":
            m = re.match(r"\s*\[\s*\d+\]\s+(\S+)", line)
            if m:
                exports.append(m.group(1))
            elif not line.strip():
                section = None
    return imports, exports, header


def check(objdump, allowed, binary, expected_exports):
    problems = []
    imports, exports, header = read_pe(objdump, binary)
    if not imports:
        problems.append("no import table found")
    for dll, name in imports:
        if dll not in allowed:
            problems.append(f"imports from {dll}, which is not on the allow-list ({name})")
        elif name not in allowed[dll]:
            problems.append(f"{dll}!{name} is not allowed")
    for field in ("MajorOSystem", "MajorSubsystem"):
        minor = field.replace("Major", "Minor")
        version = (header.get(field), header.get(minor))
        if None in version:
            problems.append(f"no {field}Version in the header")
        elif version > (4, 0):
            problems.append(f"{field}Version {version[0]}.{version[1]} is newer than 4.0")
    if sorted(exports) != sorted(expected_exports):
        problems.append(f"exports {sorted(exports)}, expected {sorted(expected_exports)}")
    for name in exports:
        if "@" in name or name.startswith("_"):
            problems.append(f"export {name} is decorated")
    return problems


def main(argv):
    args = argv[1:]
    expected_findings = []
    while len(args) >= 2 and args[0] == "--expect":
        expected_findings.append(args[1])
        args = args[2:]
    if len(args) < 3:
        sys.exit(__doc__)
    objdump, allow_path = args[0], args[1]
    allowed = read_allow_list(allow_path)
    failed = False
    findings = []
    for spec in args[2:]:
        binary, _, names = spec.partition("=")
        expected = [n for n in names.split(",") if n]
        problems = check(objdump, allowed, binary, expected)
        short = binary.rsplit("/", 1)[-1]
        findings += problems
        if problems:
            failed = True
            for p in problems:
                print(f"FAIL {short}: {p}")
        else:
            print(f"ok   {short}: imports allowed, header 4.0, exports {expected or 'none'}")
    if expected_findings:
        missed = [f for f in expected_findings if f not in findings]
        for f in missed:
            print(f"MISSED finding: {f}")
        return 1 if missed else 0
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
