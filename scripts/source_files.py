#!/usr/bin/env python3
"""Lists Orvik's own source files, as paths relative to the top folder.

    scripts/source_files.py SUFFIX... [--in FOLDER...]   one path a line, sorted

In a clone these are the files git knows (tracked, or new and not ignored). A source archive
(`git archive` output, a release tarball, a distribution's source package) has no repository:
then every file below the top folder counts, except in hidden folders and in build folders (a
folder holding a CMakeCache.txt, or one named build or build-*, as .gitignore has them)."""
import os
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent


def _in_clone():
    try:
        top = subprocess.run(["git", "rev-parse", "--show-toplevel"], cwd=ROOT, capture_output=True, text=True)
    except OSError:  # no git at all
        return False
    # An archive unpacked inside some other repository is not a clone of Orvik.
    return top.returncode == 0 and pathlib.Path(top.stdout.strip()).resolve() == ROOT


def _is_build_folder(path):
    return (path.name == "build" or path.name.startswith("build-") or path.name.startswith(".")
            or (path / "CMakeCache.txt").exists())


def source_files(suffixes, folders=()):
    """The files whose names end with one of `suffixes`, below `folders` (all when empty)."""
    if _in_clone():
        listing = subprocess.run(["git", "ls-files", "-z", "-co", "--exclude-standard", "--", *folders],
                                 cwd=ROOT, capture_output=True, text=True, check=True).stdout
        names = [name for name in listing.split("\0") if name]
    else:
        names = []
        for folder in folders or ["."]:
            for top, subfolders, files in os.walk(ROOT / folder):
                subfolders[:] = [name for name in subfolders if not _is_build_folder(pathlib.Path(top, name))]
                names += [str(pathlib.Path(top, name).relative_to(ROOT)) for name in files]
    return sorted(name for name in names if name.endswith(tuple(suffixes)))


if __name__ == "__main__":
    arguments = sys.argv[1:]
    where = arguments.index("--in") if "--in" in arguments else len(arguments)
    for name in source_files(arguments[:where], arguments[where + 1:]):
        print(name)
