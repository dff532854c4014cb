'use strict';
// The feed of font changes: watchFonts reports changes of the Fonts keys and WM_FONTCHANGE
// broadcasts from this process and from others, a burst as a handful of calls, and stops cleanly.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');
const vorla = require('../vorla.js');
const marlet = require('../marlet.js');
const watch = require('../watch.js');
const binaries = require('./support/binaries.js');
const { writeSampleFont } = require('./support/sampleFonts.js');

const api = vorla.open(binaries.dll);
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'watch-'));
const userFontsKey = 'HKCU\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts';
const userFontsFolder = path.join(process.env.LOCALAPPDATA, 'Microsoft', 'Windows', 'Fonts');
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
let counter = 0;
const unique = (tag) => `Vorla Watch ${tag} ${process.pid}-${Date.now() % 100000}-${(counter += 1)}`;

// Runs a program to its end without holding the event loop; resolves to its exit code.
function run(file, args) {
  return new Promise((resolve, reject) => {
    spawn(file, args, { stdio: 'ignore' }).on('error', reject).on('exit', resolve);
  });
}

// The listener's calls, and a way to wait for them.
function recorder() {
  const calls = [];
  return {
    calls,
    listener: (change) => calls.push(change.sources),
    async settled(atLeast, quietMs = 1500, limitMs = 20000) {
      const end = Date.now() + limitMs;
      let seen = -1;
      while (Date.now() < end && (calls.length < atLeast || calls.length !== seen)) {
        seen = calls.length;
        await sleep(calls.length < atLeast ? 50 : quietMs);
      }
      return calls;
    },
  };
}

test('a change from this process or another reaches the listener, with what changed', async (t) => {
  const cases = [
    {
      what: 'installFont in this process: the per-user key and a broadcast',
      sources: ['broadcast', 'user'],
      async act() {
        const family = unique('install');
        const file = writeSampleFont(path.join(work, `${family}.ttf`), family);
        assert.equal(api.installFont({ path: file }), 0);
        return () => assert.equal(api.uninstallFont({ path: path.join(userFontsFolder, path.basename(file)) }), 0);
      },
    },
    {
      what: 'a temporary font in this process: a broadcast alone',
      sources: ['broadcast'],
      async act() {
        const family = unique('temp');
        const font = { family, path: writeSampleFont(path.join(work, `${family}.ttf`), family) };
        assert.equal(api.installTempFont(font), 0);
        return () => assert.equal(api.uninstallTempFont(font), 0);
      },
    },
    {
      what: 'reg add in another process: the per-user key alone, no broadcast',
      sources: ['user'],
      async act() {
        const name = unique('reg');
        assert.equal(await run('reg.exe', ['add', userFontsKey, '/v', name, '/d', 'x.ttf', '/f']), 0);
        return async () => assert.equal(await run('reg.exe', ['delete', userFontsKey, '/v', name, '/f']), 0);
      },
    },
  ];
  for (const c of cases) {
    await t.test(c.what, async () => {
      const r = recorder();
      const feed = api.watchFonts(r.listener);
      let undo;
      try {
        undo = await c.act();
        assert.deepEqual(await r.settled(1), [c.sources]);
      } finally {
        feed.close();
        await undo?.();
      }
    });
  }
});

test('a Marlet batch of 40 fonts in another process gives a handful of calls', async () => {
  const fonts = Array.from({ length: 40 }, (_, i) => {
    const family = unique(`batch ${i}`);
    return { family, path: writeSampleFont(path.join(work, `${family}.ttf`), family) };
  });
  const r = recorder();
  const feed = api.watchFonts(r.listener);
  try {
    const { codes } = await marlet.runMarlet('install', fonts, { exe: binaries.marlet });
    assert.deepEqual(codes, fonts.map(() => 0));
    const calls = await r.settled(1);
    assert.ok(calls.length <= 5, `${calls.length} calls: ${JSON.stringify(calls)}`);
    assert.deepEqual([...new Set(calls.flat())].sort(), ['broadcast', 'user']);
  } finally {
    feed.close();
    const copies = fonts.map((f) => ({ path: path.join(userFontsFolder, path.basename(f.path)) }));
    await marlet.runMarlet('uninstall', copies, { exe: binaries.marlet });
  }
});

