'use strict';
// The cost of Marlet's progress messages (run by bench/progress/run.sh with Windows node under Wine).
// One Marlet uninstall run of n missing files (status 1005 each, so that the messages dominate) in
// three ways, alternated round by round: no progress (no window), onProgress (the bridge's window on
// its worker thread; the worker's start and end included), and as reference a native window with a
// GetMessage loop in another process (tests/bin/receiver.exe, which also writes a line per message).
// Prints the best of the rounds per way and the extra time per font over the run without progress.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');
const marlet = require('../../frontend/marlet.js');
const binaries = require('../../frontend/test/support/binaries.js');

const rounds = 3;
const sizes = (process.argv[2] || '1,100,1000,4000').split(',').map(Number);
const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'progress-bench-'));
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// The native reference window: started once, its handle read from its record file.
async function nativeWindow() {
  const record = path.join(dir, 'messages.txt');
  const receiver = spawn(path.join(binaries.buildDir, 'tests', 'bin', 'receiver.exe'), [record], { stdio: 'ignore' });
  for (let i = 0; i < 400; i += 1) {
    const m = (fs.existsSync(record) ? fs.readFileSync(record, 'utf8') : '').match(/^ready (-?\d+)\n/);
    if (m) return { handle: Number(m[1]), close: () => receiver.kill() };
    await sleep(25);
  }
  receiver.kill();
  throw new Error('the receiver window did not come up');
}

async function timed(fonts, options) {
  const start = performance.now();
  const { codes } = await marlet.runMarlet('uninstall', fonts, { exe: binaries.marlet, ...options });
  const ms = performance.now() - start;
  if (codes.length !== fonts.length || codes.some((c) => c !== 1005)) throw new Error('unexpected statuses');
  return ms;
}

async function main() {
  const native = await nativeWindow();
  try {
    console.log('| Fonts | run without progress | `onProgress` (worker) | native window |');
    console.log('|---|---|---|---|');
    for (const n of sizes) {
      const fonts = Array.from({ length: n }, (_, i) => ({ path: `C:\\nowhere\\progress-bench-${i}-${process.pid}.ttf` }));
      let messages = 0;
      const ways = {
        none: {},
        onProgress: { onProgress: () => { messages += 1; }, onDone: () => { messages += 1; } },
        native: { window: native.handle },
      };
      const best = { none: Infinity, onProgress: Infinity, native: Infinity };
      for (let round = 0; round < rounds; round += 1) {
        for (const [way, options] of Object.entries(ways)) best[way] = Math.min(best[way], await timed(fonts, options));
      }
      if (messages !== rounds * (n + 1)) throw new Error(`${messages} progress calls for ${rounds} runs of ${n}`);
      const extra = (way) => `${best[way].toFixed(0)} ms (${((best[way] - best.none) / n).toFixed(2)} ms per font)`;
      console.log(`| ${n} | ${best.none.toFixed(0)} ms | ${extra('onProgress')} | ${extra('native')} |`);
    }
  } finally {
    native.close();
  }
}

main().catch((e) => {
  console.error(e);
  process.exitCode = 1;
});
