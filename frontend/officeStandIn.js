'use strict';
// Starts one of the office stand-in programs of the test build (tests/fixtures/office) for the bridge
// tests and the demo: real windows with the applications' image names and classes, and automation
// objects in the running-object table that record every call they receive.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');

function program(imageName) {
  const buildDir = process.env.VORLA_BUILD_DIR || path.join(__dirname, '..', 'build', 'windows');
  return path.join(buildDir, 'tests', 'bin', 'office', imageName);
}

// options: { progIds: [], windows: [{ className, title, hidden }], failing: [], nulls: [] }
async function start(imageName, options = {}) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'vorla-standin-'));
  const ready = path.join(dir, 'ready');
  const record = path.join(dir, 'calls.txt');
  const args = ['--ready', ready, '--record', record];
  for (const id of options.progIds ?? []) args.push('--progid', id);
  for (const w of options.windows ?? []) args.push(w.hidden ? '--hidden' : '--window', w.className, w.title);
  for (const m of options.failing ?? []) args.push('--fail', m);
  for (const m of options.nulls ?? []) args.push('--null', m);
  const child = spawn(program(imageName), args, { stdio: 'ignore' });
  let exited = null;
  child.on('exit', (code) => { exited = code; });
  const deadline = Date.now() + 90000;
  while (!fs.existsSync(ready)) {
    if (exited !== null) throw new Error(`${imageName} ended early with code ${exited}`);
    if (Date.now() > deadline) {
      child.kill();
      throw new Error(`${imageName} did not come up`);
    }
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  return {
    processId: child.pid,
    // The calls the application objects received, one line each.
    calls() {
      return fs.existsSync(record) ? fs.readFileSync(record, 'utf8').split('\n').filter((l) => l.length > 0) : [];
    },
    async stop() {
      if (exited === null) {
        const gone = new Promise((resolve) => child.once('exit', resolve));
        child.kill();
        await gone;
      }
      fs.rmSync(dir, { recursive: true, force: true });
    },
  };
}

module.exports = { start, program };
