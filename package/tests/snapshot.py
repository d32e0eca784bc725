#!/usr/bin/env python3
"""Snapshots of a Wine prefix (registry and file tree) and their comparison.

  snapshot.py take PREFIX OUT.json        (after wineserver -w: the registry files are written)
  snapshot.py compare BEFORE.json AFTER.json [--silent]

compare prints every difference that no rule below explains and exits 1 when
there is one. The rules are the whole list of what may differ after an
install and an uninstall, each with its reason.
"""
import json
import os
import re
import sys

# (pattern on "reg:KEY" / "reg:KEY|VALUE" / "file:PATH", reason). Keys are
# lower case with backslashes; files are relative to drive_c, lower case.
ALLOWED = [
    # Wine itself.
    (r"reg:.*\\software\\wine\\.*", "Wine's own settings and caches"),
    (r"reg:hkcu\\software\\microsoft\\windows\\currentversion\\explorer\\.*", "the shell's per-user state"),
    (r"reg:hklm\\software\\microsoft\\windows nt\\currentversion\\perflib.*", "performance counters Wine updates"),
    (r"reg:hklm\\system\\currentcontrolset\\control\\session manager\\environment.*", "Wine refreshes the environment"),
    (r"reg:.*\\volatile environment.*", "per-session values"),
    (r"reg:hklm\\hardware\\.*", "rebuilt at every Wine start"),
    (r"reg:hklm\\software\\microsoft\\windows\\currentversion\\runonce.*", "Wine's start-up bookkeeping"),
    (r"reg:hklm\\system\\currentcontrolset\\services\\eventlog.*", "Wine's event log bookkeeping"),
    (r"reg:hkcu\\console.*", "Wine's console settings, written when the clean-up batch runs in a console"),
    (r"reg:hklm\\system\\currentcontrolset\\control\\class\\\{4d36e968-e325-11ce-bfc1-08002be10318\}\\.*", "the display adapter Wine sets up at start"),
    (r"file:windows/temp/.*", "temporary files"),
    (r"file:users/[^/]+/temp/.*", "temporary files"),
    (r"file:users/[^/]+/appdata/local/temp/.*", "temporary files"),
    (r"file:windows/logs/.*", "set-up logs"),
    (r"file:windows/setupapi\.(dev|app)\.log", "setupapi's log"),
    (r"file:windows/inf/setupapi\..*\.log", "setupapi's log"),
    (r"file:bench/.*\.log", "the bench's own logs"),
    (r"file:bench/rt/.*", "the round trip's own pictures and logs"),
    # The camera device: the bench installed it with its own package; the setup
    # program gave it this system's package; the uninstaller removes the device
    # node (and with it its enum and class keys) and the package by design.
    (r"reg:hklm\\system\\currentcontrolset\\enum\\root\\vid_fff1&pid_a14c&mi_00.*", "the camera's device node, removed by the uninstaller"),
    (r"reg:hklm\\system\\currentcontrolset\\control\\class\\\{6bdd1fc6-810f-11d0-bec7-08002be2092f\}\\0000.*", "the camera's driver key, removed with its device"),
    (r"reg:hklm\\system\\currentcontrolset\\control\\deviceclasses\\.*vid_fff1&pid_a14c&mi_00.*", "the camera's interface, removed with its device"),
    (r"reg:hklm\\system\\currentcontrolset\\control\\deviceclasses\\\{65e8773d-8f56-11d0-a3b9-00a0c9223196\}", "the capture interface class key, left without interfaces when the camera's went with its device"),
    (r"reg:hklm\\system\\currentcontrolset\\services\\z9100knt.*", "the camera's driver service: its description now comes from this system's package"),
    (r"file:windows/system32/drivers/z9100knt\.sys", "the camera's kernel driver, deleted by the uninstaller before Vista"),
    (r"file:windows/system/z9100remov\.exe", "the bench's stand-in of the elevated removal program, deleted by the clean-up batch by design"),
    (r"file:windows/inf/oem0\.(inf|pnf)", "the bench's camera package: Wine re-copies it while the device changes drivers"),
    (r"reg:hklm\\system\\currentcontrolset\\control\\session manager\|pendingfilerenameoperations", "the kernel driver's deletion waits for the next start: the driver stays loaded after its device is removed (PendingFileRenameOperations, as on Windows)"),
    (r"file:windows/inf/z9100oem\.pnf", "the precompiled form Wine keeps of the removed driver package (Wine deletes only the .inf)"),
    (r"file:windows/twain_32/?", "the TWAIN folder (missing in a win64 prefix) made for the capture dialog: the uninstaller removes only its Z9100 subfolder"),
]
# After "/Silent": what the caller of a silent uninstall removes itself.
ALLOWED_SILENT = [
    (r"reg:hklm\\software\\microsoft\\windows\\currentversion\\uninstall\\\{fc9b811e-39bc-4813-9e29-b83ccf700010\}.*", "a silent run keeps the Add/Remove Programs entry"),
    (r"file:windows/system/z9100rmv\.dll", "a silent run keeps the uninstaller"),
    (r"file:windows/system/z9100lap\.exe", "a silent run keeps the camera application"),
    (r"file:users/[^/]+/(start menu|appdata/roaming/microsoft/windows/start menu)/programs/y4200lap\.lnk", "a silent run keeps the shortcut"),
]

