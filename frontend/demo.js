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

// Batch install and uninstall through the installer Marlet.exe, started as the front end starts it.
async function demoMarlet() {
  section('installer Marlet.exe: batch install and uninstall');
  const marlet = require('./marlet.js');
  const { writeSampleFont } = require('./sampleFonts.js');
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'vorla-demo-fonts-'));
  const stamp = `${process.pid}-${Date.now() % 100000}`;
  const fonts = [
    ['Demo Sans', `demo-sans-${stamp}.ttf`],
    ['Demo Serif', `demo-serif-${stamp}.ttf`],
    ['Demo Hei', `演示黑体-${stamp}.ttf`, '演示黑体'],
  ].map(([family, file, chinese]) => ({
    family,
    path: writeSampleFont(path.join(dir, file), `${family} ${stamp}`, chinese && `${chinese} ${stamp}`),
  }));
  fonts.push({ family: 'Missing', path: path.join(dir, 'missing.ttf') });
  for (const f of fonts) console.log(`  ${f.path}`);

  const installed = await marlet.runMarlet('install', fonts);
  console.log(`Marlet -i, ${fonts.length} fonts -> ${JSON.stringify(installed.results)}`);
  for (const line of installed.log.split(/\r?\n/)) if (line) console.log(`  ${line}`);

  const folder = path.join(process.env.LOCALAPPDATA, 'Microsoft', 'Windows', 'Fonts');
  const copies = fonts.slice(0, 3).map((f) => ({ path: path.join(folder, path.basename(f.path)) }));
  for (const c of copies) console.log(`  installed copy ${c.path}: ${fs.existsSync(c.path) ? 'present' : 'MISSING'}`);

  const removed = await marlet.runMarlet('uninstall', copies);
  console.log(`Marlet -u, ${copies.length} fonts -> ${JSON.stringify(removed.results)}`);
  for (const line of removed.log.split(/\r?\n/)) if (line) console.log(`  ${line}`);
  for (const c of copies) console.log(`  ${c.path}: ${fs.existsSync(c.path) ? 'still there' : 'removed'}`);
}

async function main() {
  const api = vorla.open();
  const logDir = fs.mkdtempSync(path.join(os.tmpdir(), 'vorla-demo-'));
  demoFrame(api, logDir);
  await demoMarlet();
}

main().catch((e) => {
  console.error(e);
  process.exitCode = 1;
});
