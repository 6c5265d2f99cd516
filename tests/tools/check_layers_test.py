#!/usr/bin/env python3
"""The include check on small trees: what it must refuse and what it must let pass."""
import pathlib
import subprocess
import sys
import tempfile

CHECK = pathlib.Path(__file__).resolve().parents[2] / "tools" / "check_layers.py"

CASES = [
    # (file, its include, refused)
    ("transfer/QueueDriver.cpp", "shell/frmMain.h", True),
    ("downloadlist/List.cpp", "transfer/QueueDriver.h", True),
    ("transfer/QueueDriver.cpp", "monitor/ClipboardMonitor.h", True),  # same rank
    ("common/Text.cpp", "controls/grid/Grid.h", True),
    ("traylib/com/Module.cpp", "common/Handles.h", True),
    ("shell/SysTray.h", "traylib/com/ComPtr.h", True),
    ("base/Handles.h", "common/Handles.h", True),
    ("base/ComPtr.h", "traylib/RefCounted.h", True),
    ("traylib/com/ComPtr.h", "base/ComPtr.h", False),
    ("common/Text.h", "base/AnsiText.h", False),
    ("shell/Program.h", "transfer/QueueDriver.h", False),
    ("transfer/QueueDriver.h", "resolver/LinkResolver.h", False),
    ("resolver/Sites.cpp", "resolver/SiteId.h", False),
    ("shell/SysTray.cpp", "Quenbrook.h", False),
    ("tests/shell/FrontEndTest.cpp", "shell/frmMain.h", False),
]


def refused(file, include):
    with tempfile.TemporaryDirectory() as root:
        source = pathlib.Path(root, file)
        source.parent.mkdir(parents=True)
        source.write_text(f'#include "{include}"\n')
        return subprocess.run([sys.executable, CHECK, root], capture_output=True).returncode != 0


failures = [case for case in CASES if refused(case[0], case[1]) != case[2]]
for file, include, expected in failures:
    print(f"{file} including {include}: expected {'refused' if expected else 'allowed'}")
sys.exit(1 if failures else 0)
