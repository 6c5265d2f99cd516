#!/usr/bin/env python3
"""Fails when a folder of the program includes a folder above it.

The layers, top to bottom. A folder may include its own files and those of
folders of a lower rank, never one of the same or a higher rank. Sabledrift
(traylib/) stands apart: it includes nothing of the program but base/, the
header-only owners and conversions both binaries share, and the program
reaches it only through its type library's generated header. The build links
each layer with only the layers below it; this check is for what the linker
cannot see, the headers included for their declarations alone.

With --loops it also fails on a message loop of our own below the window's
layer: the run is driven by messages to the window's loop, so nothing under
the folders in LOOP_FREE pumps messages itself.
  usage: tools/check_layers.py [--loops] [source root]
"""
import argparse
import pathlib
import posixpath
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
SOURCES = {".h", ".hpp", ".c", ".cpp"}

INCLUDE = re.compile(r'^\s*#\s*include\s+(?:"([^"]+)"|<([^>]+)>)', re.M)

LOOP_FREE = ("transfer", "resolver", "downloadlist", "monitor")
LOOP_WORDS = re.compile(r"\b(?:DoEvents|ThrottledYield|PeekMessage[AW]?|GetMessage[AW]?)\b")
# Clip.exe is a program of its own: the message loop of its WinMain is its only one.
OWN_PROGRAMS = ("monitor/clip/",)
WINMAIN = re.compile(r"\bw?WinMain\s*\(")
# Comments, and the literals that may hold what looks like one ("http://").
COMMENT_OR_LITERAL = re.compile(
    r'//[^\n]*|/\*.*?\*/|R"([^(\s]*)\(.*?\)\1"|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.S)


def folder_of(path):
    first = pathlib.PurePosixPath(path).parts[0]
    return first if first in LAYERS or first == APART else None


def included_path(root, source, quoted, included):
    """The file an include reaches, relative to the root, as the compiler finds it:
    a quoted name first beside the including file, then from the root, which is
    the one include folder; a name in angle brackets from the root only."""
    if quoted:
        beside = posixpath.normpath(posixpath.join(posixpath.dirname(source), included))
        if included.startswith(".") or (root / beside).is_file():
            return beside
    return posixpath.normpath(included)


def include_violations(root, relative, text):
    owner = folder_of(relative)
    for quoted, angled in INCLUDE.findall(text):
        included = included_path(root, relative, bool(quoted), quoted or angled)
        target = folder_of(included)
        if target is None or target == owner or (owner == APART and target == SHARED):
            continue
        if owner == APART or target == APART:
            yield f"{relative}: includes {included}, but Sabledrift stays apart"
        elif LAYERS[target] >= LAYERS[owner]:
            yield f"{relative}: {owner} includes {included} ({target} is not below it)"


def without_comments(text):
    """The text with its comments blanked, and a copy with its literals blanked
    too, at the same offsets."""
    code, bare = [], []
    last = 0
    for match in COMMENT_OR_LITERAL.finditer(text):
        kept = text[last:match.start()]
        blank = re.sub(r"[^\n]", " ", match.group())
        is_comment = match.group().startswith("/")
        code += [kept, blank if is_comment else match.group()]
        bare += [kept, blank]
        last = match.end()
    code.append(text[last:])
    bare.append(text[last:])
    return "".join(code), "".join(bare)


def winmain_bodies(bare):
    """The spans of the bodies of WinMain in a text without comments or literals."""
    for match in WINMAIN.finditer(bare):
        start = re.compile(r"[{;]").search(bare, match.end())
        if start is None or start.group() == ";":
            continue  # a declaration
        depth = 0
        for end in range(start.start(), len(bare)):
            depth += {"{": 1, "}": -1}.get(bare[end], 0)
            if depth == 0:
                yield start.start(), end
                break


def loop_violations(relative, text):
    if folder_of(relative) not in LOOP_FREE:
        return
    code, bare = without_comments(text)
    spared = list(winmain_bodies(bare)) if relative.startswith(OWN_PROGRAMS) else []
    for match in LOOP_WORDS.finditer(code):
        if any(start <= match.start() <= end for start, end in spared):
            continue
        line = code.count("\n", 0, match.start()) + 1
        yield f"{relative}:{line}: {match.group()}: a message loop of our own below shell/"


def violations(root, loops):
    layers, pumps = [], []
    for source in sorted(root.rglob("*")):
        if source.suffix not in SOURCES | {".rc", ".idl"}:
            continue
        relative = source.relative_to(root).as_posix()
        if folder_of(relative) is None:
            continue  # tests, benchmarks, tools and generated files may include anything
        text = source.read_text(errors="replace")
        layers += include_violations(root, relative, text)
        if loops and source.suffix in SOURCES:
            pumps += loop_violations(relative, text)
    return layers, pumps


def main():
    parser = argparse.ArgumentParser(description="The layers of the program's folders.")
    parser.add_argument("--loops", action="store_true",
                        help=f"also refuse a message loop of our own in {', '.join(LOOP_FREE)}")
    parser.add_argument("root", nargs="?", default=pathlib.Path(__file__).parent.parent)
    args = parser.parse_args()
    layers, pumps = violations(pathlib.Path(args.root).resolve(), args.loops)
    for line in layers + pumps:
        print(line)
    if layers:
        print(f"{len(layers)} include(s) reach a layer that is not below their own "
              "(see tools/check_layers.py)")
    if pumps:
        print(f"{len(pumps)} message loop(s) of our own below shell/: the run is driven by "
              "messages to the window's loop instead")
    if layers or pumps:
        return 1
    print("layers: every folder includes only folders below it"
          + (", and none below shell/ runs a message loop" if args.loops else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
