'use strict';
// The demo: what a front end does with the library, step by step, with real output.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');
const vorla = require('./vorla.js');
const standIn = require('./test/support/officeStandIn.js');
// The build the demo runs against, as scripts/demo.sh names it (the harness's environment).
const binaries = require('./test/support/binaries.js');

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

async function demoCatalogue(api) {
  section('font catalogue');
  const fonts = api.getAvailableFonts();
  console.log(`getAvailableFonts(): ${fonts.length} faces, for example:`);
  const shown = fonts.filter((f) => /^(VorlaSong-Regular|DejaVuSansMono|DejaVuSerif-Italic|DejaVuSans-Oblique)$/.test(f.postscriptName));
  for (const f of shown.length ? shown : fonts.slice(0, 4)) {
    const flags = [f.italic ? 'italic' : '', f.monospace ? 'monospace' : ''].filter(Boolean).join(' ');
    console.log(`  ${f.postscriptName.padEnd(20)} ${f.family} / ${f.style}  weight ${f.weight} width ${f.width} ${flags}`);
    console.log(`  ${''.padEnd(20)} ${f.path}`);
  }
  // The same listing on one of koffi's worker threads, while a timer keeps ticking.
  let ticks = 0;
  const timer = setInterval(() => { ticks += 1; }, 5);
  const listed = await api.promises.getAvailableFonts();
  clearInterval(timer);
  console.log(`promises.getAvailableFonts(): ${listed.length} faces, ${ticks} timer ticks meanwhile, ` +
    `same as the synchronous listing: ${JSON.stringify(listed) === JSON.stringify(fonts)}`);
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
  // A failure caught inside the library comes back as its status, synchronously and as a promise.
  const notRunning = await standIn.start('WINWORD.EXE', { windows: [{ className: 'OpusApp', title: 'Draft.docx - Word' }] });
  try {
    console.log(`applyFontForApplication(Arial, ${notRunning.processId}) (Word without its automation object): ` +
      `${api.applyFontForApplication({ family: 'Arial' }, notRunning.processId)}`);
    const statuses = await Promise.all([1, 2, 3, 4].map(() =>
      api.promises.applyFontForApplication({ family: 'Arial' }, notRunning.processId)));
    console.log(`four promises.applyFontForApplication at once: ${JSON.stringify(statuses)}`);
  } finally {
    await notRunning.stop();
  }
  for (const file of fs.readdirSync(logDir)) {
    for (const line of fs.readFileSync(path.join(logDir, file), 'utf8').split(/\r?\n/)) {
      if (line.includes('[applyFontForApplication]')) console.log(`  log: ${line}`);
    }
  }
}

// Log lines written since `before` lines were in the demo's log file.
function newLogLines(logDir, before) {
  const lines = [];
  for (const file of fs.readdirSync(logDir)) {
    lines.push(...fs.readFileSync(path.join(logDir, file), 'utf8').split(/\r?\n/).filter((l) => l));
  }
  return lines.slice(before);
}

function logLineCount(logDir) {
  return newLogLines(logDir, 0).length;
}

// A per-user font entry as the platform's reg.exe shows it.
function fontEntry(name) {
  const { spawnSync } = require('node:child_process');
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'vorla-reg-'));
  const out = fs.openSync(path.join(dir, 'out.txt'), 'w');
  const r = spawnSync('reg.exe', ['query', 'HKCU\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts', '/v', name],
    { stdio: ['ignore', out, 'ignore'] });
  fs.closeSync(out);
  const line = fs.readFileSync(path.join(dir, 'out.txt'), 'latin1').split(/\r?\n/).find((l) => l.includes('REG_SZ'));
  return r.status === 0 && line ? line.trim().replace(/\s{2,}/g, '  ') : '(no entry)';
}

