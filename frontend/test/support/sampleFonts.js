'use strict';
// Fonts with chosen names for the demo and the tests: small TrueType fonts with one empty glyph and
// every table the platform's font loader asks for, or a real font with its naming table replaced.
const fs = require('node:fs');

function u16(v) { const b = Buffer.alloc(2); b.writeUInt16BE(v & 0xffff); return b; }
function u32(v) { const b = Buffer.alloc(4); b.writeUInt32BE(v >>> 0); return b; }
const cat = (...parts) => Buffer.concat(parts.flat());

function utf16be(text) {
  const le = Buffer.from(text, 'utf16le');
  for (let i = 0; i < le.length; i += 2) [le[i], le[i + 1]] = [le[i + 1], le[i]];
  return le;
}

function nameTable(records) {
  const head = [u16(0), u16(records.length), u16(6 + 12 * records.length)];
  const storage = [];
  let offset = 0;
  for (const [platform, encoding, language, nameId, text] of records) {
    const bytes = utf16be(text);
    head.push(u16(platform), u16(encoding), u16(language), u16(nameId), u16(bytes.length), u16(offset));
    storage.push(bytes);
    offset += bytes.length;
  }
  return cat(head, storage);
}

function checkSum(data) {
  const padded = Buffer.concat([data, Buffer.alloc((4 - (data.length % 4)) % 4)]);
  let sum = 0;
  for (let i = 0; i < padded.length; i += 4) sum = (sum + padded.readUInt32BE(i)) >>> 0;
  return sum;
}

function sfnt(tables) {
  const n = tables.length;
  let power = 1, log2 = 0;
  while (power * 2 <= n) { power *= 2; log2 += 1; }
  const dir = [u32(0x00010000), u16(n), u16(power * 16), u16(log2), u16(n * 16 - power * 16)];
  let offset = 12 + 16 * n;
  const body = [];
  for (const [tag, data] of tables) {
    dir.push(Buffer.from(tag, 'latin1'), u32(checkSum(data)), u32(offset), u32(data.length));
    const padded = Buffer.concat([data, Buffer.alloc((4 - (data.length % 4)) % 4)]);
    body.push(padded);
    offset += padded.length;
  }
  return cat(dir, body);
}

// family: English family and full name; chineseName: optional Simplified Chinese full name,
// which the installer prefers as the registry name.
function sampleFont(family, chineseName) {
  const head = cat(u32(0x00010000), u32(0x00010000), u32(0), u32(0x5f0f3cf5), u16(0x000b), u16(1000),
    u32(0), u32(0), u32(0), u32(0), u16(0), u16(0), u16(500), u16(700), u16(0), u16(8), u16(2), u16(0), u16(0));
  const hhea = cat(u32(0x00010000), u16(800), u16(-200), u16(0), u16(500), u16(0), u16(0), u16(500),
    u16(1), u16(0), u16(0), u16(0), u16(0), u16(0), u16(0), u16(0), u16(1));
  const maxp = cat(u32(0x00010000), u16(1), [0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0].map(u16));
  const os2 = cat(u16(4), u16(500), u16(400), u16(5), u16(0),
    [650, 600, 0, 75, 650, 600, 0, 350, 50, 300].map(u16), u16(0), Buffer.alloc(10),
    u32(1), u32(0), u32(0), u32(0), Buffer.from('NONE'), u16(0x40), u16(0x20), u16(0x20),
    u16(800), u16(-200), u16(0), u16(800), u16(200), u32(1), u32(0), u16(500), u16(700), u16(0), u16(0x20), u16(0));
  const hmtx = cat(u16(500), u16(0));
  const cmap = cat(u16(0), u16(1), u16(3), u16(1), u32(12),
    u16(4), u16(24), u16(0), u16(2), u16(2), u16(0), u16(0), u16(0xffff), u16(0), u16(0xffff), u16(1), u16(0));
  const loca = cat(u16(0), u16(0));
  const glyf = Buffer.alloc(4);
  const post = cat(u32(0x00030000), u32(0), u16(-100), u16(50), u32(0), u32(0), u32(0), u32(0), u32(0));
  const records = [
    [3, 1, 0x0409, 1, family], [3, 1, 0x0409, 2, 'Regular'], [3, 1, 0x0409, 4, family],
    [3, 1, 0x0409, 6, family.replace(/[^A-Za-z0-9-]/g, '')],
  ];
  if (chineseName) records.push([3, 1, 0x0804, 4, chineseName]);
  return sfnt([['OS/2', os2], ['cmap', cmap], ['glyf', glyf], ['head', head], ['hhea', hhea],
    ['hmtx', hmtx], ['loca', loca], ['maxp', maxp], ['name', nameTable(records)], ['post', post]]);
}

// The real font in `bytes` with English Windows names: family, subfamily "Book", full name, PostScript name.
// Every other table is kept, so the platform loads it under a family no other font uses.
function renameFont(bytes, family) {
  const tables = [];
  for (let i = 0; i < bytes.readUInt16BE(4); i++) {
    const at = 12 + 16 * i;
    const tag = bytes.toString('latin1', at, at + 4);
    const offset = bytes.readUInt32BE(at + 8);
    tables.push([tag, bytes.subarray(offset, offset + bytes.readUInt32BE(at + 12))]);
  }
  const names = nameTable([
    [3, 1, 0x0409, 1, family], [3, 1, 0x0409, 2, 'Book'], [3, 1, 0x0409, 4, family],
    [3, 1, 0x0409, 6, family.replace(/[^A-Za-z0-9]/g, '')],
  ]);
  return sfnt(tables.map(([tag, data]) => [tag, tag === 'name' ? names : data]));
}

function writeSampleFont(file, family, chineseName) {
  fs.writeFileSync(file, sampleFont(family, chineseName));
  return file;
}

module.exports = { sampleFont, writeSampleFont, renameFont };
