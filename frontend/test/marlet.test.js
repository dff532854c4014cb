'use strict';
// The installer helper: Marlet.exe started the way the front end starts it.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');
const marlet = require('../marlet.js');
const { writeSampleFont } = require('../sampleFonts.js');

function tempDir(tag) {
  return fs.mkdtempSync(path.join(os.tmpdir(), `${tag}-`));
}
let fontCounter = 0;
function uniqueFamily(tag) {
  fontCounter += 1;
  return `Marlet JS ${tag} ${process.pid}-${Date.now() % 100000}-${fontCounter}`;
}
function userFontsFolder() {
  return path.join(process.env.LOCALAPPDATA, 'Microsoft', 'Windows', 'Fonts');
}

test('the quoted list holds no double quote and reads back as the same list', () => {
  const fonts = [
    { family: `O'Brien "Sans"`, path: 'C:\\fonts\\it\'s\\', postscriptName: 'A\\\'B', style: '粗体' },
    { path: 'C:\\x.ttf' },
  ];
  const quoted = marlet.quoteFontList(fonts);
  assert.ok(!quoted.includes('"'));
  // What Marlet does before parsing: every backslash-apostrophe pair becomes a double quote.
  const parsed = JSON.parse(quoted.replace(/\\'/g, '"'));
  assert.deepEqual(parsed, [
    { family: fonts[0].family, path: fonts[0].path, postscriptName: fonts[0].postscriptName, style: '粗体' },
    { path: 'C:\\x.ttf' },
  ]);
  assert.deepEqual(marlet.marletArguments('uninstall', [], { resultFile: 'r.json', window: 0x10 }),
    ['-u', '[]', '-o', 'r.json', '-w', '16']);
  assert.throws(() => marlet.marletArguments('install', [], { window: 2n ** 31n }));
  assert.throws(() => marlet.marletArguments('remove', []));
});

test('a batch install and uninstall through Marlet, with awkward paths', async () => {
  const dir = path.join(tempDir('marlet-js'), "O'Brien's fonts [字体] 1");
  fs.mkdirSync(dir, { recursive: true });
  const fonts = ['甲', "it's"].map((stem, i) => {
    const family = uniqueFamily(String(i));
    return { family, path: writeSampleFont(path.join(dir, `${stem} ${process.pid}-${fontCounter}.ttf`), family) };
  });
  const missing = { family: 'Missing', path: path.join(dir, 'missing.ttf') };

  const installed = await marlet.runMarlet('install', [fonts[0], missing, fonts[1]]);
  assert.deepEqual(installed.codes, [0, 1005, 0]);
  assert.deepEqual(installed.results[1], { data: '', code: '1005' });
  assert.match(installed.log, /\[字体安装\]\t\[成功\]/);
  const copies = fonts.map((f) => path.join(userFontsFolder(), path.basename(f.path)));
  for (const copy of copies) assert.ok(fs.existsSync(copy), copy);

  const removed = await marlet.runMarlet('uninstall', copies.map((p) => ({ path: p })));
  assert.deepEqual(removed.codes, [0, 0]);
  for (const copy of copies) assert.ok(!fs.existsSync(copy), copy);
});

test('the window handle reaches Marlet and the window gets its messages', async () => {
  const dir = tempDir('marlet-js-w');
  const record = path.join(dir, 'messages.txt');
  const receiverExe = path.join(process.env.VORLA_BUILD_DIR, 'tests', 'bin', 'receiver.exe');
  const out = fs.openSync(path.join(dir, 'receiver.out'), 'w');
  const receiver = spawn(receiverExe, [record], { stdio: ['ignore', out, out] });
  const ended = new Promise((resolve) => receiver.on('exit', resolve));
  let handle;
  for (let i = 0; i < 200 && handle === undefined; i += 1) {
    const text = fs.existsSync(record) ? fs.readFileSync(record, 'utf8') : '';
    const m = text.match(/^ready (-?\d+)\n/);
    if (m) handle = Number(m[1]);
    else await new Promise((r) => setTimeout(r, 25));
  }
  assert.ok(handle, 'the receiver window did not come up');

  const family = uniqueFamily('w');
  const fileName = `w-${process.pid}-${fontCounter}.ttf`;
  const font = writeSampleFont(path.join(dir, fileName), family);
  const installed = await marlet.runMarlet('install', [{ family, path: font }], { window: handle });
  assert.deepEqual(installed.codes, [0]);
  const removed = await marlet.runMarlet('uninstall', [{ path: path.join(userFontsFolder(), fileName) }],
    { window: handle });
  assert.deepEqual(removed.codes, [0]);

  receiver.kill();
  await ended;
  fs.closeSync(out);
  const seen = fs.readFileSync(record, 'utf8').trim().split(/\r?\n/).slice(1)
    .map((l) => l.split(' ').slice(0, 3).map(Number));
  assert.deepEqual(seen, [
    [marlet.messages.installedOne, 0, 0], [marlet.messages.installDone, 1, 0],
    [marlet.messages.uninstalledOne, 0, 0], [marlet.messages.uninstallDone, 0, 1],
  ]);
});

test('a list too long for one command line is refused before anything starts', async () => {
  const folder = 'C:\\Users\\someone\\AppData\\Local\\Microsoft\\Windows\\Fonts';
  const fonts = Array.from({ length: 400 }, (_, i) => ({ path: `${folder}\\font-${i}.ttf` }));
  // A program that does not exist: reaching the start would fail with another error.
  await assert.rejects(marlet.runMarlet('uninstall', fonts, { exe: 'C:\\nowhere\\Marlet.exe' }), /split the list/);
  await assert.rejects(marlet.runMarlet('uninstall', fonts.slice(0, 1), { exe: 'C:\\nowhere\\Marlet.exe' }),
    { code: 'ENOENT' });
});
