#!/usr/bin/env python3
"""The layer check on small trees: the includes and, with --loops, the message loops
it must refuse, and what it must let pass."""
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
    # angle brackets, and relative names resolved to the folder they reach
    ("resolver/Sites.cpp", "<transfer/Download.h>", True),
    ("shell/Program.cpp", "<transfer/QueueDriver.h>", False),
    ("resolver/Sites.cpp", "<windows.h>", False),
    ("common/Text.cpp", '"../controls/grid/Grid.h"', True),
    ("monitor/clip/Clip.cpp", '"../../shell/frmMain.h"', True),
    ("monitor/clip/Clip.cpp", '"../../resolver/SiteId.h"', False),
    ("controls/grid/Grid.cpp", '"../player/MoviePlayer.h"', False),
    ("traylib/com/Module.cpp", '"../../common/Handles.h"', True),
    ("traylib/com/Module.cpp", '"../Handles.h"', False),
]

CLIP_MAIN = "int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {\nwhile (GetMessageA(&m)) {}\n}"
LOOP_CASES = [
    # (file, its code, refused with --loops)
    ("transfer/RunItem.cpp", "  DoEvents();", True),
    ("transfer/Download.h", '#include "common/DoEvents.h"', True),
    ("downloadlist/DownloadList.cpp", "ThrottledYield yield;", True),
    ("resolver/YoutubeResolver.cpp", "while (PeekMessageW(&m, 0, 0, 0, PM_REMOVE)) {}", True),
    ("monitor/Monitor.cpp", "int WinMain() { GetMessage(&m, 0, 0, 0); }", True),
    ("transfer/RunItem.cpp", "// DoEvents\n/* PeekMessage\n GetMessage */", False),
    ("transfer/RunItem.cpp", 'auto a = "http://x", t = GetMessageTime(); // DoEvents', False),
    ("shell/frmMain.cpp", "DoEvents();", False),
    ("controls/socket/TcpSocket.cpp", "PeekMessageA(&m, 0, 0, 0, PM_REMOVE);", False),
    ("monitor/clip/Clip.cpp", CLIP_MAIN, False),
    ("monitor/clip/Clip.cpp", "int WinMain();\nvoid Poll() { PeekMessageA(&m); }", True),
    ("monitor/clip/Clip.cpp", CLIP_MAIN + "\nvoid Poll() { DoEvents(); }", True),
]


def refused(file, text, *flags):
    with tempfile.TemporaryDirectory() as root:
        source = pathlib.Path(root, file)
        source.parent.mkdir(parents=True)
        source.write_text(text + "\n")
        return subprocess.run([sys.executable, CHECK, *flags, root],
                              capture_output=True).returncode != 0


def include(name):
    return "#include " + (name if name[0] in "<\"" else f'"{name}"')


failures = [(f, c, e) for f, c, e in CASES if refused(f, include(c)) != e]
failures += [(f, c, e) for f, c, e in LOOP_CASES if refused(f, c, "--loops") != e]
# The loop check runs only when asked for.
failures += [(f, c, False) for f, c, _ in LOOP_CASES[:1] if refused(f, c)]
for file, code, expected in failures:
    print(f"{file} with {code!r}: expected {'refused' if expected else 'allowed'}")
sys.exit(1 if failures else 0)
