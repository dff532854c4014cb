'use strict';
// A front end whose main thread is busy for longer than Windows' hung-window threshold (5 s)
// while Marlet runs: the progress window lives on a worker thread of the bridge, which answers
// every message at once, so Marlet neither skips the window nor waits for the main thread.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { threadId } = require('node:worker_threads');
const marlet = require('../marlet.js');
const binaries = require('./support/binaries.js');
const { writeSampleFont } = require('./support/sampleFonts.js');

const fontsFolder = path.join(process.env.LOCALAPPDATA, 'Microsoft', 'Windows', 'Fonts');
const blockMs = 6000;

// Blocks the main thread: no event loop, no message pump, nothing else of JavaScript runs.
function blockMainThread(ms) {
  const start = Date.now();
  Atomics.wait(new Int32Array(new SharedArrayBuffer(4)), 0, 0, ms);
  return { start, end: Date.now() };
}

function thirtyFonts(tag) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), `marlet-busy-${tag}-`));
  return Array.from({ length: 30 }, (_, i) => {
    const family = `Marlet Busy ${tag} ${process.pid}-${i}`;
    return { family, path: writeSampleFont(path.join(dir, `busy-${tag}-${process.pid}-${i}.ttf`), family) };
  });
}

async function uninstallCopies(fonts) {
  const copies = fonts.map((f) => ({ path: path.join(fontsFolder, path.basename(f.path)) }));
  const removed = await marlet.runMarlet('uninstall', copies, { exe: binaries.marlet });
  assert.deepEqual(removed.codes, copies.map(() => 0));
}

// Runs an install of fonts whose third progress callback calls during() and then blocks the
// main thread for blockMs. Resolves to { outcome, error, events, block }; events holds
// [index, status, answer] per font and ['done', count, answer] at the end.
async function busyRun(fonts, { signal, during } = {}) {
  const events = [];
  let block = null;
  const run = marlet.runMarlet('install', fonts, {
    exe: binaries.marlet,
    signal,
    onProgress: (index, status, answer) => {
      events.push([index, status, answer]);
      if (events.length === 3) {
        during?.();
        block = blockMainThread(blockMs);
      }
    },
    onDone: (count, answer) => events.push(['done', count, answer]),
  });
  try {
    return { outcome: await run, events, block };
  } catch (error) {
    return { error, events, block };
  }
}

// Every answer came from the bridge's worker thread, and those after the third were given while
// the main thread was blocked.
function assertAnsweredByTheWorker(events, block) {
  assert.ok(block, 'the third callback came');
  const threads = new Set(events.map(([, , answer]) => answer?.threadId));
  assert.equal(threads.size, 1, `answers from ${[...threads]}`);
  assert.ok(![...threads].includes(threadId) && ![...threads].includes(undefined), 'the answers came from the worker');
  const inBlock = events.slice(3).filter(([, , answer]) => answer.at >= block.start && answer.at <= block.end);
  assert.ok(inBlock.length > 0, 'no answer was given while the main thread was blocked');
  // Marlet went on during the block: the last message was answered before the block ended.
  assert.ok(events.at(-1)[2].at <= block.end, 'Marlet waited for the main thread');
}

test('a front end busy for 6 s in the third progress callback still gets all 30 messages in order', async () => {
  const fonts = thirtyFonts('all');
  const { outcome, error, events, block } = await busyRun(fonts);
  assert.ifError(error);
  assert.deepEqual(outcome.codes, fonts.map(() => 0));
  assert.deepEqual(events.map(([a, b]) => [a, b]), [...fonts.map((_, i) => [i, 0]), ['done', 30]]);
  assertAnsweredByTheWorker(events, block);
  assert.ok(events.every(([, , answer]) => answer.stop === false));
  await uninstallCopies(fonts);
});

test('a front end that cancels and is then busy for 6 s stops the run while it is blocked', async (t) => {
  const fonts = thirtyFonts('cancel');
  const controller = new AbortController();
  const { outcome, error, events, block } = await busyRun(fonts, { signal: controller.signal, during: () => controller.abort() });
  assert.equal(outcome, undefined, 'the run was not stopped');
  assert.equal(error.name, 'AbortError', error.stack);
  const done = error.results.length;
  t.diagnostic(`${done} of ${fonts.length} fonts finished`);
  assert.ok(done > 3 && done < fonts.length, `${done} fonts finished`);
  assert.deepEqual(error.codes, fonts.slice(0, done).map(() => 0));
  assert.deepEqual(events.map(([a, b]) => [a, b]), [...fonts.slice(0, done).map((_, i) => [i, 0]), ['done', done]]);
  assertAnsweredByTheWorker(events, block);
  // The stop was the answer to the last font's message, given from the flag while the main thread was blocked.
  assert.deepEqual(events.map(([, , answer]) => answer.stop), [...fonts.slice(0, done).map((_, i) => i === done - 1), false]);
  const stopAt = events.at(-2)[2].at;
  assert.ok(stopAt >= block.start && stopAt <= block.end, 'the stop was answered after the block');
  await uninstallCopies(fonts.slice(0, done));
});
