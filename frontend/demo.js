'use strict';
// The demo: what a front end does with the library, step by step, with real output.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const vorla = require('./vorla.js');

function section(title) {
  console.log(`\n== ${title}`);
}

function demoFrame(api, logDir) {
  section('library frame');
  console.log(`version(): ${api.version()}`);
  const rc = api.initial({ logPath: logDir + path.sep, logName: 'demo', language: 'zh-CN', appName: 'VorlaDemo' });
  console.log(`initial(): ${rc}`);
  for (const file of fs.readdirSync(logDir)) {
    console.log(`log file ${file}:`);
    for (const line of fs.readFileSync(path.join(logDir, file), 'utf8').split(/\r?\n/)) {
      if (line) console.log(`  ${line}`);
    }
  }
}

function demoCatalogue(api) {
  section('font catalogue');
  const fonts = api.getAvailableFonts();
  console.log(`getAvailableFonts(): ${fonts.length} faces, for example:`);
  const shown = fonts.filter((f) => /^(VorlaSong-Regular|DejaVuSansMono|DejaVuSerif-Italic|DejaVuSans-Oblique)$/.test(f.postscriptName));
  for (const f of shown.length ? shown : fonts.slice(0, 4)) {
    const flags = [f.italic ? 'italic' : '', f.monospace ? 'monospace' : ''].filter(Boolean).join(' ');
    console.log(`  ${f.postscriptName.padEnd(20)} ${f.family} / ${f.style}  weight ${f.weight} width ${f.width} ${flags}`);
    console.log(`  ${''.padEnd(20)} ${f.path}`);
  }
}

function demoTempFont(api) {
  section('temporary fonts');
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'vorla-temp-'));
  const file = path.join(dir, 'VorlaTemp4.ttf');
  fs.copyFileSync('C:\\VorlaFixtures\\temp\\VorlaTemp4.ttf', file);
  const font = { family: 'Vorla Temp Four', path: file };
  console.log(`installTempFont(${file}): ${api.installTempFont(font)}`);
  console.log(`uninstallTempFont: ${api.uninstallTempFont(font)}; file still there: ${fs.existsSync(file)}`);
  console.log(`uninstallTempFont again: ${api.uninstallTempFont(font)}`);
  const text = path.join(dir, 'notes.ttf');
  fs.writeFileSync(text, 'not a font');
  console.log(`installTempFont(a text file): ${api.installTempFont({ family: 'Notes', path: text })}`);
  console.log(`installTempFont(a missing file): ${api.installTempFont({ family: 'Gone', path: path.join(dir, 'gone.ttf') })}`);
}

function main() {
  const api = vorla.open();
  const logDir = fs.mkdtempSync(path.join(os.tmpdir(), 'vorla-demo-'));
  demoFrame(api, logDir);
  demoCatalogue(api);
  demoTempFont(api);
}

main();
