'use strict';
// Permissions through the bridge: the list of named permissions and requests
// that must not relaunch anything.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const vorla = require('../vorla.js');
const binaries = require('./support/binaries.js');

const api = vorla.open(binaries.dll);

test('getPermissions lists runAdmin, granted under Wine (the user is an administrator)', () => {
  assert.deepEqual(api.getPermissions(), [{ name: 'runAdmin', granted: true }]);
  // The raw export writes the count and hands over an array of that length.
  const count = [-1];
  const pointer = api.raw.getPermissions(count);
  assert.equal(count[0], 1);
  assert.equal(vorla.arrayCount(pointer), 1);
  api.raw.releaseVPermission(pointer);
});

test('requests for blank, unknown or differently written names return 0', () => {
  for (const name of ['', '  \t\r\n', 'runAdmin ', 'RUNADMIN', 'runadmin', 'admin']) {
    assert.equal(api.requestPermission(name), 0, JSON.stringify(name));
  }
});

// In a separate node process, which holds the relaunch guard event first (as an
// earlier request would have): requesting runAdmin returns 0 and the process
// keeps running instead of being replaced.
test('while the relaunch guard exists, requesting runAdmin returns 0 and the process goes on', () => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'perm-'));
  const script = path.join(dir, 'child.js');
  fs.writeFileSync(script, `
    const vorla = require(${JSON.stringify(path.join(__dirname, '..', 'vorla.js'))});
    const kernel32 = vorla.koffi.load('kernel32.dll');
    const CreateEventW = kernel32.func('void *CreateEventW(void *attributes, int manualReset, int initialState, const char16_t *name)');
    if (!CreateEventW(null, 0, 0, '{29544E12-024F-4BC1-A272-452DBC8E17A4}')) process.exit(3);
    const api = vorla.open(${JSON.stringify(binaries.dll)});
    console.log('first ' + api.requestPermission('runAdmin'));
    console.log('second ' + api.requestPermission('runAdmin'));
  `);
  const out = fs.openSync(path.join(dir, 'out.txt'), 'w');
  const r = spawnSync(process.execPath, [script], { stdio: ['ignore', out, out], env: process.env, timeout: 60000 });
  fs.closeSync(out);
  const output = fs.readFileSync(path.join(dir, 'out.txt'), 'utf8');
  assert.equal(r.status, 0, output);
  assert.match(output, /^first 0\r?$/m);
  assert.match(output, /^second 0\r?$/m);
});