function demoInstall(api, logDir) {
  section('permanent install and uninstall');
  const { renameFont } = require('./test/support/sampleFonts.js');
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'vorla-demo-font-'));
  const source = path.join(dir, 'VorlaDemoSans.ttf');
  fs.writeFileSync(source, renameFont(fs.readFileSync('Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSans.ttf'), 'Vorla Demo Sans'));
  const installed = path.join(process.env.LOCALAPPDATA, 'Microsoft', 'Windows', 'Fonts', 'VorlaDemoSans.ttf');
  const before = logLineCount(logDir);

  console.log(`installFont({ family: 'Demo', path: ${source} }): ${api.installFont({ family: 'Demo', path: source })}`);
  console.log(`  copy ${installed}: ${fs.existsSync(installed) ? 'present' : 'missing'}`);
  console.log(`  entry: ${fontEntry('Vorla Demo Sans (TrueType)')}`);
  console.log(`uninstallFont({ path: ${installed} }): ${api.uninstallFont({ path: installed })}`);
  console.log(`  copy: ${fs.existsSync(installed) ? 'present' : 'removed'}; entry: ${fontEntry('Vorla Demo Sans (TrueType)')}`);
  console.log(`installFont of a missing file: ${api.installFont({ family: 'Demo', path: path.join(dir, 'absent.ttf') })}`);
  const text = path.join(dir, 'NotAFont.ttf');
  fs.writeFileSync(text, 'not a font');
  console.log(`installFont of a text file named .ttf: ${api.installFont({ family: 'Demo', path: text })}`);
  console.log('log lines of these calls:');
  for (const line of newLogLines(logDir, before)) console.log(`  ${line}`);
}

// Font health: a copy deleted by hand leaves an entry that names nothing, a tool's interrupted install a copy
// that no entry names, another installer an all-users entry naming a file that is no font. The check finds
// them; the repair mends the per-user ones in the library and the all-users one through Marlet.
async function demoHealth(api, logDir) {
  section('font health: check and repair');
  const { writeSampleFont } = require('./test/support/sampleFonts.js');
  const { spawnSync } = require('node:child_process');
  const stamp = `${process.pid}-${Date.now() % 100000}`;
  const userFonts = path.join(process.env.LOCALAPPDATA, 'Microsoft', 'Windows', 'Fonts');
  // An entry and its copy as another tool writes them (not loaded: Windows keeps a loaded font's file).
  const copy = writeSampleFont(path.join(userFonts, `demo-health-${stamp}.ttf`), `Demo Health ${stamp}`);
  spawnSync('reg.exe', ['add', 'HKCU\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts', '/v',
    `Demo Health ${stamp} (TrueType)`, '/t', 'REG_SZ', '/d', copy, '/f'], { stdio: 'ignore' });
  fs.rmSync(copy);
  console.log(`a copy deleted by hand; its entry: ${fontEntry(`Demo Health ${stamp} (TrueType)`)}`);
  const unnamed = writeSampleFont(path.join(userFonts, `demo-left-${stamp}.ttf`), `Demo Left ${stamp}`);
  console.log(`a copy no entry names: ${unnamed}`);
  const notes = path.join('C:\\windows\\Fonts', `demo-notes-${stamp}.ttf`);
  fs.writeFileSync(notes, 'release notes, not a font');
  spawnSync('reg.exe', ['add', 'HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts', '/v',
    `Demo Notes ${stamp} (TrueType)`, '/t', 'REG_SZ', '/d', path.basename(notes), '/f'], { stdio: 'ignore' });
  console.log(`an all-users entry naming ${notes}, a text file`);
  const before = logLineCount(logDir);

  const ours = (findings) => findings.filter((f) => f.valueName.includes(stamp) || f.path.includes(stamp));
  const findings = await api.checkFonts();
  console.log(`checkFonts(): ${findings.length} findings, ${ours(findings).length} of them made here:`);
  for (const f of ours(findings)) {
    console.log(`  ${f.kind.padEnd(12)} scope ${f.scope}  ${f.valueName || '(no entry)'}  ${f.path}`);
    console.log(`  ${''.padEnd(12)}          ${f.detail}; size ${f.size}${f.postscriptName ? `; ${f.postscriptName}` : ''}`);
  }
  const onProgress = (index, code) => console.log(`  Marlet repaired finding ${index}: ${code}`);
  const codes = await api.repairFonts(ours(findings), { exe: binaries.marlet, onProgress });
  console.log(`repairFonts(those ${codes.length}): ${JSON.stringify(codes)}`);
  console.log(`  entry: ${fontEntry(`Demo Health ${stamp} (TrueType)`)}; unnamed copy: ` +
    `${fs.existsSync(unnamed) ? 'present' : 'removed'}; the text file: ${fs.existsSync(notes) ? 'kept' : 'deleted'}`);
  console.log(`checkFonts() again: ${ours(await api.checkFonts()).length} of those left`);
  console.log(`repairFonts(the same again): ${JSON.stringify(await api.repairFonts(ours(findings), { exe: binaries.marlet }))} (no longer holds)`);
  console.log('log lines of the repair:');
  for (const line of newLogLines(logDir, before)) if (line.includes('[字体修复]')) console.log(`  ${line}`);
  fs.rmSync(notes, { force: true });
}