test('a missing key is watched through its parent until it appears, then itself', async () => {
  const parent = `Software\\Vorla Watch Test ${process.pid}`;
  const key = { source: 'test', root: 'HKCU', path: `${parent}\\a\\Fonts` };
  const r = recorder();
  const feed = watch.watchFonts(r.listener, {}, [key]);
  try {
    assert.equal(await run('reg.exe', ['add', `HKCU\\${key.path}`, '/v', 'first', '/d', '1', '/f']), 0);
    assert.deepEqual(await r.settled(1), [['test']]);
    assert.equal(await run('reg.exe', ['add', `HKCU\\${key.path}`, '/v', 'second', '/d', '2', '/f']), 0);
    assert.deepEqual(await r.settled(2), [['test'], ['test']]);
  } finally {
    feed.close();
    await run('reg.exe', ['delete', `HKCU\\${parent}`, '/f']);
  }
});

// In a child node process: two feeds see the same registry change; one is closed before its call
// was due, the other a second later. The child must then end by itself, with its timer having
// ticked all along.
test('no call after close(), and the process ends by itself after close()', async () => {
  const dir = fs.mkdtempSync(path.join(work, 'child-'));
  const script = path.join(dir, 'child.js');
  const result = path.join(dir, 'result.json');
  const name = unique('close');
  fs.writeFileSync(script, `'use strict';
const fs = require('node:fs');
const { spawn } = require('node:child_process');
const api = require(${JSON.stringify(path.join(__dirname, '..', 'vorla.js'))}).open(${JSON.stringify(binaries.dll)});
const calls = { closedEarly: 0, closedLate: 0 };
let ticks = 0;
const ticking = setInterval(() => { ticks += 1; }, 5);
const early = api.watchFonts(() => { calls.closedEarly += 1; }, { debounceMs: 600, maxWaitMs: 600 });
const late = api.watchFonts(() => { calls.closedLate += 1; }, { debounceMs: 600, maxWaitMs: 600 });
spawn('reg.exe', ['add', ${JSON.stringify(userFontsKey)}, '/v', ${JSON.stringify(name)}, '/d', 'x.ttf', '/f'],
  { stdio: 'ignore' }).on('exit', () => {
  setTimeout(() => { early.close(); early.close(); }, 200);
  setTimeout(() => {
    late.close();
    clearInterval(ticking);
    fs.writeFileSync(${JSON.stringify(result)}, JSON.stringify({ calls, ticks }));
  }, 1600);
});
`);
  const out = fs.openSync(path.join(dir, 'out.txt'), 'w');
  const child = spawn(process.execPath, [script], { stdio: ['ignore', out, out] });
  const limit = setTimeout(() => child.kill(), 30000);
  const code = await new Promise((resolve) => child.on('exit', resolve));
  clearTimeout(limit);
  fs.closeSync(out);
  await run('reg.exe', ['delete', userFontsKey, '/v', name, '/f']);
  assert.equal(code, 0, `the child did not end by itself: ${fs.readFileSync(path.join(dir, 'out.txt'), 'utf8')}`);
  const { calls, ticks } = JSON.parse(fs.readFileSync(result, 'utf8'));
  assert.deepEqual(calls, { closedEarly: 0, closedLate: 1 });
  assert.ok(ticks >= 20, `the timer ticked ${ticks} times in about 2 s of watching`);
});

// libuv's thread pool (four threads by default) also serves fs and the promises calls: however many
// feeds run, they must hold one of its threads at most.
test('five feeds at once leave the thread pool free for the promises calls', async () => {
  const feeds = Array.from({ length: 5 }, () => api.watchFonts(() => {}));
  try {
    let limit;
    const listed = await Promise.race([
      Promise.all([api.promises.getAvailableFonts(), fs.promises.readdir(work)]),
      new Promise((resolve) => { limit = setTimeout(resolve, 10000, null); }),
    ]);
    clearTimeout(limit);
    assert.ok(listed, 'the promises calls did not end within 10 s');
  } finally {
    for (const feed of feeds) feed.close();
  }
});
