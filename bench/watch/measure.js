'use strict';
// Measures the feed of font changes (run by bench/watch/run.sh with Windows node under Wine):
// the latency from a change to the listener's call, for a registry write and for a broadcast, with
// the default debounce and with none (the detection alone); and the number of calls for Marlet
// batches of 40, 500 and 10,000 fonts installed and uninstalled by another process, with the cost
// of the listing that the front end makes in each call.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const vorla = require('../../frontend/vorla.js');
const marlet = require('../../frontend/marlet.js');
const watch = require('../../frontend/watch.js');
const binaries = require('../../frontend/test/support/binaries.js');
const { writeSampleFont } = require('../../frontend/test/support/sampleFonts.js');

const { koffi } = vorla;
const api = vorla.open(binaries.dll);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const advapi32 = koffi.load('advapi32.dll');
const user32 = koffi.load('user32.dll');
const RegSetKeyValueW = advapi32.func('long __stdcall RegSetKeyValueW(void *key, const char16_t *sub, ' +
  'const char16_t *name, uint32_t type, const char16_t *data, uint32_t size)');
const RegDeleteKeyValueW = advapi32.func('long __stdcall RegDeleteKeyValueW(void *key, const char16_t *sub, const char16_t *name)');
const PostMessageW = user32.func('int __stdcall PostMessageW(void *hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam)');
const HKCU = 0xffffffff80000001n;
const fontsKey = 'SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts';

const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

// Milliseconds from change() to the first listener call, over `rounds` rounds.
async function latency(change, options, rounds = 9) {
  const times = [];
  for (let i = 0; i < rounds; i++) {
    let called = 0;
    const feed = api.watchFonts(() => { called ||= performance.now(); }, options);
    await sleep(100);
    const at = performance.now();
    change();
    while (!called && performance.now() - at < 5000) await sleep(1);
    feed.close();
    if (!called) throw new Error('no call within 5 s');
    times.push(called - at);
    await sleep(100);
  }
  return `median ${median(times).toFixed(0)} ms, max ${Math.max(...times).toFixed(0)} ms`;
}

// Listener calls during one Marlet run and until nothing came for 2 s, against the most the
// debounce allows (one call per maxWaitMs of the run, one more for its end); each call lists the
// fonts, as the front end does, and the listings are timed.
async function callsOfBatch(mode, fonts) {
  const calls = [];
  const listings = [];
  const feed = api.watchFonts(async ({ sources }) => {
    calls.push(sources.join('+'));
    const at = performance.now();
    await api.promises.getAvailableFonts();
    listings.push(performance.now() - at);
  });
  const started = performance.now();
  const { codes } = await marlet.runMarlet(mode, fonts, { exe: binaries.marlet });
  const ran = performance.now() - started;
  for (let seen = -1; seen !== calls.length + listings.length;) {
    seen = calls.length + listings.length;
    await sleep(2000);
  }
  feed.close();
  const failed = codes.filter((c) => c !== 0).length;
  const bound = Math.ceil(ran / watch.defaults.maxWaitMs) + 1;
  const sources = [...new Set(calls)].join(', ');
  return `${calls.length} calls (at most ${bound}; ${sources}) for a run of ${ran.toFixed(0)} ms` +
    `${failed ? `, ${failed} failed` : ''}; a listing in each: ` +
    (listings.length ? `median ${median(listings).toFixed(0)} ms, max ${Math.max(...listings).toFixed(0)} ms` : 'none');
}

async function main() {
  // A new value each time: rewriting a value with the same data changes nothing under Wine.
  const written = [];
  const write = () => {
    const name = `Vorla Watch Bench ${process.pid} ${written.length}`;
    const data = 'x.ttf';
    RegSetKeyValueW(HKCU, fontsKey, name, 1, data, 2 * (data.length + 1));
    written.push(name);
  };
  const post = () => PostMessageW(0xffffn, 0x1d, 0, 0);
  console.log(`registry write, default debounce: ${await latency(write, {})}`);
  console.log(`registry write, no debounce:      ${await latency(write, { debounceMs: 0, maxWaitMs: 0 })}`);
  console.log(`broadcast, default debounce:      ${await latency(post, {})}`);
  console.log(`broadcast, no debounce:           ${await latency(post, { debounceMs: 0, maxWaitMs: 0 })}`);
  for (const name of written) RegDeleteKeyValueW(HKCU, fontsKey, name);

  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'watch-bench-'));
  const first = performance.now();
  const listed = (await api.promises.getAvailableFonts()).length;
  console.log(`first listing: ${listed} faces in ${(performance.now() - first).toFixed(0)} ms`);
  for (const size of [40, 500, 10000]) {
    const fonts = Array.from({ length: size }, (_, i) => {
      const family = `Watch Bench ${size} ${i} ${process.pid}`;
      return { family, path: writeSampleFont(path.join(dir, `wb-${size}-${i}.ttf`), family) };
    });
    console.log(`Marlet install of ${size}:   ${await callsOfBatch('install', fonts)}`);
    const copies = fonts.map((f) => ({ path: path.join(process.env.LOCALAPPDATA, 'Microsoft', 'Windows', 'Fonts', path.basename(f.path)) }));
    console.log(`Marlet uninstall of ${size}: ${await callsOfBatch('uninstall', copies)}`);
  }
}

main().catch((e) => {
  console.error(e);
  process.exitCode = 1;
});
