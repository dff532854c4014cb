'use strict';
// Temporary fonts through the bridge: statuses, the file's fate and the log lines.
//
// The library calls run in a child node process whose output goes to files: posting
// WM_FONTCHANGE can make Wine start its desktop process, which inherits the standard handles
// of the process that started it; were those the test runner's pipes, the runner would wait
// for them forever.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const binaries = require('./support/binaries.js');

const logDir = fs.mkdtempSync(path.join(os.tmpdir(), 'tempfont-log-'));
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tempfont-'));
const bridgePath = JSON.stringify(path.join(__dirname, '..', 'vorla.js'));

// Runs `body` (the text of a function of `api`) in a child node process; returns its JSON result.
function withLibrary(body) {
  const dir = fs.mkdtempSync(path.join(work, 'child-'));
  const script = path.join(dir, 'child.js');
  const result = path.join(dir, 'result.json');
  fs.writeFileSync(script, `'use strict';
const fs = require('node:fs');
const api = require(${bridgePath}).open(${JSON.stringify(binaries.dll)});
api.initial({ logPath: ${JSON.stringify(logDir + path.sep)}, logName: 'temp' });
fs.writeFileSync(${JSON.stringify(result)}, JSON.stringify((${body})(api)));
`);
  const out = fs.openSync(path.join(dir, 'out.txt'), 'w');
  const r = spawnSync(process.execPath, [script], { stdio: ['ignore', out, out] });
  fs.closeSync(out);
  assert.equal(r.status, 0, fs.readFileSync(path.join(dir, 'out.txt'), 'utf8'));
  return JSON.parse(fs.readFileSync(result, 'utf8'));
}

function logMessages() {
  const [file] = fs.readdirSync(logDir);
  return fs.readFileSync(path.join(logDir, file), 'utf8').split(/\r?\n/).filter(Boolean)
    .map((l) => l.replace(/^\[(\w+) \|.*? \] \| /, '$1 '));
}
// A copy of one of the test prefix's unregistered fonts, each with a family of its own
// (C:\VorlaFixtures\temp\VorlaTempN.ttf, "Vorla Temp One" ...); each is used once per run.
function fontCopy(n) {
  const file = path.join(work, `VorlaTemp${n}.ttf`);
  fs.copyFileSync(`C:\\VorlaFixtures\\temp\\VorlaTemp${n}.ttf`, file);
  return file;
}

test('install, uninstall, uninstall again: 0, 0 (file deleted), 1005', () => {
  const file = fontCopy(1);
  const font = JSON.stringify({ family: 'Vorla Temp One', path: file });
  const statuses = withLibrary(`(api) => [api.installTempFont(${font}), api.uninstallTempFont(${font}),
                                          api.uninstallTempFont(${font})]`);
  assert.deepEqual(statuses, [0, 0, 1005]);
  assert.equal(fs.existsSync(file), false);
  assert.ok(logMessages().includes(`INFO install Temp Font SUCCESS to family:Vorla Temp One path:${file}`));
});

test('a missing file gives 1005 and a file that is not a font 1007, without a success line', () => {
  const missing = path.join(work, 'missing.ttf');
  const text = path.join(work, 'text.ttf');
  fs.writeFileSync(text, 'not a font');
  for (const [file, status, error, platform] of [
    [missing, 1005, 'install Temp Font Fail. Not Found FontFile to family:X', []],
    // The platform's code of the refusal follows (Wine sets none for a file that is not a font).
    [text, 1007, 'install Temp Font Fail. Platform refused FontFile to family:X',
      ['DEBUG [平台调用]\t[AddFontResourceW]\t(error 0, 0x00000000)']],
  ]) {
    const before = logMessages().length;
    const font = JSON.stringify({ family: 'X', path: file });
    assert.equal(withLibrary(`(api) => api.installTempFont(${font})`), status, file);
    assert.deepEqual(logMessages().slice(before + 2), [  // after initial's two lines
      `DEBUG install Temp Font family:X path:${file}`,
      `ERROR ${error} path:${file}`,
      ...platform,
    ]);
  }
  assert.ok(fs.existsSync(text));
});

test('uninstalling a file that was never registered gives 1003 and keeps the file', () => {
  const file = fontCopy(2);
  const font = JSON.stringify({ family: 'Vorla Temp Two', path: file });
  assert.equal(withLibrary(`(api) => api.uninstallTempFont(${font})`), 1003);
  assert.ok(fs.existsSync(file));
});
