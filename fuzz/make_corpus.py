#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets (fuzz/corpus/<target>/): small generated
fonts and lists, and the reproducers of the hostile inputs the parsers must withstand."""
import os
import struct
import sys

here = os.path.dirname(os.path.abspath(__file__))
out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "corpus")


def write(target, name, data):
    os.makedirs(os.path.join(out, target), exist_ok=True)
    with open(os.path.join(out, target, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8"))


def font(tables):
    """An sfnt holding the given (tag, data) tables."""
    head = struct.pack(">IHHHH", 0x00010000, len(tables), 0, 0, 0)
    offset = 12 + 16 * len(tables)
    directory, body = b"", b""
    for tag, data in tables:
        directory += tag + struct.pack(">III", 0, offset + len(body), len(data))
        body += data + b"\0" * (-len(data) % 4)
    return head + directory + body


def name_table(records, storage_offset=None):
    """records: (platform, encoding, language, name id, stored bytes)."""
    head = struct.pack(">HHH", 0, len(records), storage_offset if storage_offset is not None else 6 + 12 * len(records))
    storage = b""
    for platform, encoding, language, name_id, data in records:
        head += struct.pack(">HHHHHH", platform, encoding, language, name_id, len(data), len(storage))
        storage += data
    return head + storage


def win(name_id, language, text):
    return (3, 1, language, name_id, text.encode("utf-16-be", "surrogatepass"))


def hostile(count):
    """count records of used names, each claiming 65,535 bytes inside the records."""
    table = struct.pack(">HHH", 0, count, 6)
    languages = (0x0409, 0x0804, 0x0411)
    for i in range(count):
        table += struct.pack(">HHHHHH", 3, 1, languages[i // 3 % 3], (1, 4, 6)[i % 3], 0xFFFF, (i * 2) & 0xFFFF)
    return font([(b"name", table)])


def face_at(data, at):
    """An sfnt moved to offset at of a collection: its table offsets count from the file's start."""
    face = bytearray(data)
    for i in range(struct.unpack(">H", data[4:6])[0]):
        record = 12 + 16 * i + 8
        face[record:record + 4] = struct.pack(">I", struct.unpack(">I", data[record:record + 4])[0] + at)
    return bytes(face)


def collection(fonts, major=1):
    """A font collection ("ttcf") of the given sfnts, each face with its own tables."""
    header_size = 12 + 4 * len(fonts) + (12 if major >= 2 else 0)
    offsets, faces = b"", b""
    for data in fonts:
        offsets += struct.pack(">I", header_size + len(faces))
        faces += face_at(data, header_size + len(faces))
    return b"ttcf" + struct.pack(">HHI", major, 0, len(fonts)) + offsets + (b"\0" * 12 if major >= 2 else b"") + faces


def names_font(full, postscript):
    return font([(b"name", name_table([win(4, 0x0409, full), win(6, 0x0409, postscript)]))])


write("name_table", "plain", font([(b"name", name_table([win(1, 0x0409, "Vorla"), win(4, 0x0409, "Vorla Full"),
                                                        win(6, 0x0409, "Vorla-PS")]))]))
write("name_table", "languages", font([(b"name", name_table([
    win(4, 0x0804, "\u6c83\u62c9"), win(1, 0x0411, "\u30f4\u30a9"), (1, 0, 0, 4, b"Mac Caf\x8e"),
    (1, 25, 33, 1, b"\xc6\xbb\xb9\xfb"), win(2, 0x0409, "Bold"), win(4, 0x0407, "Deutsch")]))]))
write("name_table", "surrogates", font([(b"name", name_table([win(4, 0x0409, "\U0001F600\ud800x")]))]))
write("name_table", "embedded-nul", font([(b"name", name_table([win(4, 0x0409, "X\0Evil")]))]))
# A language counts by any name ID: English has only a style name, Chinese seven IDs.
write("name_table", "style-only", font([(b"name", name_table([win(6, 0x0411, "Nihon-PS"), win(2, 0x0409, "Bold")]))]))
write("name_table", "chinese-0-6", font([(b"name", name_table([win(i, 0x0804, "\u4e2d %d" % i) for i in range(7)]))]))
write("name_table", "hostile-20000", hostile(20000))
write("name_table", "hostile-65535", hostile(65535))

# Collections: faces in several languages, a face without names, a repeated name, version 2, a
# face listed twice, and the hostile ones: 4,096 listings of one hostile face, overlapping tables.
write("name_table", "collection-two", collection([names_font("Alpha", "Alpha-R"), names_font("Alpha Mono", "AlphaMono")]))
write("name_table", "collection-three", collection([
    font([(b"name", name_table([win(4, 0x0804, "\u5b8b\u4f53"), win(6, 0x0409, "SimSun")]))]),
    names_font("Beta", "Beta-R"), font([(b"name", name_table([win(2, 0x0407, "Standard")]))]),
    names_font("Beta", "Beta-B")], 2))
two = collection([names_font("Gamma", "Gamma-R"), names_font("Delta", "Delta-R")])
write("name_table", "collection-face-twice", two[:16] + two[12:16] + two[20:])
hostile_face = hostile(65535)
write("name_table", "collection-hostile-face", b"ttcf" + struct.pack(">HHI", 1, 0, 0xFFFFFFFF) +
      struct.pack(">I", 12 + 4 * 4096) * 4096 + face_at(hostile_face, 12 + 4 * 4096))
overlap = b"ttcf" + struct.pack(">HHI", 1, 0, 2000)
start = 12 + 4 * 2000
overlap += b"".join(struct.pack(">I", start + 28 * i) for i in range(2000))
overlap += b"".join(struct.pack(">IHHHH", 0x00010000, 1, 0, 0, 0) + b"name" + struct.pack(">III", 0, start + i, 0xFFFFFFFF)
                    for i in range(2000))
write("name_table", "collection-overlapping", overlap + hostile(5000)[28:])

lists = {
    "plain": '[{"family":"A","path":"C:\\\\f\\\\a.ttf","postscriptName":"A-R","style":"Regular"}]',
    "unicode": '[{"family":"\\u6c83\\u62c9 \\ud83d\\ude00","path":"C:\\\\\u5b57\\\\b.otf"},{"family":"it\'s"}]',
    "mixed": '[1,"x",null,{"family":7,"path":"p","extra":{"a":[1,2]}},{}]',
    "quoted-args": "-i\0[{\\'family\\':\\'A\\'}]\0-w\00012\0-o\0r.json",
    "usage": "-i\0[]\0-u\0[]",
    "nested-20000": "[" * 20000,
    "nested-args-20000": "-i\0" + "[" * 20000 + "\0-o\0r.json",
}
for name, text in lists.items():
    write("marlet", name, text)

for name, text in {"ascii": "Arial-BoldMT\0Arial", "quote": "it's\0a \"b\" \\ c",
                   "unicode": "\u5b8b\u4f53\0\U0001F600", "invalid": b"a\xff\xed\xa0\x80\0\xc3"}.items():
    write("scripts", name, text)

for name, text in {"ascii": "plain text", "unicode": "Caf\u00e9 \u5b8b \U0001F600",
                   "invalid": b"\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80\xe5\xae", "utf16": "\ud800\udc00".encode("utf-16-be", "surrogatepass") + b"\xdc\x00\xd8\x00"}.items():
    write("text", name, text)
