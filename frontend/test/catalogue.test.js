'use strict';
// The font catalogue through the bridge, against the fixture fonts that the test prefix
// registers under HKLM (C:\VorlaFixtures\catalogue) and the DejaVu faces found through fontconfig.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const vorla = require('../vorla.js');
const binaries = require('./support/binaries.js');

const api = vorla.open(binaries.dll);
const FIXTURES = 'C:\\VorlaFixtures\\catalogue\\';
const DEJAVU = 'Z:\\usr\\share\\fonts\\truetype\\dejavu\\';

// [postscriptName, path, family (default zh-CN), family (en-us), style, weight, width, italic, monospace]
const FACES = [
  ['VorlaSong-Regular', FIXTURES + 'VorlaSong.ttf', '维拉宋体', 'Vorla Song', '常规', 400, 5, false, false],
  ['VorlaSong-Italic', FIXTURES + 'VorlaSongItalic.ttf', '维拉宋体', 'Vorla Song', '斜体', 400, 5, true, false],
  ['VorlaSlant-Oblique', FIXTURES + 'VorlaSlant.ttf', 'Vorla Slant', 'Vorla Slant', 'Oblique', 400, 5, false, false],
  ['VorlaMono-Bold', FIXTURES + 'VorlaMono.ttf', 'Vorla Mono', 'Vorla Mono', 'Bold', 700, 5, false, true],
  ['VorlaGlot-Standard', FIXTURES + 'VorlaGlot.ttf', 'Vorla Deutsch', 'Vorla Deutsch', 'Standard', 400, 4, false, false],
  ['DejaVuSansMono', DEJAVU + 'DejaVuSansMono.ttf', 'DejaVu Sans Mono', 'DejaVu Sans Mono', 'Book', 400, 5, false, true],
  ['DejaVuSans-Oblique', DEJAVU + 'DejaVuSans-Oblique.ttf', 'DejaVu Sans', 'DejaVu Sans', 'Oblique', 400, 5, false, false],
];

function byPostScript(fonts) {
  const map = new Map();
  for (const f of fonts) {
    assert.ok(!map.has(f.postscriptName), `listed twice: ${f.postscriptName}`);
    map.set(f.postscriptName, f);
  }
  return map;
}

function checkFaces(fonts, familyColumn) {
  const map = byPostScript(fonts);
  for (const row of FACES) {
    const [ps, file, , , style, weight, width, italic, monospace] = row;
    const f = map.get(ps);
    assert.ok(f, `missing ${ps}`);
    assert.deepEqual(
      { ...f },
      { path: file, postscriptName: ps, family: row[familyColumn], style, weight, width, italic, monospace },
      ps,
    );
  }
  return map;
}

test('with the default language every face is listed once, family names in Chinese', () => {
  const fonts = api.getAvailableFonts();
  for (const f of fonts) {
    for (const key of ['path', 'postscriptName', 'family', 'style']) {
      assert.equal(typeof f[key], 'string', `${key} of ${f.postscriptName}`);
    }
  }
  const map = checkFaces(fonts, 2);
  // Two files share "VorlaTwin", two have no PostScript name: the first in collection order wins.
  assert.equal(map.get('VorlaTwin').path, FIXTURES + 'VorlaTwinA.ttf');
  assert.equal(map.get('').path, FIXTURES + 'VorlaBareA.ttf');
});

test('after initial with language "en-us" family names are English, style names still Chinese first', () => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'catalogue-'));
  assert.equal(api.initial({ logPath: dir + path.sep, logName: 'cat', language: 'en-us' }), 1);
  const fonts = api.getAvailableFonts();
  checkFaces(fonts, 3);
  const [log] = fs.readdirSync(dir);
  const lines = fs.readFileSync(path.join(dir, log), 'utf8').split(/\r?\n/);
  const counts = lines.filter((l) => l.includes('[Load Font List]'));
  assert.equal(counts.length, 1);
  assert.match(counts[0], new RegExp(`^\\[INFO \\|.* \\| \\[Load Font List\\] \\(${fonts.length}\\)$`));
});

// The library keeps its list while the Fonts keys and the fonts folders are unchanged, and cannot
// see a change that touches neither (here a registered font file written again in place, as a font
// registered for the session by another program would be). The broadcast that announces such a
// change reaches watchFonts, which marks the kept list stale, and the next listing has the change.
test('a WM_FONTCHANGE broadcast seen by watchFonts makes the next listing fresh', async () => {
  const { writeSampleFont } = require('./support/sampleFonts.js');
  const { spawn } = require('node:child_process');
  const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
  const run = (args) => new Promise((resolve, reject) => {
    spawn('reg.exe', args, { stdio: 'ignore' }).on('error', reject).on('exit', resolve);
  });
  const machineKey = 'HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts';
  const tag = `${process.pid}x${Date.now() % 100000}`;
  const [before, after] = [`Vorla Stale ${tag}`, `Vorla Fresh ${tag}`];
  const psName = (family) => family.replace(/[^A-Za-z0-9-]/g, '');
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'stale-'));
  const file = writeSampleFont(path.join(dir, 'stale.ttf'), before);
  const value = `Vorla Stale ${tag} (TrueType)`;
  const postBroadcast = koffiBroadcast();
  let feed;
  try {
    assert.equal(await run(['add', machineKey, '/v', value, '/d', file, '/f']), 0);
    assert.ok(api.getAvailableFonts().some((f) => f.postscriptName === psName(before)));
    await sleep(300); // the stamps' resolution (FontSources.h) has passed: the next list is kept
    api.getAvailableFonts();
    writeSampleFont(file, after);
    const kept = api.getAvailableFonts();
    assert.ok(kept.some((f) => f.postscriptName === psName(before)), 'the library cannot see this change');

    let calls = 0;
    feed = api.watchFonts(() => { calls += 1; });
    postBroadcast();
    for (let i = 0; i < 200 && calls === 0; i += 1) await sleep(50);
    assert.equal(calls, 1);
    const fresh = api.getAvailableFonts();
    assert.equal(fresh.find((f) => f.postscriptName === psName(after))?.path, file);
    assert.ok(!fresh.some((f) => f.postscriptName === psName(before)));
  } finally {
    feed?.close();
    await run(['delete', machineKey, '/v', value, '/f']);
    fs.rmSync(dir, { recursive: true, force: true });
  }
});

// Posts WM_FONTCHANGE to every top-level window, as a program that registered a font does.
function koffiBroadcast() {
  const PostMessageW = vorla.koffi.load('user32.dll').func(
    'int __stdcall PostMessageW(uintptr_t hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam)');
  return () => assert.notEqual(PostMessageW(0xffff, 0x1d, 0, 0), 0);
}
