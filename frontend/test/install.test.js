'use strict';
// Permanent install and uninstall through the bridge: installFont and uninstallFont.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const vorla = require('../vorla.js');
const binaries = require('./support/binaries.js');
const { renameFont } = require('./support/sampleFonts.js');

const api = vorla.open(binaries.dll);
const fontsFolder = path.join(process.env.LOCALAPPDATA, 'Microsoft', 'Windows', 'Fonts');
const fontsKey = 'HKCU\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts';
const dejavu = 'Z:\\usr\\share\\fonts\\truetype\\dejavu\\';

// A font the platform loads under a family of its own (a family it already knows from
// elsewhere would be taken as a duplicate and not loaded again).
function writeFont(file, family) {
  fs.writeFileSync(file, renameFont(fs.readFileSync(dejavu + 'DejaVuSans.ttf'), family));
}

function tempDir(tag) {
  return fs.mkdtempSync(path.join(os.tmpdir(), `${tag}-`));
}

// The data of a per-user font entry, read with the platform's reg.exe; null when there is none.
function registryValue(name) {
  const dir = tempDir('reg');
  const out = fs.openSync(path.join(dir, 'out.txt'), 'w');
  const r = spawnSync('reg.exe', ['query', fontsKey, '/v', name], { stdio: ['ignore', out, 'ignore'] });
  fs.closeSync(out);
  if (r.status !== 0) return null;
  const line = fs.readFileSync(path.join(dir, 'out.txt'), 'latin1').split(/\r?\n/).find((l) => l.includes('REG_SZ'));
  return line ? line.split('REG_SZ')[1].trim() : null;
}

test('a font is installed for the current user and uninstalled again', () => {
  const source = path.join(tempDir('install'), 'VorlaBridge.ttf');
  writeFont(source, 'Vorla Bridge Sans');
  const installed = path.join(fontsFolder, 'VorlaBridge.ttf');
  const valueName = 'Vorla Bridge Sans (TrueType)';

  // The entry is named from the font's own naming table, not from the family passed in.
  assert.equal(api.installFont({ family: 'Caller Family', path: source, postscriptName: 'X', style: 'Y' }), 0);
  assert.ok(fs.existsSync(installed));
  assert.deepEqual(fs.readFileSync(installed), fs.readFileSync(source));
  assert.equal(registryValue(valueName), installed);
  assert.equal(registryValue('Caller Family (TrueType)'), null);

  assert.equal(api.uninstallFont({ path: installed }), 0);
  assert.ok(!fs.existsSync(installed));
  assert.equal(registryValue(valueName), null);
  assert.ok(fs.existsSync(source));
  assert.equal(api.uninstallFont({ path: installed }), 1005);
});

test('paths and names outside the ANSI code page', () => {
  const source = path.join(tempDir('安装'), '思源 𠀋.ttf');
  writeFont(source, 'Vorla 思源 𠀋');
  const installed = path.join(fontsFolder, '思源 𠀋.ttf');
  assert.equal(api.installFont({ family: '宋体', path: source }), 0);
  assert.ok(fs.existsSync(installed));
  assert.notEqual(registryValue('Vorla 思源 𠀋 (TrueType)'), null);
  assert.equal(api.uninstallFont({ family: '宋体', path: installed }), 0);
  assert.ok(!fs.existsSync(installed));
});

test('missing, empty and non-font inputs', () => {
  const dir = tempDir('bad');
  assert.equal(api.installFont({ family: 'VorlaNothing', path: path.join(dir, 'absent.ttf') }), 1005);
  assert.equal(api.installFont({}), 1005);
  assert.equal(api.uninstallFont({}), 1005);
  assert.equal(api.installFont({ path: dir }), 1005); // a folder cannot be read as a font

  const text = path.join(dir, 'VorlaBridgeText.ttf');
  fs.writeFileSync(text, 'not a font');
  assert.equal(api.installFont({ family: 'VorlaBridgeText', path: text }), 1007);
  assert.equal(registryValue('VorlaBridgeText (TrueType)'), null);
  assert.ok(!fs.existsSync(path.join(fontsFolder, 'VorlaBridgeText.ttf')));

  // An installed file without an entry is not found, and stays.
  const stray = path.join(dir, 'VorlaStray.ttf');
  fs.copyFileSync(dejavu + 'DejaVuSans.ttf', stray);
  assert.equal(api.uninstallFont({ path: stray }), 1005);
  assert.ok(fs.existsSync(stray));
});
