'use strict';
// Starts one of the design-application stand-ins of the test build (tests/fixtures/adobe), e.g.
// Illustrator.exe serving "Illustrator.Application" with a chosen Version text.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');

function program(imageName) {
  const buildDir = process.env.VORLA_BUILD_DIR || path.join(__dirname, '..', '..', '..', 'build', 'windows');
  return path.join(buildDir, 'tests', 'fixtures', 'adobe', imageName);
}

// args: the stand-in's own options (--progid, --version, --fail); resolves once it is registered.
async function start(imageName, args) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'vorla-design-'));
  const ready = path.join(dir, 'ready');
  const child = spawn(program(imageName), [...args, '--ready', ready], { stdio: 'ignore' });
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

module.exports = { start };