// Batch install and uninstall through the installer Marlet.exe, started as the front end starts it:
// through the shell's "runas" verb, with a progress bar fed by Marlet's window messages.
async function demoMarlet() {
  section('installer Marlet.exe: batch install and uninstall');
  const marlet = require('./marlet.js');
  const { writeSampleFont } = require('./test/support/sampleFonts.js');
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

  // One line per progress message: a bar of the fonts done so far, the index and its status.
  const progressBar = (total) => ({
    onProgress(index, status) {
      const done = index + 1;
      const bar = '#'.repeat(Math.round((done / total) * 20)).padEnd(20, '.');
      console.log(`  [${bar}] ${done}/${total}  font ${index}: ${status}`);
    },
    onDone(count) {
      console.log(`  done: ${count} results`);
    },
  });

  const installed = await marlet.runMarlet('install', fonts, { ...progressBar(fonts.length), exe: binaries.marlet });
  console.log(`Marlet -i, ${fonts.length} fonts -> ${JSON.stringify(installed.results)}`);

  const folder = path.join(process.env.LOCALAPPDATA, 'Microsoft', 'Windows', 'Fonts');
  const copies = fonts.slice(0, 3).map((f) => ({ path: path.join(folder, path.basename(f.path)) }));
  for (const c of copies) console.log(`  installed copy ${c.path}: ${fs.existsSync(c.path) ? 'present' : 'MISSING'}`);

  const removed = await marlet.runMarlet('uninstall', copies, { ...progressBar(copies.length), exe: binaries.marlet });
  console.log(`Marlet -u, ${copies.length} fonts -> ${JSON.stringify(removed.results)}`);
  for (const c of copies) console.log(`  ${c.path}: ${fs.existsSync(c.path) ? 'still there' : 'removed'}`);
}

// The feed of font changes: a font that Marlet (another process) installs arrives at the listener,
// one call for the batch, a few hundred milliseconds after the change.
async function demoWatch(api) {
  section('feed of font changes: a font installed by Marlet arrives');
  const marlet = require('./marlet.js');
  const { writeSampleFont } = require('./test/support/sampleFonts.js');
  const family = `Demo Feed ${process.pid}-${Date.now() % 100000}`;
  const file = writeSampleFont(path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'vorla-demo-feed-')), `${family}.ttf`), family);
  const calls = [];
  const watch = api.watchFonts(({ sources }) => calls.push({ at: Date.now(), sources }));
  console.log('watchFonts(listener): watching the Fonts keys and WM_FONTCHANGE');
  const started = Date.now();
  try {
    const { codes } = await marlet.runMarlet('install', [{ family, path: file }], { exe: binaries.marlet });
    console.log(`Marlet -i ${path.basename(file)} -> ${JSON.stringify(codes)} (run of ${Date.now() - started} ms)`);
    for (let i = 0; i < 60 && calls.length === 0; i++) await new Promise((r) => setTimeout(r, 50));
    await new Promise((r) => setTimeout(r, 1500)); // any further call of the same burst
  } finally {
    watch.close();
  }
  for (const c of calls) console.log(`  listener: ${JSON.stringify(c.sources)}, ${c.at - started} ms after Marlet started`);
  console.log(`  entry: ${fontEntry(`${family} (TrueType)`)}`);
  const copy = path.join(process.env.LOCALAPPDATA, 'Microsoft', 'Windows', 'Fonts', path.basename(file));
  const { codes } = await marlet.runMarlet('uninstall', [{ path: copy }], { exe: binaries.marlet });
  console.log(`after close(), Marlet -u -> ${JSON.stringify(codes)}; listener calls: still ${calls.length}`);
}

