#!/usr/bin/python3
"""Entry names of font collections as an independent reader, fontTools, reads their faces'
names. For each face: the first of Simplified Chinese (Macintosh 33, Windows 0x0804), English
(0, 0x0409), Japanese (11, 0x0411) that has a name record of any ID; in that language the full
name (ID 4), else the family (1), else the PostScript name (6), a Macintosh record before a
Windows one, the first record of an ID within a platform. The faces' names in the collection's
order, repeats dropped, joined with " & ", then " (TrueType)".

Usage: collection-names.py FOLDER... -- prints "<file name>\t<entry name>" for every .ttc below
the folders, sorted by file name."""
import os
import sys

from fontTools.ttLib import TTCollection

LANGUAGES = ((33, 0x0804), (0, 0x0409), (11, 0x0411))


def face_name(names):
    for mac, windows in LANGUAGES:
        records = [r for r in names if (r.platformID, r.langID) in ((1, mac), (3, windows))]
        if not records:
            continue
        for name_id in (4, 1, 6):
            for platform in (1, 3):
                for r in records:
                    if r.platformID == platform and r.nameID == name_id:
                        return r.toUnicode().split("\0")[0]
        return ""
    return ""


def entry_name(path):
    faces = []
    for font in TTCollection(path, lazy=True).fonts:
        name = face_name(font["name"].names)
        if name and name not in faces:
            faces.append(name)
    return " & ".join(faces) + " (TrueType)" if faces else ""


def main(folders):
    found = []
    for folder in folders:
        for root, _, files in os.walk(folder):
            found += [os.path.join(root, f) for f in files if f.endswith(".ttc")]
    for path in sorted(found, key=os.path.basename):
        print("%s\t%s" % (os.path.basename(path), entry_name(path)))


if __name__ == "__main__":
    main(sys.argv[1:])
