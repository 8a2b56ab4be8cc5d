#!/usr/bin/env python3
"""Brings resources/translations/*.ts up to date with the texts of the code and the windows.

    scripts/update-translations.py          update every .ts file (then translate in Qt Linguist)
    scripts/update-translations.py --list   print every text Orvik looks up as a JSON list of
                                            [context, source, disambiguation, English]

The code looks its texts up as localizedString(key, defaultText, table), mostly through helpers
that fix the table (ripText, batchText, ...). lupdate's own C++ parser only knows Qt's call forms,
whose arguments come in another order (context, source, disambiguation) and whose context cannot
come from a helper, so this script finds the lookups and writes them as a catalog of
QT_TRANSLATE_NOOP calls (QT_TRANSLATE_N_NOOP for texts with a count, which get a form per plural),
the English as the translators' comment. lupdate then reads that catalog
together with the window descriptions (resources/ui/*.ui, context = the form's class) and merges
both into the .ts files: new texts come in unfinished, vanished ones are dropped."""
import json
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

from source_files import source_files

ROOT = pathlib.Path(__file__).resolve().parent.parent
CODE_FOLDERS = ["app", "batch", "cli", "core", "monitor", "platform", "rip", "settings"]
TABLES = ["Global", "Progress", "Batch", "Rip", "CommandLine"]

# Helper name -> (tables, the only file it is a helper in, or None for any file). A helper whose
# table is chosen at run time gets its texts in every table it can be given.
HELPERS = {
    "localizedString": (None, None),
    "localizedCount": (None, None),
    "ripText": (["Rip"], None),
    "batchText": (["Batch"], None),
    "encodeText": (["CommandLine"], None),
    "progressText": (["Progress"], "monitor/LameProgress.cpp"),
    "text": (["Batch", "Rip"], "core/EncoderRun.cpp"),
    "runText": (["Batch", "Rip"], "monitor/RunWindowController.cpp"),
    "failed": (["Batch", "Rip"], "core/EncoderRun.cpp"),
    "loudnessText": (["Batch", "Rip"], "core/LoudnessTagger.cpp"),
    "reason": (["Global"], "core/LameTunes.cpp"),
    "cachedTitle": (["Global"], "app/LameMaster.cpp"),
}

LITERAL = r'"(?:[^"\\\n]|\\.)*"'
LITERALS = rf"{LITERAL}(?:\s*{LITERAL})*"
CALL = re.compile(rf"\b({'|'.join(HELPERS)})\(\s*(?:[A-Za-z_]\w*\s*,\s*)?({LITERAL})\s*,\s*({LITERALS})"
                  rf"\s*(?:,\s*({LITERAL}|[A-Za-z_]\w*))?")
# Helpers whose texts hold a count (%n) and so have a translation per plural form.
COUNTED = {"localizedCount"}
ESCAPES = {"n": "\n", "t": "\t", '"': '"', "\\": "\\", "'": "'"}


def unquote(literals):
    text = "".join(piece[1:-1] for piece in re.findall(LITERAL, literals))
    return re.sub(r"\\(.)", lambda m: ESCAPES.get(m.group(1), m.group(0)), text)


def code_texts(problems, counted):
    """(table, key) -> English, from every lookup in the code with literal arguments; the keys of
    texts with a count are added to `counted`."""
    found = {}
    for name in source_files((".cpp", ".h"), CODE_FOLDERS):
        source = (ROOT / name).read_text(encoding="utf-8")
        reached = {match.start() for match in CALL.finditer(source)}
        for call in re.finditer(rf"\b({'|'.join(HELPERS)})\((?!\s*(\)|const |QString |key\b))", source):
            if call.start() not in reached and (HELPERS[call.group(1)][1] or name) == name:
                line = source.count("\n", 0, call.start()) + 1
                problems.append(f"{name}:{line}: {call.group(1)} without literal key and text; lupdate cannot see it")
        constants = dict(re.findall(r'\b(\w+)(?:\[\])?\s*=\s*"(\w+)"', source))
        for match in CALL.finditer(source):
            helper, key, english, table = match.groups()
            tables, only_in = HELPERS[helper]
            if only_in and only_in != name:
                continue
            if tables is None:
                table = unquote(table) if table and table.startswith('"') else constants.get(table)
                if table not in TABLES:
                    line = source.count("\n", 0, match.start()) + 1
                    problems.append(f"{name}:{line}: table of {unquote(key)} not known")
                    continue
                tables = [table]
            for table in tables:
                if helper in COUNTED:
                    counted.add((table, unquote(key)))
                previous = found.setdefault((table, unquote(key)), unquote(english))
                if previous != unquote(english):
                    problems.append(f"{name}: {table}/{unquote(key)} has two English texts")
    return found


def cpp_literal(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n") + '"'


def write_catalog(path, texts, counted):
    lines = ["// Written by scripts/update-translations.py for lupdate; never compiled.",
             "static const char *const texts[] = {"]
    for (table, key), english in sorted(texts.items()):
        comment = english.replace("\\", "\\\\").replace("\n", "\\n")
        macro = "QT_TRANSLATE_N_NOOP" if (table, key) in counted else "QT_TRANSLATE_NOOP"
        lines += [f"    //: {comment}", f"    {macro}({cpp_literal(table)}, {cpp_literal(key)}),"]
    path.write_text("\n".join(lines + ["};", ""]), encoding="utf-8")


def lupdate(catalog, ts_files, fresh):
    tool = shutil.which("lupdate", path="/usr/lib/qt6/bin") or shutil.which("lupdate")
    uis = sorted(str(p) for p in (ROOT / "resources/ui").glob("*.ui"))
    code = [str(ROOT / folder) for folder in CODE_FOLDERS]
    options = ["-silent", "-I", str(ROOT), "-locations", "none", "-no-obsolete", "-source-language", "en"]
    subprocess.run([tool, *options, str(catalog), *code, *uis, "-ts", *map(str, ts_files)], check=True,
                   stdout=subprocess.DEVNULL if fresh else None)


def main():
    problems = []
    counted = set()
    texts = code_texts(problems, counted)
    with tempfile.TemporaryDirectory() as folder:
        catalog = pathlib.Path(folder) / "catalog.cpp"
        write_catalog(catalog, texts, counted)
        if "--list" in sys.argv:
            fresh = pathlib.Path(folder) / "all.ts"
            lupdate(catalog, [fresh], True)
            listing = []
            for context in ET.parse(fresh).getroot().iter("context"):
                name = context.findtext("name")
                for message in context.iter("message"):
                    source = message.findtext("source")
                    english = texts.get((name, source), source)
                    listing.append([name, source, message.findtext("comment") or "", english])
            print(json.dumps(listing, ensure_ascii=False))
        else:
            lupdate(catalog, sorted((ROOT / "resources/translations").glob("*.ts")), False)
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