HEADER = re.compile(r"^\[(.*)\](?: \d+)?$")


def read_reg(path, root):
    entries = {}
    key = None
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    text = text.replace("\\\n  ", "")
    for line in text.splitlines():
        if line.startswith(("#", ";")) or not line.strip():
            continue
        m = HEADER.match(line)
        if m:
            key = root + "\\" + m.group(1).replace("\\\\", "\\").lower()
            entries[f"reg:{key}"] = ""
            continue
        if key is None:
            continue
        name, sep, value = line.partition("=")
        if not sep:
            continue
        entries[f"reg:{key}|{name.strip(chr(34)).lower()}"] = value
    return entries


def take(prefix, out):
    entries = {}
    entries.update(read_reg(os.path.join(prefix, "system.reg"), "hklm"))
    entries.update(read_reg(os.path.join(prefix, "user.reg"), "hkcu"))
    # HKCR is HKLM\Software\Classes.
    for k in list(entries):
        if k.startswith("reg:hklm\\software\\classes\\"):
            entries["reg:hkcr\\" + k[len("reg:hklm\\software\\classes\\"):]] = entries.pop(k)
    drive = os.path.join(prefix, "drive_c")
    for base, dirs, files in os.walk(drive):
        rel = os.path.relpath(base, drive).replace(os.sep, "/").lower()
        if rel != ".":
            entries[f"file:{rel}/"] = ""
        for name in files:
            full = os.path.join(base, name)
            if os.path.islink(full):
                continue
            path = (name if rel == "." else f"{rel}/{name}").lower()
            entries[f"file:{path}"] = str(os.path.getsize(full))
    with open(out, "w", encoding="utf-8") as f:
        json.dump(entries, f)


def explained(item, rules):
    """The reason of the first rule that matches the whole item, or its key."""
    key = item.split("|", 1)[0]
    for pattern, reason in rules:
        if re.fullmatch(pattern, item, re.IGNORECASE) or re.fullmatch(pattern, key, re.IGNORECASE):
            return reason
    return None


def compare(before_path, after_path, silent):
    with open(before_path, encoding="utf-8") as f:
        before = json.load(f)
    with open(after_path, encoding="utf-8") as f:
        after = json.load(f)
    rules = ALLOWED + (ALLOWED_SILENT if silent else [])
    unexplained = []
    reasons = {}
    for item in sorted(before.keys() | after.keys()):
        if before.get(item) == after.get(item):
            continue
        if item.startswith("reg:") and "|" not in item:
            # A key without values is written only when it has no subkeys.
            side = after if item not in after else before
            if item in before and item in after or any(k.startswith(item + "\\") for k in side):
                continue
        what = "removed" if item not in after else "added" if item not in before else "changed"
        reason = explained(item, rules)
        if reason is None:
            unexplained.append(f"{what}: {item}")
        else:
            reasons[reason] = reasons.get(reason, 0) + 1
    for reason, count in sorted(reasons.items()):
        print(f"allowed ({count}): {reason}")
    for line in unexplained:
        print(f"UNEXPLAINED {line}")
    return 1 if unexplained else 0


def main(argv):
    if len(argv) == 3 and argv[0] == "take":
        take(argv[1], argv[2])
        return 0
    if len(argv) in (3, 4) and argv[0] == "compare":
        return compare(argv[1], argv[2], "--silent" in argv[3:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
