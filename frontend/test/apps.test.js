'use strict';
// Running applications and applying a font, through the bridge, against the office stand-ins.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const vorla = require('../vorla.js');
const binaries = require('./support/binaries.js');
const standIn = require('./support/officeStandIn.js');

const api = vorla.open(binaries.dll);

test('nothing running: an empty list', () => {
  assert.deepEqual(api.getAvailableApplications(), []);
});

test('a running Word is listed once, and the font lands on its selection', async (t) => {
  const logDir = fs.mkdtempSync(path.join(os.tmpdir(), 'apps-'));
  api.initial({ logPath: logDir + path.sep, logName: 'apps' });
  const word = await standIn.start('WINWORD.EXE', {
    progIds: ['Word.Application'],
    windows: [{ className: 'OpusApp', title: '文档1' }, { className: 'OpusApp', title: 'Report.docx' }],
  });
  t.after(() => word.stop());

  const listed = api.getAvailableApplications().filter((w) => w.processId === word.processId);
  assert.deepEqual(listed, [{ exeName: 'WINWORD.EXE', title: 'Report.docx', processId: word.processId }]);

  assert.equal(api.applyFontForApplication({ family: '宋体', path: 'C:\\f.ttf', postscriptName: 'SimSun' },
    word.processId), 0);
  assert.deepEqual(word.calls().slice(-2), [
    'Word.Application.ActiveWindow.Selection GET Font',
    'Word.Application.ActiveWindow.Selection.Font PUT Name = 宋体',
  ]);
  const log = fs.readFileSync(path.join(logDir, fs.readdirSync(logDir)[0]), 'utf8');
  assert.match(log, /\[INFO \| [^\n]*\| \[applyFontForApplication\]\t\[Application:WINWORD\.EXE\] \[fontFamily:宋体\] \(0\)/);
});

// The failure statuses (1111 and more) through the bridge: failures.test.js.
test('a process without a recognised window: not listed, and 2001', async (t) => {
  const other = await standIn.start('wps.exe', {
    progIds: ['Kwps.Application'],
    windows: [{ className: 'OpusApp', title: 'notes.txt' }],
  });
  t.after(() => other.stop());

  assert.deepEqual(api.getAvailableApplications().filter((w) => w.processId === other.processId), []);
  assert.equal(api.applyFontForApplication({ family: 'Arial' }, other.processId), 2001);
  assert.deepEqual(other.calls(), []);
});
