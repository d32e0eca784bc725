#!/usr/bin/env python3
"""The snapshot comparison explains only what its rules name: what the setup
program leaves behind, or another program's file, must stay unexplained."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import snapshot  # noqa: E402

CASES = [
    # item, silent run, explained
    ("reg:hklm\\software\\ridEva\\z9100|deviceid", False, False),
    ("reg:hklm\\software\\ridEva\\z9100", False, False),
    ("reg:hklm\\software\\microsoft\\windows\\currentversion\\run|z9100mnt", False, False),
    ("file:windows/rideva/z9100/z9100mnt.exe", False, False),
    ("file:windows/rideva/z9100/", False, False),
    ("file:windows/twain_32/z9100/z9100cam.ds", False, False),
    ("file:windows/system32/drivers/z9other.dat", False, False),
    ("file:windows/inf/oem1.inf", False, False),
    ("reg:hklm\\system\\currentcontrolset\\enum\\root\\vid_1234&pid_5678\\0000", False, False),
    ("reg:hklm\\system\\currentcontrolset\\control\\session manager|bootexecute", False, False),
    ("reg:hklm\\software\\microsoft\\windows\\currentversion\\uninstall\\{fc9b811e-39bc-4813-9e29-b83ccf700010}|displayname", False, False),
    ("file:windows/system/z9100rmv.dll", False, False),
    ("reg:hklm\\software\\microsoft\\windows\\currentversion\\uninstall\\{fc9b811e-39bc-4813-9e29-b83ccf700010}|displayname", True, True),
    ("file:windows/system/z9100rmv.dll", True, True),
    ("reg:hklm\\system\\currentcontrolset\\control\\session manager|pendingfilerenameoperations", False, True),
    ("reg:hklm\\software\\ridEva", False, False),
    ("file:windows/rideva/", False, False),
    ("reg:hklm\\software\\microsoft\\windows\\currentversion\\app paths\\youcam|", False, False),
    ("reg:hkcr\\clsid\\{7ebbb1af-c455-4f97-b5e7-9d4e5b983000}\\inprocserver32|", True, False),
    ("reg:hklm\\software\\classes\\clsid\\{7ebbb1af-c455-4f97-b5e7-9d4e5b983003}", False, False),
    ("reg:hkcr\\vidset.proppage1.1\\clsid|", False, False),
    ("reg:hkcr\\typelib\\{8c38bfcc-8d4d-4a5a-885b-270a9b4b6003}\\1.0\\0\\win64|", False, False),
    ("reg:hklm\\system\\currentcontrolset\\enum\\root\\vid_fff1&pid_a14c&mi_00\\0000|driver", False, True),
    ("reg:hkcu\\console|facename", False, True),
]


def main():
    failures = 0
    for item, silent, want in CASES:
        rules = snapshot.ALLOWED + (snapshot.ALLOWED_SILENT if silent else [])
        got = snapshot.explained(item, rules) is not None
        if got != want:
            failures += 1
            print(f"{item} (silent={silent}): explained {got}, expected {want}")
    print(f"{len(CASES) - failures}/{len(CASES)} cases as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
