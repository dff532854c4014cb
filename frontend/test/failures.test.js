'use strict';
// Failure paths through the bridge: a failure that the library catches inside a call comes back
// as its status, synchronously and from koffi's worker threads, and the process goes on calling
// the library afterwards.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const vorla = require('../vorla.js');
const binaries = require('./support/binaries.js');
const standIn = require('./support/officeStandIn.js');
const designStandIn = require('./support/designStandIn.js');
const { renameFont } = require('./support/sampleFonts.js');

const api = vorla.open(binaries.dll);
const { koffi } = vorla;
const logDir = fs.mkdtempSync(path.join(os.tmpdir(), 'failures-'));
api.initial({ logPath: logDir + path.sep, logName: 'failures' });
const fontsKey = 'HKCU\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts';

// The library still answers after a failure: a cheap list export and the version.
function assertStillServes() {
  assert.equal(api.version(), '1.0.0');
  assert.deepEqual(api.getPermissions().map((p) => p.name), ['runAdmin']);
}

function logText() {
  return fs.readdirSync(logDir).map((f) => fs.readFileSync(path.join(logDir, f), 'utf8')).join('');
}

function reg(...args) {
  const r = spawnSync('reg.exe', args, { stdio: 'ignore' });
  return r.status;
}

// Each target is an application window whose apply fails inside the library.
const applyFailures = [
  {
    name: 'Word without its automation object',
    start: () => standIn.start('WINWORD.EXE', { windows: [{ className: 'OpusApp', title: 'Report' }] }),
    status: 1111,
    logged: 'Error : Defined app not found',
  },
  {
    name: 'Word whose ActiveWindow call fails',
    start: () => standIn.start('WINWORD.EXE', {
      progIds: ['Word.Application'],
      windows: [{ className: 'OpusApp', title: 'Report' }],
      failing: ['ActiveWindow'],
    }),
    status: 1111,
    logged: 'Error : IDispatch::Invoke("ActiveWindow"=00000002) failed w/err 0x80020009',
  },
  {
    name: 'Illustrator with an unreadable version',
    start: () => designStandIn.start('Illustrator.exe', ['--progid', 'Illustrator.Application', '--version', 'beta']),
    status: 1111,
    logged: 'stoi',
  },
  {
    name: 'a process without a recognised window',
    start: () => standIn.start('wps.exe', { progIds: ['Kwps.Application'], windows: [{ className: 'OpusApp', title: 'notes.txt' }] }),
    status: 2001,
    logged: '',
  },
];

for (const c of applyFailures) {
  test(`apply failure, synchronous and from four worker threads at once: ${c.name}`, async (t) => {
    const app = await c.start();
    t.after(() => app.stop());
    const request = { family: 'Arial', path: null, postscriptName: 'ArialMT', style: null, processId: app.processId };

    assert.equal(api.applyFontForApplication(request, app.processId), c.status);
    assert.ok(logText().includes(c.logged), logText());
    assertStillServes();

    const statuses = await Promise.all([0, 1, 2, 3].map(() => new Promise((resolve, reject) => {
      api.raw.applyFontForApplication.async(request, (err, status) => (err ? reject(err) : resolve(status)));
    })));
    assert.deepEqual(statuses, [c.status, c.status, c.status, c.status]);
    assertStillServes();
    // The calling thread is still fit for the next failure.
    assert.equal(api.applyFontForApplication(request, app.processId), c.status);
  });
}

test('a refused resource removal gives 1015, and the next call still works', () => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'refused-'));
  const file = path.join(dir, 'VorlaBridgeNeverLoaded.ttf');
  const dejavu = fs.readFileSync('Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSans.ttf');
  fs.writeFileSync(file, renameFont(dejavu, 'VorlaBridgeNeverLoaded'));
  // An entry written by other software for a file this session never loaded.
  assert.equal(reg('add', fontsKey, '/v', 'VorlaBridgeNeverLoaded', '/t', 'REG_SZ', '/d', file.toUpperCase(), '/f'), 0);
  try {
    assert.equal(api.uninstallFont({ path: file }), 1015);
    assert.ok(fs.existsSync(file));
    assertStillServes();
  } finally {
    reg('delete', fontsKey, '/v', 'VorlaBridgeNeverLoaded', '/f');
    reg('delete', fontsKey, '/v', 'VorlaBridgeNeverLoaded (TrueType)', '/f');
  }
});

// A NUL-terminated byte string in native memory, for texts that JavaScript strings cannot carry.
function bytes(...values) {
  const pointer = koffi.alloc('uint8_t', values.length + 1);
  koffi.encode(pointer, 'uint8_t', [...values, 0], values.length + 1);
  return pointer;
}

test('hostile records: null texts, invalid UTF-8 and very long texts return a status', async (t) => {
  const word = await standIn.start('WINWORD.EXE', {
    progIds: ['Word.Application'],
    windows: [{ className: 'OpusApp', title: 'Report' }],
  });
  t.after(() => word.stop());
  const invalid = bytes(0xff, 0xfe, 0x41, 0xc3, 0x28, 0xed, 0xa0, 0x80); // no valid sequence
  t.after(() => koffi.free(invalid));
  const longPath = 'C:\\' + 'a\\'.repeat(20000) + 'f.ttf';
  const longName = 'V'.repeat(100000);
  const nulls = { family: null, path: null, postscriptName: null, style: null };
  const cases = [
    ['installFont', nulls, 1005],
    ['uninstallFont', nulls, 1005],
    ['installTempFont', nulls, 1005],
    ['uninstallTempFont', nulls, 1005],
    ['installFont', { ...nulls, family: invalid, path: invalid }, 1005],
    ['uninstallFont', { ...nulls, path: invalid }, 1005],
    ['installTempFont', { ...nulls, path: invalid }, 1005],
    ['uninstallTempFont', { ...nulls, path: invalid }, 1005],
    ['installFont', { family: longName, path: longPath, postscriptName: longName, style: longName }, 1005],
    ['uninstallFont', { ...nulls, path: longPath }, 1005],
    ['installTempFont', { ...nulls, path: longPath }, 1005],
    ['uninstallTempFont', { ...nulls, path: longPath }, 1005],
  ];
  for (const [name, record, status] of cases) {
    assert.equal(api.raw[name](record), status, `${name} ${JSON.stringify(record, (k, v) => (typeof v === 'bigint' ? 'bytes' : v)).slice(0, 80)}`);
  }
  assertStillServes();

  // The apply takes each text as it comes: null, invalid UTF-8 and very long names reach Word.
  const applies = [
    [{ ...nulls, processId: word.processId }, 0],
    [{ ...nulls, family: invalid, processId: word.processId }, 0],
    [{ family: longName, path: longPath, postscriptName: longName, style: longName, processId: word.processId }, 0],
  ];
  for (const [request, status] of applies) assert.equal(api.raw.applyFontForApplication(request), status);
  assert.equal(word.calls().filter((l) => l.includes('PUT Name')).length, 3);
  assertStillServes();
});
