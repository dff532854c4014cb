'use strict';
// The demo: what a front end does with the library, step by step, with real output.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');
const vorla = require('./vorla.js');
const standIn = require('./officeStandIn.js');

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

// Running applications and applying a font: a stand-in Word (the test build's WINWORD.EXE, with a real
// window and an automation object in the running-object table) receives the font on its selection.
async function demoApps(api, logDir) {
  section('running applications and applying a font');
  console.log(`getAvailableApplications() with nothing running: ${JSON.stringify(api.getAvailableApplications())}`);
  const word = await standIn.start('WINWORD.EXE', {
    progIds: ['Word.Application'],
    windows: [{ className: 'OpusApp', title: 'Quarterly report.docx - Word' }],
  });
  try {
    console.log(`started the stand-in WINWORD.EXE, process ${word.processId}`);
    for (const w of api.getAvailableApplications()) {
      console.log(`getAvailableApplications(): ${JSON.stringify(w)}`);
    }
    const font = { family: '宋体', path: 'C:\\Windows\\Fonts\\simsun.ttc', postscriptName: 'SimSun', style: 'Regular' };
    console.log(`applyFontForApplication(宋体, ${word.processId}): ${api.applyFontForApplication(font, word.processId)}`);
    console.log('calls the Word object received:');
    for (const call of word.calls()) console.log(`  ${call}`);
    console.log(`applyFontForApplication(Arial, 0) (topmost recognised window): ${api.applyFontForApplication({ family: 'Arial' }, 0)}`);
    console.log(`applyFontForApplication(Arial, ${process.pid}) (this node process, no supported window): ` +
      `${api.applyFontForApplication({ family: 'Arial' }, process.pid)}`);
  } finally {
    await word.stop();
  }
  for (const file of fs.readdirSync(logDir)) {
    for (const line of fs.readFileSync(path.join(logDir, file), 'utf8').split(/\r?\n/)) {
      if (line.includes('[applyFontForApplication]')) console.log(`  log: ${line}`);
    }
  }
}

// Design applications: stand-ins built by the test build (tests/fixtures/adobe) with a real window; the
// Photoshop one serves "Photoshop.Application" in the running-object table and keeps the script that
// "DoJavaScript" received; started again by the library, a stand-in records its command line.
async function startDesignStandIn(exe, args) {
  const dir = path.join(path.dirname(vorla.defaultDllPath()), 'tests', 'fixtures', 'adobe');
  const file = path.join(dir, exe);
  const ready = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'ready-')), 'ready');
  for (const suffix of ['.record', '.script']) fs.rmSync(file + suffix, { force: true });
  const child = spawn(file, ['--ready', ready, ...args], { stdio: 'ignore' });
  for (let i = 0; i < 600 && !fs.existsSync(ready); i++) await new Promise((r) => setTimeout(r, 50));
  const read = (suffix) => (fs.existsSync(file + suffix) ? fs.readFileSync(file + suffix, 'utf8') : '');
  return { processId: child.pid, read, stop: () => child.kill() };
}

async function demoDesignApps(api) {
  section('design applications');
  const photoshop = await startDesignStandIn('Photoshop.exe', ['--progid', 'Photoshop.Application']);
  const afterEffects = await startDesignStandIn('AfterFX.exe', []);
  try {
    for (const w of api.getAvailableApplications()) console.log(`getAvailableApplications(): ${JSON.stringify(w)}`);
    // A font file chooses its own names: this one tries to end the script's string and run code.
    const hostile = { family: 'Evil "Sans"', postscriptName: "x');app.quit();//", path: 'C:\\f.otf', style: 'Regular' };
    console.log(`applyFontForApplication(${JSON.stringify(hostile.postscriptName)}, Photoshop): ` +
      `${api.applyFontForApplication(hostile, photoshop.processId)}`);
    const script = photoshop.read('.script');
    console.log(`  DoJavaScript received ${script.length} characters, ending: ${script.slice(script.lastIndexOf('\n') + 1)}`);
    for (const line of photoshop.read('.record').split(/\r?\n/)) {
      if (line.startsWith('cmdline')) console.log(`  then its own executable ran (and was waited for): ${line.slice(8)}`);
    }
    const simsun = { family: '宋体', postscriptName: 'SimSun', path: 'C:\\simsun.ttc', style: 'Regular' };
    console.log(`applyFontForApplication(SimSun, After Effects): ${api.applyFontForApplication(simsun, afterEffects.processId)}`);
    const args = afterEffects.read('.record').split(/\r?\n/).filter((l) => l.startsWith('arg\t')).map((l) => l.slice(4));
    console.log(`  After Effects started with ${args.length} arguments: ${args[0]} and a script ending ` +
      `${JSON.stringify(args[1].slice(-40))}`);
  } finally {
    photoshop.stop();
    afterEffects.stop();
  }
}

function demoPermissions(api) {
  section('permissions');
  for (const p of api.getPermissions()) {
    console.log(`getPermissions(): ${p.name} granted=${p.granted}`);
  }
  // Names are exact: these start nothing and return 0. (A request for "runAdmin" itself would start this
  // program again elevated and end the demo.)
  for (const name of ['RUNADMIN', 'runAdmin ', '']) {
    console.log(`requestPermission(${JSON.stringify(name)}): ${api.requestPermission(name)}`);
  }
}

async function main() {
  const api = vorla.open();
  const logDir = fs.mkdtempSync(path.join(os.tmpdir(), 'vorla-demo-'));
  demoFrame(api, logDir);
  await demoApps(api, logDir);
  await demoDesignApps(api);
  demoPermissions(api);
}

main().catch((e) => {
  console.error(e);
  process.exitCode = 1;
});
