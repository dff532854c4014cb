'use strict';
// The installer helper: Marlet.exe started the way the front end starts it.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');
const marlet = require('../marlet.js');
const binaries = require('./support/binaries.js');
const { writeSampleFont } = require('./support/sampleFonts.js');

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

// Runs work and counts the ticks of a 5 ms timer meanwhile: the event loop must keep running.
async function counting(work) {
  let ticks = 0;
  const timer = setInterval(() => { ticks += 1; }, 5);
  try {
    return { value: await work(), ticks };
  } finally {
    clearInterval(timer);
  }
}

// The shell call of the real start, recorded: what the bridge handed to ShellExecuteExW.
function recordingStart(seen) {
  return (request) => marlet.shellStart(request, (info) => {
    const resultFile = info.lpParameters.match(/ -o "?(.+?result\.json)"?( |$)/)?.[1];
    seen.push({ verb: info.lpVerb, file: info.lpFile, parameters: info.lpParameters, directory: info.lpDirectory,
      resultFileReady: resultFile !== undefined && fs.existsSync(resultFile) });
    return marlet.shellExecute(info);
  });
}

test('a batch through the shell\'s "runas" start, with awkward paths and progress', async () => {
  const dir = path.join(tempDir('marlet-js'), "O'Brien's fonts [字体] 1");
  fs.mkdirSync(dir, { recursive: true });
  const fonts = ['甲', "it's"].map((stem, i) => {
    const family = uniqueFamily(String(i));
    return { family, path: writeSampleFont(path.join(dir, `${stem} ${process.pid}-${fontCounter}.ttf`), family) };
  });
  const missing = { family: 'Missing', path: path.join(dir, 'missing.ttf') };
  const seen = [];
  const events = [];
  const progress = {
    exe: binaries.marlet,
    start: recordingStart(seen),
    onProgress: (index, status) => events.push(['font', index, status]),
    onDone: (count) => events.push(['done', count]),
  };

  const installed = await marlet.runMarlet('install', [fonts[0], missing, fonts[1]], progress);
  assert.deepEqual(installed.codes, [0, 1005, 0]);
  assert.deepEqual(installed.results[1], { data: '', code: '1005' });
  assert.deepEqual(events.splice(0), [['font', 0, 0], ['font', 1, 1005], ['font', 2, 0], ['done', 3]]);
  const copies = fonts.map((f) => path.join(userFontsFolder(), path.basename(f.path)));
  for (const copy of copies) assert.ok(fs.existsSync(copy), copy);

  const removed = await marlet.runMarlet('uninstall', copies.map((p) => ({ path: p })), progress);
  assert.deepEqual(removed.codes, [0, 0]);
  assert.deepEqual(events, [['font', 0, 0], ['font', 1, 0], ['done', 2]]);
  for (const copy of copies) assert.ok(!fs.existsSync(copy), copy);

  assert.deepEqual(seen.map((s) => [s.verb, s.file]), [['runas', binaries.marlet], ['runas', binaries.marlet]]);
  assert.match(seen[0].parameters, /^-i "\[/);
  assert.match(seen[0].parameters, / -o "?.+result\.json"? -w -?\d+$/);
  // Marlet runs in its own folder, and its result file exists before it starts.
  for (const s of seen) assert.deepEqual([s.directory, s.resultFileReady], [path.dirname(s.file), true]);
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
  const installed = await counting(() => marlet.runMarlet('install', [{ family, path: font }], { window: handle, exe: binaries.marlet }));
  assert.deepEqual(installed.value.codes, [0]);
  assert.ok(installed.ticks > 0, 'the event loop ran while Marlet worked');
  const removed = await marlet.runMarlet('uninstall', [{ path: path.join(userFontsFolder(), fileName) }],
    { window: handle, exe: binaries.marlet });
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

test('a thousand fonts go through one run in a list file, with every index reported', async () => {
  // A long folder: the list makes a command line of about 100,000 characters.
  const folder = `C:\\Users\\someone with a long name\\AppData\\Local\\Microsoft\\Windows\\Fonts\\${'sub'.repeat(10)}`;
  const fonts = Array.from({ length: 1000 }, (_, i) => ({ path: `${folder}\\font-${i}-${process.pid}.ttf` }));
  const seen = [];
  const events = [];
  const { value: { codes }, ticks } = await counting(() => marlet.runMarlet('uninstall', fonts, {
    exe: binaries.marlet,
    start: recordingStart(seen),
    onProgress: (index, status) => events.push([index, status]),
    onDone: (count) => events.push(['done', count]),
  }));
  assert.deepEqual(codes, fonts.map(() => 1005));
  assert.ok(ticks > 0, 'the event loop ran while the progress window was pumped');
  assert.deepEqual(events, [...fonts.map((_, i) => [i, 1005]), ['done', 1000]]);
  assert.equal(seen.length, 1);
  const m = seen[0].parameters.match(/^-u "?@(.+list\.json)"? -o "?(.+result\.json)"? -w -?\d+$/);
  assert.ok(m, seen[0].parameters);
  assert.equal(path.dirname(m[1]), path.dirname(m[2]));
  assert.ok(!fs.existsSync(path.dirname(m[1])), 'the run\'s folder is removed');
});

test('a refused start is a clear error and leaves nothing behind', async (t) => {
  const cases = [
    { what: 'declined consent', execute: () => ({ ok: false, error: 1223 }), code: 'ELEVATION_CANCELLED', exe: undefined },
    { what: 'no such program (the real shell call)', execute: marlet.shellExecute, code: 'ENOENT', exe: 'C:\\nowhere\\Marlet.exe' },
  ];
  for (const c of cases) {
    await t.test(c.what, async () => {
      const folders = [];
      const start = (request) => marlet.shellStart(request, (info) => {
        folders.push(path.dirname(info.lpParameters.match(/ -o "?(.+?result\.json)"?( |$)/)[1]));
        return c.execute(info);
      });
      const events = [];
      await assert.rejects(marlet.runMarlet('install', [{ path: 'C:\\x.ttf' }],
        { start, exe: c.exe, onProgress: (...e) => events.push(e) }), { code: c.code });
      assert.equal(folders.length, 1);
      assert.ok(!fs.existsSync(folders[0]), 'the run\'s folder is removed');
      assert.deepEqual(events, []);
    });
  }
});

test('decodeMessage reads the four messages as Marlet sends them', () => {
  const cases = [
    [[0x1401, 2, 1005], { type: 'font', mode: 'install', index: 2, status: 1005 }],
    [[0x1402, 7n, 2n ** 64n - 1n], { type: 'font', mode: 'uninstall', index: 7, status: -1 }],
    [[0x1403, 3, 0], { type: 'end', mode: 'install', count: 3 }],
    [[0x1404, 0n, 2n], { type: 'end', mode: 'uninstall', count: 2 }],
    [[0x0010, 0, 0], null],
  ];
  for (const [args, expected] of cases) assert.deepEqual(marlet.decodeMessage(...args), expected, String(args));
});
