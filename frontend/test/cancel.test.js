'use strict';
// Cancelling a Marlet batch from the front end: runMarlet's { signal }.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const marlet = require('../marlet.js');
const binaries = require('./support/binaries.js');
const { writeSampleFont } = require('./support/sampleFonts.js');

const fontsFolder = path.join(process.env.LOCALAPPDATA, 'Microsoft', 'Windows', 'Fonts');
const stamp = `cancel-${process.pid}-${Date.now() % 100000}`;

// The file names (lower case) of the per-user fonts folder and of the per-user font entries'
// data that carry this run's stamp.
function installedHere() {
  const mine = (name) => name.toLowerCase().startsWith(stamp);
  const files = fs.existsSync(fontsFolder) ? fs.readdirSync(fontsFolder).filter(mine) : [];
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'reg-'));
  const out = fs.openSync(path.join(dir, 'out.txt'), 'w');
  spawnSync('reg.exe', ['query', 'HKCU\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts'],
    { stdio: ['ignore', out, 'ignore'] });
  fs.closeSync(out);
  const entries = fs.readFileSync(path.join(dir, 'out.txt'), 'latin1').split(/\r?\n/)
    .filter((l) => l.includes('REG_SZ')).map((l) => path.win32.basename(l.split('REG_SZ')[1].trim()))
    .filter(mine);
  return { files: files.map((f) => f.toLowerCase()).sort(), entries: entries.map((e) => e.toLowerCase()).sort() };
}

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'marlet-cancel-'));
const fonts = Array.from({ length: 150 }, (_, i) => {
  const family = `Marlet Cancel ${process.pid}-${i}`;
  return { family, path: writeSampleFont(path.join(dir, `${stamp}-${i}.ttf`), family) };
});

test('a signal aborted before the start starts nothing', async () => {
  const starts = [];
  const events = [];
  const controller = new AbortController();
  controller.abort();
  await assert.rejects(marlet.runMarlet('install', fonts.slice(-3), {
    exe: binaries.marlet,
    signal: controller.signal,
    onProgress: (...e) => events.push(e),
    start: (request) => {
      starts.push(request);
      return marlet.shellStart(request);
    },
  }), (e) => e instanceof Error && e.name === 'AbortError' && e.results.length === 0 && e.codes.length === 0);
  assert.deepEqual(starts, []);
  assert.deepEqual(events, []);
  assert.deepEqual(installedHere(), { files: [], entries: [] });
});

test('a batch of 150 aborted after the 10th progress event installs exactly the fonts it reports', async (t) => {
  const controller = new AbortController();
  const events = [];
  let error;
  try {
    await marlet.runMarlet('install', fonts, {
      exe: binaries.marlet,
      signal: controller.signal,
      onProgress: (index, status) => {
        events.push([index, status]);
        if (events.length === 10) controller.abort();
      },
      onDone: (count) => events.push(['done', count]),
    });
  } catch (e) {
    error = e;
  }
  assert.ok(error, 'the run was not stopped');
  assert.equal(error.name, 'AbortError', error.stack);
  assert.equal(error.code, 'ABORT_ERR');
  const done = error.results.length;
  // The font under way when the abort came is finished; Marlet stops before the next one.
  assert.ok(done >= 10 && done < fonts.length, `${done} fonts finished`);
  t.diagnostic(`${done} of ${fonts.length} fonts finished`);
  assert.deepEqual(error.results, fonts.slice(0, done).map(() => ({ data: '', code: '0' })));
  assert.deepEqual(error.codes, fonts.slice(0, done).map(() => 0));
  assert.deepEqual(events, [...fonts.slice(0, done).map((_, i) => [i, 0]), ['done', done]]);
  const expected = fonts.slice(0, done).map((f) => path.basename(f.path).toLowerCase()).sort();
  assert.deepEqual(installedHere(), { files: expected, entries: expected });

  // A signal that never aborts changes nothing: the finished fonts are uninstalled in full.
  const removed = await marlet.runMarlet('uninstall', expected.map((name) => ({ path: path.join(fontsFolder, name) })),
    { signal: new AbortController().signal, exe: binaries.marlet });
  assert.deepEqual(removed.codes, expected.map(() => 0));
  assert.deepEqual(installedHere(), { files: [], entries: [] });
});
