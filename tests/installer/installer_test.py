#!/usr/bin/env python3
"""The setup program as a Windows user meets it, in a fresh Wine prefix of its
own (with a virtual desktop, for the notification area): builds the setup
program and the portable zip, installs silently, finds the files, the
Start-menu shortcut, the uninstall entry and the registered classes, starts
the installed Marrowfin and sees its window and tray icon, installs again
over the running program (an upgrade), then removes it with the uninstall
entry's quiet command and finds nothing left but the user's settings and
downloads. A Marrowfin that will not close stops both the setup program and
the uninstaller, which then change nothing. Last, the silent install for the
current user alone: nothing under HKEY_LOCAL_MACHINE or outside the user's
profile, the classes served from the user's copy, and its uninstaller leaves
the settings and the download list alone again.

usage: installer_test.py CMAKE BUILD_DIR SETUP_EXE PORTABLE_ZIP FILE_VERSION"""
import os
import collections
import getpass
import re
import shutil
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop_driver import QUIET, fail, wait_for  # noqa: E402

CMAKE, BUILD, SETUP, ZIP, FILE_VERSION = sys.argv[1:6]
BIN = os.path.join(BUILD, "bin")
PREFIX = os.path.join(BUILD, "wineprefix-installer")
WINE = "/usr/lib/wine/wine64"
# winemenubuilder would copy the Start-menu shortcut into the host's own menus.
ENV = dict(os.environ, WINEPREFIX=PREFIX, WINEDEBUG="-all",
           WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")

FILES = ["Marrowfin.exe", "Clip.exe", "Sabledrift.dll", "Main.mfm", "Help.chm"]
# Where each kind of install puts the program, its shortcut and its uninstall entry.
Kind = collections.namedtuple("Kind", "dir link key")
ENTRY = r"\Software\Microsoft\Windows\CurrentVersion\Uninstall\Marrowfin"
MENU = r"\Microsoft\Windows\Start Menu\Programs\Marrowfin.lnk"
PROFILE = "C:\\users\\" + getpass.getuser()
FOR_EVERYONE = Kind(r"C:\Program Files\Marrowfin", r"C:\ProgramData" + MENU, "HKLM" + ENTRY)
FOR_ME = Kind(PROFILE + r"\AppData\Local\Programs\Marrowfin", PROFILE + r"\AppData\Roaming" + MENU,
              "HKCU" + ENTRY)
INSTDIR, LINK, UNINSTALL_KEY = FOR_EVERYONE
USER_CLASSES = r"HKCU\Software\Classes"
SETTINGS_KEY = r"HKCU\Software\Tallowmere Marrowfin\Settings"
SETTINGS = {"URL Mon": "True", "Download Dir": r"C:\My Videos"}
# Beside them the program keeps its window's place and the grid's column
# widths, written at every end (the upgrade and the uninstaller close it).
WINDOW_STATE = {"Window Placement", "Window Maximized", "Column Widths"}
DOWNLOADED = r"C:\My Videos\downloaded.flv"
# Anything of ours in the registry names one of these.
OUR_MARKS = re.compile(r"marrowfin|sabledrift|quenbrook|4438397D-C479|E0461D71-0B0B|"
                       r"0536C4E0-EA50|5D3F0839-545D", re.IGNORECASE)


def check(condition, why):
    if not condition:
        fail(why)


def unix(path):
    """The prefix's file for a C: path."""
    return os.path.join(PREFIX, "drive_c", *path[3:].split("\\"))


def wine(*args, timeout=120):
    return subprocess.run([WINE, *args], env=ENV, timeout=timeout, **QUIET).returncode


def ask(*questions):
    """The probe's answers, question by question."""
    out = subprocess.run([WINE, os.path.join(BIN, "install_probe.exe"), *questions], env=ENV,
                         timeout=60, capture_output=True, stdin=subprocess.DEVNULL, text=True).stdout
    answers = dict(line.split("\t", 1) for line in out.splitlines() if "\t" in line)
    check(set(answers) == set(questions), "the probe answered %r" % out)
    return answers


def registry_values(key):
    """Name -> data of a key's values; None when the key is missing."""
    run = subprocess.run([WINE, "reg", "query", key], env=ENV, timeout=60, capture_output=True,
                         stdin=subprocess.DEVNULL, text=True)
    if run.returncode != 0:
        return None
    values = {}
    for line in run.stdout.splitlines():
        m = re.match(r"\s+(.+?)\s{4}(REG_\w+)\s{4}(.*)$", line)
        if m:
            values[m.group(1)] = int(m.group(3), 16) if m.group(2) == "REG_DWORD" else m.group(3)
    return values


def user_settings():
    """The settings key's values but the window state; None when the key is missing."""
    values = registry_values(SETTINGS_KEY)
    return None if values is None else {k: v for k, v in values.items() if k not in WINDOW_STATE}


def all_ended(seconds=60):
    """Every program in the prefix has ended and the registry is on disk."""
    try:
        subprocess.run(["wineserver", "-w"], env=ENV, timeout=seconds, **QUIET)
    except subprocess.TimeoutExpired:
        fail("programs of the prefix still run %d s after the uninstall" % seconds)


def fresh_prefix():
    subprocess.run(["wineserver", "-k"], env=ENV, timeout=60, **QUIET)
    shutil.rmtree(PREFIX, ignore_errors=True)
    wine("wineboot", "-i")
    wine("reg", "add", r"HKCU\Software\Wine\Explorer", "/v", "Desktop", "/d", "Default", "/f")
    wine("reg", "add", r"HKCU\Software\Wine\Explorer\Desktops", "/v", "Default",
         "/d", "1280x1024", "/f")


def marks_in_registry(hives=("system.reg", "user.reg")):
    """The lines of the prefix's registry files that name something of ours."""
    found = []
    for hive in hives:
        with open(os.path.join(PREFIX, hive), encoding="utf-8", errors="replace") as f:
            found += [line.strip() for line in f if OUR_MARKS.search(line)]
    return found


def marks_in_files():
    found = []
    for folder, dirs, files in os.walk(os.path.join(PREFIX, "drive_c")):
        found += [os.path.join(folder, n) for n in dirs + files if OUR_MARKS.search(n)]
    return found


def check_packages():
    subprocess.run([CMAKE, "--build", BUILD, "--target", "installer", "portable_zip"],
                   check=True, timeout=600, stdout=subprocess.DEVNULL)
    size = os.path.getsize(SETUP)
    print("setup program: %s, %d bytes" % (os.path.basename(SETUP), size))
    check(size < 5 * 1000 * 1000, "the setup program is %d bytes" % size)
    with zipfile.ZipFile(ZIP) as z:
        folder = os.path.splitext(os.path.basename(ZIP))[0] + "/"
        names = sorted(n for n in z.namelist() if not n.endswith("/"))
        check(names == sorted(folder + n for n in FILES + ["ReadMe.txt"]), "the zip holds %s" % names)
        for name in FILES:
            with open(os.path.join(BIN, name), "rb") as f:
                check(z.read(folder + name) == f.read(), name + " in the zip differs from the build's")
        check(b"regsvr32 Sabledrift.dll" in z.read(folder + "ReadMe.txt"),
              "the zip's read-me does not say how to register the library")


def user_class_files():
    """The files the user's own classes name for our classes and type library:
    Wine's COM reads only the machine's, so they are followed by hand here."""
    def default(key):
        return (registry_values(USER_CLASSES + "\\" + key) or {}).get("(Default)")
    return [default(r"CLSID\%s\InprocServer32" % default(progid + r"\Clsid"))
            for progid in ("Quenbrook.TrayIcon", "Quenbrook.ToolTipOnDemand")] + \
        [default(r"TypeLib\{E0461D71-0B0B-472D-B786-4CCFA7317603}\1.0\0\win64")]


def check_installed(kind=FOR_EVERYONE):
    for name in FILES:
        with open(os.path.join(BIN, name), "rb") as built, open(unix(kind.dir + "\\" + name), "rb") as f:
            check(f.read() == built.read(), "installed %s differs from the build's" % name)
    exe, dll = kind.dir + r"\Marrowfin.exe", kind.dir + r"\Sabledrift.dll"
    expected = {"shortcut:" + kind.link: exe, "version:" + exe: FILE_VERSION}
    if kind == FOR_ME:
        check(user_class_files() == [dll] * 3, "the user's classes name %s" % user_class_files())
    else:
        expected.update({"class:Quenbrook.TrayIcon": dll, "class:Quenbrook.ToolTipOnDemand": dll,
                         "typelib": dll})
    answers = ask(*expected)
    check(answers == expected, "installed, the prefix answers %s" % answers)

    entry = registry_values(kind.key)
    check(entry is not None, "no uninstall entry")
    uninstaller = kind.dir + r"\Uninstall.exe"
    kilobytes = sum(os.path.getsize(unix(kind.dir + "\\" + n)) for n in FILES + ["Uninstall.exe"]) / 1024
    check(abs(entry.pop("EstimatedSize", 0) - kilobytes) <= 7,
          "the entry's size is not the folder's %d KB" % kilobytes)
    check(entry == {"DisplayName": "Marrowfin", "DisplayVersion": FILE_VERSION,
                    "Publisher": "Tallowmere", "DisplayIcon": exe + ",0", "InstallLocation": kind.dir,
                    "UninstallString": '"%s"' % uninstaller,
                    "QuietUninstallString": '"%s" /S' % uninstaller, "NoModify": 1, "NoRepair": 1},
          "the uninstall entry is %s" % entry)


def start_marrowfin(how):
    """Starts the installed program; waits for its window, tray icon and watcher."""
    subprocess.Popen([WINE, *how], env=ENV, **QUIET)

    def running():
        a = ask("window", "watcher")
        shown = a["window"].split()
        return len(shown) == 6 and shown[4:] == ["1", "1"] and a["watcher"] == "1"
    wait_for("the installed Marrowfin's window, tray icon and clipboard watcher", running, 60)


def check_chosen_folder_and_stuck_marrowfin():
    """An install into a folder of the user's choice (/D=). There a Marrowfin
    that does not close (its process holds the program's mutex, no window
    answers) makes the setup program and the uninstaller give up silently and
    change nothing."""
    folder = r"C:\Marrowfin"
    check(wine(SETUP, "/S", "/D=" + folder) == 0, "the install into %s failed" % folder)
    check(all(os.path.exists(unix(folder + "\\" + n)) for n in FILES), "files missing in " + folder)
    # _?= runs the uninstaller in place rather than from a copy, so that its
    # end can be awaited; a running uninstaller cannot remove itself then.
    uninstall = [folder + r"\Uninstall.exe", "/S", "_?=" + folder]
    holder = subprocess.Popen([WINE, os.path.join(BIN, "install_probe.exe"), "hold"], env=ENV,
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, text=True)
    try:
        check(holder.stdout.readline().strip() == "hold\theld", "the stand-in took no mutex")
        check(wine(SETUP, "/S") == 2, "setup went on while Marrowfin ran")
        check(wine(*uninstall) == 2, "the uninstaller went on while Marrowfin ran")
    finally:
        holder.stdin.close()
        holder.wait(timeout=60)
    check(all(os.path.exists(unix(folder + "\\" + n)) for n in FILES), "files went while Marrowfin ran")
    check(registry_values(UNINSTALL_KEY) is not None, "the uninstall entry went while Marrowfin ran")
    check(wine(*uninstall) == 0, "the uninstall from %s failed" % folder)
    check(os.listdir(unix(folder)) == ["Uninstall.exe"], "left in %s: %s" % (folder, os.listdir(unix(folder))))
    shutil.rmtree(unix(folder))
    check(registry_values(UNINSTALL_KEY) is None, "the uninstall entry stayed")


def uninstall_quietly(kind=FOR_EVERYONE):
    """Runs the entry's quiet command as the system would, and waits for the
    uninstaller's copy (it runs from the temporary folder) to finish."""
    command = registry_values(kind.key)["QuietUninstallString"]
    m = re.match(r'"([^"]+)"\s*(.*)$', command)
    check(m is not None, "the quiet uninstall command is " + command)
    check(wine(m.group(1), *m.group(2).split()) == 0, "the uninstaller failed")
    wait_for("the uninstaller to finish",
             lambda: not os.path.exists(unix(kind.dir)) and registry_values(kind.key) is None, 60)


def check_nothing_left(kind=FOR_EVERYONE):
    answers = ask("window", "watcher", "class:Quenbrook.TrayIcon", "typelib", "shortcut:" + kind.link)
    check(set(answers.values()) == {"none", "0"}, "after the uninstall the prefix answers %s" % answers)
    all_ended()
    left = marks_in_registry()
    check(len(left) == 1 and left[0].startswith(r"[Software\\Tallowmere Marrowfin\\Settings]"),
          "left in the registry: %s" % left)
    # The download list the program kept is the user's, like the settings.
    kept = os.path.join("AppData", "Local", "Tallowmere Marrowfin")
    left = [f for f in marks_in_files() if kept not in f]
    check(left == [], "left on the disk: %s" % left)
    check(user_settings() == SETTINGS, "the settings are gone or changed")
    check(os.path.exists(unix(DOWNLOADED)), "the downloaded video is gone")


def main():
    check_packages()
    started = time.time()
    fresh_prefix()
    check(marks_in_files() == [], "the fresh prefix already has Marrowfin")
    try:
        check_chosen_folder_and_stuck_marrowfin()
        print("a chosen folder; a Marrowfin that does not close stops setup and uninstaller")
        check(wine(SETUP, "/S") == 0, "the silent install failed")
        check_installed()
        print("installed: files, shortcut, uninstall entry, registered classes")

        for name, data in SETTINGS.items():
            wine("reg", "add", SETTINGS_KEY, "/v", name, "/d", data, "/f")
        os.makedirs(os.path.dirname(unix(DOWNLOADED)), exist_ok=True)
        with open(unix(DOWNLOADED), "wb") as video:
            video.write(b"FLV")
        start_marrowfin(["start", LINK])
        print("started from the Start menu: window, tray icon and clipboard watcher")

        check(wine(SETUP, "/S") == 0, "the upgrade over the running program failed")
        check(ask("window", "watcher") == {"window": "none", "watcher": "0"},
              "the upgrade left the old Marrowfin running")
        check_installed()
        check(user_settings() == SETTINGS, "the upgrade changed the settings")
        print("upgraded over the running program; settings kept")

        start_marrowfin([INSTDIR + r"\Marrowfin.exe"])
        uninstall_quietly()
        check_nothing_left()
        print("uninstalled while running: nothing left but the settings and the downloads")

        check(wine(SETUP, "/S", "/CurrentUser", "/AllUsers") == 2, "setup took both kinds at once")
        check(wine(SETUP, "/S", "/CurrentUser") == 0, "the silent install for me only failed")
        check_installed(FOR_ME)
        all_ended()
        machine = marks_in_registry(["system.reg"])
        check(machine == [], "installed for me only, HKEY_LOCAL_MACHINE got %s" % machine)
        outside = [f for f in marks_in_files() if not f.startswith(unix(PROFILE) + os.sep)]
        check(outside == [], "installed for me only, yet outside my profile: %s" % outside)
        print("installed for me only: files, shortcut, entry and classes of the user alone")
        uninstall_quietly(FOR_ME)
        check_nothing_left(FOR_ME)
        print("uninstalled for me only: nothing left but the settings and the downloads")
    finally:
        subprocess.run(["wineserver", "-k"], env=ENV, timeout=60, **QUIET)
    print("install, upgrade and uninstall took %.0f s" % (time.time() - started))
    print("PASSED")


main()