// Cancelling a batch: the front end's "Cancel" aborts the signal halfway; Marlet finishes the font under
// way and stops, the rejection lists what was finished, and a second run installs the rest to the end.
async function demoMarletCancel() {
  section('installer Marlet.exe: cancelling a batch');
  const marlet = require('./marlet.js');
  const { writeSampleFont } = require('./test/support/sampleFonts.js');
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'vorla-demo-cancel-'));
  const stamp = `${process.pid}-${Date.now() % 100000}`;
  const fonts = Array.from({ length: 20 }, (_, i) => ({
    family: `Demo Cancel ${i}`,
    path: writeSampleFont(path.join(dir, `demo-cancel-${stamp}-${i}.ttf`), `Demo Cancel ${stamp} ${i}`),
  }));
  const folder = path.join(process.env.LOCALAPPDATA, 'Microsoft', 'Windows', 'Fonts');
  const present = () => fonts.filter((f) => fs.existsSync(path.join(folder, path.basename(f.path)))).length;

  const controller = new AbortController();
  const progress = (offset) => (index) => {
    const done = offset + index + 1;
    const cancel = done === fonts.length / 2 && !controller.signal.aborted;
    console.log(`  [${'#'.repeat(done).padEnd(fonts.length, '.')}] ${done}/${fonts.length}${cancel ? '  <- Cancel' : ''}`);
    if (cancel) controller.abort();
  };
  let finished = 0;
  try {
    await marlet.runMarlet('install', fonts, { signal: controller.signal, onProgress: progress(0), exe: binaries.marlet });
  } catch (e) {
    if (e.name !== 'AbortError') throw e;
    finished = e.results.length;
    console.log(`runMarlet rejected: ${e.name} (${e.message}); results ${JSON.stringify(e.codes)}`);
  }
  console.log(`  copies in the fonts folder: ${present()} of ${fonts.length}`);

  const rest = await marlet.runMarlet('install', fonts.slice(finished), { onProgress: progress(finished), exe: binaries.marlet });
  console.log(`second run, fonts ${finished}-${fonts.length - 1}: ${JSON.stringify(rest.codes)}`);
  console.log(`  copies in the fonts folder: ${present()} of ${fonts.length}`);
  const removed = await marlet.runMarlet('uninstall', fonts.map((f) => ({ path: path.join(folder, path.basename(f.path)) })),
    { exe: binaries.marlet });
  console.log(`uninstalled again: ${removed.codes.filter((c) => c === 0).length} of ${fonts.length}`);
}

// Design applications: stand-ins built by the test build (tests/fixtures/adobe) with a real window; the
// Photoshop one serves "Photoshop.Application" in the running-object table and keeps the script that
// "DoJavaScript" received; started again by the library, a stand-in records its command line.
async function startDesignStandIn(exe, args) {
  const dir = path.join(binaries.buildDir, 'tests', 'fixtures', 'adobe');
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
  const api = vorla.open(binaries.dll);
  const logDir = fs.mkdtempSync(path.join(os.tmpdir(), 'vorla-demo-'));
  demoFrame(api, logDir);
  demoInstall(api, logDir);
  await demoHealth(api, logDir);
  await demoMarlet();
  await demoWatch(api);
  await demoMarletCancel();
  await demoApps(api, logDir);
  await demoCatalogue(api);
  demoTempFont(api);
  await demoDesignApps(api);
  demoPermissions(api);
}

main().catch((e) => {
  console.error(e);
  process.exitCode = 1;
});
