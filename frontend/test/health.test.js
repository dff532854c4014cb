'use strict';
// Font health through the bridge: checkFonts finds broken entries of both scopes, repairFonts repairs the
// per-user ones in the library and the all-users ones in one Marlet run.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const vorla = require('../vorla.js');
const marlet = require('../marlet.js');
const binaries = require('./support/binaries.js');
const { writeSampleFont } = require('./support/sampleFonts.js');

const api = vorla.open(binaries.dll);
const userFonts = path.join(process.env.LOCALAPPDATA, 'Microsoft', 'Windows', 'Fonts');
const machineFonts = 'C:\\windows\\Fonts';
const fontsKey = (root) => `${root}\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts`;
const tag = `${process.pid}-${Date.now() % 100000}`;

function tempDir(name) {
  return fs.mkdtempSync(path.join(os.tmpdir(), `${name}-`));
}

// reg.exe with its output in a file (Windows node cannot read a pipe under Wine): the exit status, the text.
function reg(...args) {
  const file = path.join(tempDir('reg'), 'out.txt');
  const out = fs.openSync(file, 'w');
  const r = spawnSync('reg.exe', args, { stdio: ['ignore', out, 'ignore'] });
  fs.closeSync(out);
  return { status: r.status, text: fs.readFileSync(file, 'latin1') };
}
const setEntry = (root, name, data) => assert.equal(reg('add', fontsKey(root), '/v', name, '/t', 'REG_SZ', '/d', data, '/f').status, 0);
const hasEntry = (root, name) => reg('query', fontsKey(root), '/v', name).status === 0;
const removeEntry = (root, name) => reg('delete', fontsKey(root), '/v', name, '/f');

test('the FontHealth record is laid out as the library lays it out', () => {
  const offsets = { kind: 0, scope: 4, valueName: 8, path: 16, detail: 24, group: 32, fontRevision: 36, size: 40, postscriptName: 48 };
  for (const [member, offset] of Object.entries(offsets)) assert.equal(vorla.koffi.offsetof(vorla.records.FontHealth, member), offset, member);
  assert.equal(vorla.koffi.sizeof(vorla.records.FontHealth), vorla.recordSizes.FontHealth);
  assert.equal(vorla.recordSizes.FontHealth, 56);
});

test('a check finds a broken entry of each scope and the repair mends both', async () => {
  fs.mkdirSync(userFonts, { recursive: true });
  const gone = `Bridge Gone ${tag} (TrueType)`;
  const goneFile = path.join(userFonts, `bridge-gone-${tag}.ttf`);
  setEntry('HKCU', gone, goneFile); // a copy deleted by hand
  const notes = `Bridge Notes ${tag} (TrueType)`;
  const notesFile = path.join(machineFonts, `bridge-notes-${tag}.ttf`);
  fs.writeFileSync(notesFile, 'not a font');
  setEntry('HKLM', notes, path.basename(notesFile));
  const copy = path.join(userFonts, `bridge-unnamed-${tag}.ttf`);
  writeSampleFont(copy, `Bridge Unnamed ${tag}`);
  try {
    const found = await api.checkFonts();
    const ours = [
      found.find((f) => f.valueName === gone),
      found.find((f) => f.valueName === notes),
      found.find((f) => f.valueName === '' && f.path.toLowerCase() === copy.toLowerCase()),
    ];
    assert.deepEqual(ours.map((f) => f && [f.kind, f.scope]), [['missingFile', 0], ['notLoadable', 1], ['unnamedCopy', 0]]);
    assert.equal(ours[0].path, goneFile);
    assert.equal(ours[0].size, -1);
    assert.equal(ours[1].size, 'not a font'.length);
    assert.equal(ours[2].postscriptName, `BridgeUnnamed${tag}`);
    for (const f of ours) assert.ok(f.detail.length > 0 && typeof f.group === 'number' && typeof f.fontRevision === 'number');

    const progress = [];
    const codes = await api.repairFonts(ours, { exe: binaries.marlet, onProgress: (index, code) => progress.push([index, code]) });
    assert.deepEqual(codes, [0, 0, 0]);
    assert.deepEqual(progress, [[1, 0]]); // the all-users finding, by its index in the list given
    assert.equal(hasEntry('HKCU', gone), false);
    assert.equal(hasEntry('HKLM', notes), false);
    assert.ok(fs.existsSync(notesFile), 'the file that is no font is kept');
    assert.ok(!fs.existsSync(copy));

    const again = await api.promises.checkFonts();
    assert.deepEqual(again.filter((f) => f.valueName === gone || f.valueName === notes || f.path === copy), []);
    // Repaired findings no longer hold; a kind the library does not know is not repaired.
    assert.deepEqual(await api.repairFonts([ours[0], { ...ours[0], kind: 'brokenish' }]), [1005, 1111]);
    assert.deepEqual(await api.repairFonts([]), []);
  } finally {
    removeEntry('HKCU', gone);
    removeEntry('HKLM', notes);
    fs.rmSync(notesFile, { force: true });
    fs.rmSync(copy, { force: true });
  }
});

test('the findings list Marlet reads back is the one given', () => {
  const findings = [
    { kind: 'missingFile', scope: 1, valueName: `O'Brien "Sans" (TrueType)`, path: 'C:\\Windows\\Fonts\\it\'s.ttf', size: -1, group: 0 },
    { kind: 'notLoadable', scope: 1, path: 'C:\\x.ttf', detail: '', keep: true },
  ];
  const quoted = marlet.quoteFindingList(findings);
  assert.ok(!quoted.includes('"'));
  assert.deepEqual(JSON.parse(quoted.replace(/\\'/g, '"')), [
    { kind: 'missingFile', scope: 1, valueName: findings[0].valueName, path: findings[0].path, group: 0, size: -1, keep: false },
    { kind: 'notLoadable', scope: 1, path: 'C:\\x.ttf', keep: true },
  ]);
  assert.deepEqual(marlet.marletArguments('repair', [], { resultFile: 'r.json' }), ['-r', '[]', '-o', 'r.json']);
  assert.deepEqual(marlet.decodeMessage(0x1405, 2, 1005), { type: 'font', mode: 'repair', index: 2, status: 1005 });
  assert.deepEqual(marlet.decodeMessage(0x1406, 3, 0), { type: 'end', mode: 'repair', count: 3 });
});
