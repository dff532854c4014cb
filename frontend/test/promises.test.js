'use strict';
// The promise form of the bridge: calls run on koffi's worker threads and may overlap; the
// library's rules (the install lock, COM per call, logging from several threads) hold meanwhile.
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
const logDir = fs.mkdtempSync(path.join(os.tmpdir(), 'promises-'));
api.initial({ logPath: logDir + path.sep, logName: 'promises' });
const fontsFolder = path.join(process.env.LOCALAPPDATA, 'Microsoft', 'Windows', 'Fonts');
const fontsKey = 'HKCU\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts';
const dejavu = fs.readFileSync('Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSans.ttf');

// Names of the per-user font entries (reg.exe's listing of the key).
function registryNames() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'reg-'));
  const out = fs.openSync(path.join(dir, 'out.txt'), 'w');
  spawnSync('reg.exe', ['query', fontsKey], { stdio: ['ignore', out, 'ignore'] });
  fs.closeSync(out);
  return fs.readFileSync(path.join(dir, 'out.txt'), 'latin1').split(/\r?\n/)
    .filter((l) => l.includes('REG_SZ')).map((l) => l.split('REG_SZ')[0].trim());
}

function logLines(pattern) {
  return fs.readdirSync(logDir).map((f) => fs.readFileSync(path.join(logDir, f), 'utf8')).join('')
    .split('\n').filter((l) => pattern.test(l));
}

// Counts timer ticks while `work` is pending: a call that blocked the event loop would give none.
async function ticking(work) {
  let ticks = 0;
  const timer = setInterval(() => { ticks += 1; }, 5);
  try {
    const result = await work();
    return { result, ticks };
  } finally {
    clearInterval(timer);
  }
}

test('results have the form of the synchronous calls, and failures come back as statuses', async () => {
  assert.deepEqual(await api.promises.getAvailableFonts(), api.getAvailableFonts());
  assert.deepEqual(await api.promises.getPermissions(), api.getPermissions());
  assert.deepEqual(await api.promises.getAvailableApplications(), api.getAvailableApplications());
  assert.equal(await api.promises.installFont({ path: 'C:\\absent\\VorlaNone.ttf' }), 1005);
  assert.equal(await api.promises.uninstallFont({}), 1005);
  assert.equal(await api.promises.installTempFont({ path: 'C:\\absent\\VorlaNone.ttf' }), 1005);
  assert.equal(await api.promises.uninstallTempFont({ path: 'C:\\absent\\VorlaNone.ttf' }), 1005);
  assert.equal(await api.promises.applyFontForApplication({ family: 'Arial' }, 1), 2001);
  await assert.rejects(api.promises.applyFontForApplication(), TypeError);
});

test('listings, installs, uninstalls, applies and failures at once', async (t) => {
  const sources = fs.mkdtempSync(path.join(os.tmpdir(), 'overlap-'));
  const fonts = ['A', 'B', 'C', 'D'].map((letter) => {
    const file = path.join(sources, `VorlaOverlap${letter}.ttf`);
    fs.writeFileSync(file, renameFont(dejavu, `Vorla Overlap ${letter}`));
    return { family: `Vorla Overlap ${letter}`, path: file, installed: path.join(fontsFolder, `VorlaOverlap${letter}.ttf`) };
  });
  const temps = ['A', 'B', 'C', 'D'].map((letter) => {
    const file = path.join(sources, `VorlaOverlapTemp${letter}.ttf`);
    fs.writeFileSync(file, renameFont(dejavu, `Vorla Overlap Temp ${letter}`));
    return { path: file };
  });
  // Fails inside the library: the version text is not a number.
  const failing = await designStandIn.start('Illustrator.exe', ['--progid', 'Illustrator.Application', '--version', 'beta']);
  t.after(() => failing.stop());
  const word = await standIn.start('WINWORD.EXE', {
    progIds: ['Word.Application'],
    windows: [{ className: 'OpusApp', title: 'Letter' }],
  });
  t.after(() => word.stop());

  const ours = (list) => list.filter((f) => !(f.family ?? '').startsWith('Vorla Overlap'));
  const listing = ours(api.getAvailableFonts());
  const applications = api.getAvailableApplications();
  const p = api.promises;

  const first = await ticking(() => Promise.all([
    p.getAvailableFonts(),
    p.getAvailableFonts(),
    p.getAvailableApplications(),
    p.getPermissions(),
    Promise.all(fonts.map((f) => p.installFont(f))),
    Promise.all(temps.map((f) => p.installTempFont(f))),
    Promise.all([0, 1, 2, 3].map(() => p.applyFontForApplication({ family: 'Arial' }, failing.processId))),
    Promise.all([0, 1].map(() => p.applyFontForApplication({ family: '宋体' }, word.processId))),
  ]));
  const [fontsA, fontsB, apps, permissions, installs, tempInstalls, failures, applies] = first.result;
  assert.deepEqual(ours(fontsA), listing);
  assert.deepEqual(ours(fontsB), listing);
  assert.deepEqual(apps, applications);
  assert.deepEqual(permissions, api.getPermissions());
  assert.deepEqual(installs, [0, 0, 0, 0]);
  assert.deepEqual(tempInstalls, [0, 0, 0, 0]);
  assert.deepEqual(failures, [1111, 1111, 1111, 1111]);
  assert.deepEqual(applies, [0, 0]);
  assert.ok(first.ticks > 0, 'the event loop stood still');
  for (const f of fonts) assert.ok(fs.existsSync(f.installed), f.installed);
  assert.equal(registryNames().filter((n) => n.startsWith('Vorla Overlap')).length, 4);
  assert.equal(word.calls().filter((l) => l.endsWith('PUT Name = 宋体')).length, 2);

  const second = await ticking(() => Promise.all([
    Promise.all(fonts.map((f) => p.uninstallFont({ path: f.installed }))),
    Promise.all(temps.map((f) => p.uninstallTempFont(f))),
    p.getAvailableFonts(),
  ]));
  const [uninstalls, tempUninstalls, fontsC] = second.result;
  assert.deepEqual(uninstalls, [0, 0, 0, 0]);
  assert.deepEqual(tempUninstalls, [0, 0, 0, 0]);
  assert.deepEqual(ours(fontsC), listing);
  assert.ok(second.ticks > 0, 'the event loop stood still');
  // No entry and no file left behind, and every outcome logged once.
  for (const f of fonts) assert.ok(!fs.existsSync(f.installed), f.installed);
  assert.deepEqual(registryNames().filter((n) => n.startsWith('Vorla Overlap')), []);
  assert.equal(logLines(/\[字体安装\]\t\[成功\]/).length, 4);
  assert.equal(logLines(/\[字体卸载\]\t\[成功\]/).length, 4);
  assert.equal(logLines(/\tstoi/).length, 4);
});
