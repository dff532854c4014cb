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

function main() {
  const api = vorla.open();
  const logDir = fs.mkdtempSync(path.join(os.tmpdir(), 'vorla-demo-'));
  demoFrame(api, logDir);
  demoPermissions(api);
}

main();
