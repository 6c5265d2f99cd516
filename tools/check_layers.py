#!/usr/bin/env python3
"""Fails when a folder of the program includes a folder above it.

The layers, top to bottom. A folder may include its own files and those of
folders of a lower rank, never one of the same or a higher rank. Sabledrift
(traylib/) stands apart: it includes nothing of the program but base/, the
header-only owners and conversions both binaries share, and the program
reaches it only through its type library's generated header.
  usage: tools/check_layers.py [source root]
"""
import pathlib
import re
import sys

LAYERS = {
    "shell": 5,         # the window, the tray, start-up: creates and wires the rest
    "transfer": 4,      # the queue driver and the download control
    "monitor": 4,       # the clipboard monitor
    "downloadlist": 3,  # the Download list and its grid
    "resolver": 2,      # site recognition, page parsers, the YouTube redirect
    "controls": 1,      # our own components: grid, table, movie player, socket
    "media": 1,         # streams: playlists, manifests, segments joined into one movie
    "common": 0,        # small shared pieces
    "base": -1,         # header-only, below both binaries: handle and COM owners, ANSI text
}
APART = "traylib"
SHARED = "base"  # the one folder Sabledrift includes

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def folder_of(path):
    first = pathlib.PurePosixPath(path).parts[0]
    return first if first in LAYERS or first == APART else None


def violations(root):
    for source in sorted(root.rglob("*")):
        if source.suffix not in {".h", ".hpp", ".c", ".cpp", ".rc", ".idl"}:
            continue
        relative = source.relative_to(root).as_posix()
        owner = folder_of(relative)
        if owner is None:
            continue  # tests, benchmarks, tools and generated files may include anything
        for included in INCLUDE.findall(source.read_text(errors="replace")):
            target = folder_of(included)
            if target is None or target == owner or (owner == APART and target == SHARED):
                continue
            if owner == APART or target == APART:
                yield f"{relative}: includes {included}, but Sabledrift stays apart"
            elif LAYERS[target] >= LAYERS[owner]:
                yield f"{relative}: {owner} includes {included} ({target} is not below it)"


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
    found = list(violations(root.resolve()))
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) reach a layer that is not below their own (see tools/check_layers.py)")
        return 1
    print("layers: every folder includes only folders below it")
    return 0


if __name__ == "__main__":
    sys.exit(main())
