'use strict';
// The demo: what a front end does with the library, step by step, with real output.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
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
  demoPermissions(api);
}

main().catch((e) => {
  console.error(e);
  process.exitCode = 1;
});
