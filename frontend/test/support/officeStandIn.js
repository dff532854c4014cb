'use strict';
// Starts one of the office stand-in programs of the test build (tests/fixtures/office) for the bridge
// tests and the demo: real windows with the applications' image names and classes, and automation
// objects in the running-object table that record every call they receive.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');
const { noteHarnessFault } = require('./harnessFault.js');

function program(imageName) {
  const buildDir = process.env.VORLA_BUILD_DIR || path.join(__dirname, '..', '..', '..', 'build', 'windows');
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
  const standIn = await launch(program(imageName), args, imageName, () => fs.rmSync(dir, { recursive: true, force: true }));
  // The calls the application objects received, one line each.
  standIn.calls = () =>
    fs.existsSync(record) ? fs.readFileSync(record, 'utf8').split('\n').filter((l) => l.length > 0) : [];
  return standIn;
}

// Starts a stand-in program that creates the file named after '--ready' once it is registered, and waits
// for it. The returned stop() ends the program, then runs cleanUp. A start takes well under a second; one
// that has not come up within 30 s, or ended first, failed in Wine before the test touched it: the harness
// is told (harnessFault.js), and runs the test file again in a new session.
async function launch(exe, args, label, cleanUp) {
  const ready = args[args.indexOf('--ready') + 1];
  const child = spawn(exe, args, { stdio: 'ignore' });
  let exited = null;
  child.on('exit', (code) => { exited = code; });
  const comeUpMs = 30000;
  const deadline = Date.now() + comeUpMs;
  const failed = (what) => {
    noteHarnessFault(what);
    return new Error(what);
  };
  while (!fs.existsSync(ready)) {
    if (exited !== null) throw failed(`${label} ended early with code ${exited}`);
    if (Date.now() > deadline) {
      child.kill();
      throw failed(`${label} did not come up within ${comeUpMs / 1000} s`);
    }
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  return {
    processId: child.pid,
    async stop() {
      if (exited === null) {
        const gone = new Promise((resolve) => child.once('exit', resolve));
        child.kill();
        await gone;
      }
      cleanUp();
    },
  };
}

module.exports = { start, program, launch };
