'use strict';
// Starts one of the design-application stand-ins of the test build (tests/fixtures/adobe), e.g.
// Illustrator.exe serving "Illustrator.Application" with a chosen Version text.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { launch } = require('./officeStandIn');

function program(imageName) {
  const buildDir = process.env.VORLA_BUILD_DIR || path.join(__dirname, '..', '..', '..', 'build', 'windows');
  return path.join(buildDir, 'tests', 'fixtures', 'adobe', imageName);
}

// args: the stand-in's own options (--progid, --version, --fail); resolves once it is registered.
async function start(imageName, args) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'vorla-design-'));
  const ready = path.join(dir, 'ready');
  return launch(program(imageName), [...args, '--ready', ready], imageName, () =>
    fs.rmSync(dir, { recursive: true, force: true }));
}

module.exports = { start };
