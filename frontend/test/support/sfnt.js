'use strict';
// Test fonts with chosen names: a real font with its naming table replaced, so that the
// platform loads it under a family no other test or system font uses.

function nameTable(records) {
  const head = Buffer.alloc(6 + 12 * records.length);
  head.writeUInt16BE(0, 0);
  head.writeUInt16BE(records.length, 2);
  head.writeUInt16BE(head.length, 4);
  const strings = [];
  let offset = 0;
  records.forEach((r, i) => {
    const bytes = Buffer.from(r.text, 'utf16le').swap16(); // UTF-16BE
    const at = 6 + 12 * i;
    head.writeUInt16BE(3, at); // Windows
    head.writeUInt16BE(1, at + 2); // Unicode BMP
    head.writeUInt16BE(r.language ?? 0x0409, at + 4);
    head.writeUInt16BE(r.nameId, at + 6);
    head.writeUInt16BE(bytes.length, at + 8);
    head.writeUInt16BE(offset, at + 10);
    strings.push(bytes);
    offset += bytes.length;
  });
  return Buffer.concat([head, ...strings]);
}

// The font in `bytes` with English Windows names: family, subfamily "Book", full name, PostScript name.
function renameFont(bytes, family) {
  const count = bytes.readUInt16BE(4);
  const tables = [];
  for (let i = 0; i < count; i++) {
    const at = 12 + 16 * i;
    const tag = bytes.toString('latin1', at, at + 4);
    const offset = bytes.readUInt32BE(at + 8);
    const length = bytes.readUInt32BE(at + 12);
    tables.push({ tag, data: bytes.subarray(offset, offset + length) });
  }
  const names = nameTable([
    { nameId: 1, text: family },
    { nameId: 2, text: 'Book' },
    { nameId: 4, text: family },
    { nameId: 6, text: family.replace(/[^A-Za-z0-9]/g, '') },
  ]);
  for (const t of tables) if (t.tag === 'name') t.data = names;

  const header = Buffer.alloc(12 + 16 * tables.length);
  bytes.copy(header, 0, 0, 12);
  const bodies = [];
  let offset = header.length;
  tables.forEach((t, i) => {
    const at = 12 + 16 * i;
    header.write(t.tag, at, 'latin1');
    header.writeUInt32BE(0, at + 4); // checksums are not needed to load the font
    header.writeUInt32BE(offset, at + 8);
    header.writeUInt32BE(t.data.length, at + 12);
    const padded = Buffer.alloc((t.data.length + 3) & ~3);
    t.data.copy(padded);
    bodies.push(padded);
    offset += padded.length;
  });
  return Buffer.concat([header, ...bodies]);
}

module.exports = { renameFont };
