'use strict';
// The library frame through the bridge: version, initial and the log file it configures.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const vorla = require('../vorla.js');
const binaries = require('./support/binaries.js');

const api = vorla.open(binaries.dll);

function tempDir(tag) {
  return fs.mkdtempSync(path.join(os.tmpdir(), `${tag}-`));
}
function today() {
  const d = new Date();
  return `${d.getFullYear()}${String(d.getMonth() + 1).padStart(2, '0')}${String(d.getDate()).padStart(2, '0')}`;
}
function logLines(file) {
  return fs.readFileSync(file, 'utf8').split(/\r?\n/).filter((l) => l.length > 0);
}
// Runs a small script in a separate Windows node process, its output captured through files.
function runChild(source, cwd) {
  const dir = tempDir('child');
  const script = path.join(dir, 'child.js');
  fs.writeFileSync(script, source);
  const out = fs.openSync(path.join(dir, 'out.txt'), 'w');
  const err = fs.openSync(path.join(dir, 'err.txt'), 'w');
  const r = spawnSync(process.execPath, [script], { cwd, stdio: ['ignore', out, err], env: process.env });
  fs.closeSync(out);
  fs.closeSync(err);
  return {
    status: r.status,
    stdout: fs.readFileSync(path.join(dir, 'out.txt'), 'utf8'),
    stderr: fs.readFileSync(path.join(dir, 'err.txt'), 'utf8'),
  };
}
const bridgePath = JSON.stringify(path.join(__dirname, '..', 'vorla.js'));

const LINE = /^\[(INFO|DEBUG|WARNING|ERROR) \| \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2},\d{3} \| [^\]]+ \] \| (.*)$/;

test('the record layouts match the library', () => {
  assert.doesNotThrow(() => vorla.checkLayout());
});

test('version is "1.0.0" before and after initial, at the same address', () => {
  const before = api.raw.versionPointer();
  assert.equal(api.version(), '1.0.0');
  const dir = tempDir('ver');
  assert.equal(api.initial({ logPath: dir + path.sep }), 1);
  assert.equal(api.version(), '1.0.0');
  assert.equal(vorla.koffi.address(api.raw.versionPointer()), vorla.koffi.address(before));
});

test('initial writes the dated log file with the success and start-up lines', () => {
  const dir = tempDir('log');
  const prefix = dir + path.sep;
  assert.equal(api.initial({ logPath: prefix, logName: '' }), 1);
  const file = path.join(dir, `Vorla_${today()}.log`);
  assert.ok(fs.existsSync(file), `expected ${file}, found ${fs.readdirSync(dir)}`);
  const lines = logLines(file);
  for (const line of lines) assert.match(line, LINE);
  const messages = lines.map((l) => l.match(LINE)[2]);
  assert.equal(messages[0], `[初始化]\t[成功]\t(loglevel:)\t(logPath:${prefix}Vorla)`);
  assert.match(lines[0], /^\[INFO \| /);
  // Null and empty texts keep the defaults.
  assert.equal(messages[1], '[系统信息]\t[Language:zh-CN]\t[appName:Vorla appId:com.vorla.fontmanager]\t[version:1.0.0]');
});

test('a named stem, new settings, and a second initial moving the log', () => {
  const first = tempDir('first');
  const second = tempDir('second');
  api.initial({ logPath: first + path.sep, logName: 'app', language: 'en-us', appName: 'Demo', appId: 'org.example.demo' });
  api.initial({ logPath: second + path.sep, logName: 'app', language: '', appName: null, appId: '' });
  const firstLines = logLines(path.join(first, `app_${today()}.log`));
  const secondLines = logLines(path.join(second, `app_${today()}.log`));
  assert.equal(firstLines.length, 2);
  assert.match(firstLines[1], /\[系统信息\]\t\[Language:en-us\]\t\[appName:Demo appId:org\.example\.demo\]\t\[version:1\.0\.0\]$/);
  // Empty texts keep the values of the first call; the lines go to the new file only.
  assert.equal(secondLines.length, 2);
  assert.match(secondLines[1], /\[Language:en-us\]\t\[appName:Demo appId:org\.example\.demo\]/);
});

test('a null or empty logPath configures no file, and nothing reaches standard output', () => {
  for (const logPath of ['null', '""']) {
    const cwd = tempDir('nolog');
    const r = runChild(
      `const api = require(${bridgePath}).open(${JSON.stringify(binaries.dll)});\n` +
        `process.exitCode = api.initial({ logPath: ${logPath}, logName: 'x' }) === 1 ? 0 : 3;\n`,
      cwd,
    );
    assert.equal(r.status, 0, r.stderr);
    assert.equal(r.stdout, '');
    assert.deepEqual(fs.readdirSync(cwd), []);
  }
});

test('after initial with a log file, no line reaches standard output', () => {
  const dir = tempDir('quiet');
  const r = runChild(
    `const api = require(${bridgePath}).open(${JSON.stringify(binaries.dll)});\n` +
      `api.initial({ logPath: ${JSON.stringify(dir + path.sep)} });\n` +
      `api.initial({ logPath: ${JSON.stringify(dir + path.sep)}, logName: 'again' });\n`,
    dir,
  );
  assert.equal(r.status, 0, r.stderr);
  assert.equal(r.stdout, '');
  assert.ok(fs.readdirSync(dir).some((f) => f.startsWith('again_')));
});

test('release functions accept null', () => {
  api.raw.releaseFontData(null);
  api.raw.releaseWindowData(null);
  api.raw.releaseVPermission(null);
});
