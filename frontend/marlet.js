'use strict';
// Starts the installer Marlet.exe as the front end does. Marlet's manifest requires administrator
// rights, so it is started through the shell with the "runas" verb (one consent prompt per run on
// Windows; none under Wine, which has no elevation). Such a start cannot redirect the program's
// output: the result list comes back through a file ("-o"), progress through window messages
// 0x1401-0x1404 to a window ("-w"), either the caller's or a message-only window that this module
// pumps on a worker thread of its own (marlet-progress.js).
// A list too long for the command line travels in a list file ("-i @<file>").
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { Worker } = require('node:worker_threads');
const win32 = require('./win32.js');
const binaries = require('./binaries.js');

const { koffi } = win32;

// Window messages Marlet sends to the "-w" window.
const messages = Object.freeze({
  installedOne: 0x1401, // wParam index, lParam status
  uninstalledOne: 0x1402, // wParam index, lParam status
  installDone: 0x1403, // wParam number of results, lParam 0
  uninstallDone: 0x1404, // wParam 0, lParam number of results
  repairedOne: 0x1405, // wParam index, lParam status
  repairDone: 0x1406, // wParam number of results, lParam 0
});

// The answer to a per-font message that stops Marlet after that font ("STOP" in ASCII; helper/marlet/Installer.h).
const stopAnswer = 0x53544f50;

// Exit codes of Marlet (stopped: the window answered stopAnswer before the end of the list).
const exitCodes = Object.freeze({ done: 0, usage: 1, resultLost: 2, failure: 3, stopped: 4 });

// The Windows error of a declined consent prompt.
const ERROR_CANCELLED = 1223;

// Marlet.exe beside this module's library: the build in the source tree, bin/ in the package.
function defaultMarletPath() {
  return binaries.marlet;
}

// The font list as Marlet reads it, on its command line or in a list file. Apostrophes inside the
// texts are written as \u0027 first, so every backslash-apostrophe pair that Marlet sees stands for
// a quote; empty members are left out (Marlet reads a missing member as empty).
function quoteFontList(fonts) {
  const list = fonts.map((f) => {
    const entry = {};
    for (const key of ['family', 'path', 'postscriptName', 'style']) if (f[key]) entry[key] = String(f[key]);
    return entry;
  });
  return JSON.stringify(list).replace(/'/g, '\\u0027').replace(/"/g, "\\'");
}

// The findings list of a repair run ("-r"), quoted as the font list is: the record's members, kind by
// name, and keep (false unless the finding says true).
function quoteFindingList(findings) {
  const list = findings.map((f) => {
    const entry = { kind: String(f.kind ?? ''), scope: Number(f.scope ?? 0) };
    for (const key of ['valueName', 'path', 'detail', 'postscriptName']) if (f[key]) entry[key] = String(f[key]);
    for (const key of ['group', 'fontRevision', 'size']) if (Number.isInteger(f[key])) entry[key] = f[key];
    entry.keep = f.keep === true;
    return entry;
  });
  return JSON.stringify(list).replace(/'/g, '\\u0027').replace(/"/g, "\\'");
}

const modeOptions = { install: '-i', uninstall: '-u', repair: '-r' };
// The list of a mode as Marlet reads it: fonts, or for 'repair' findings.
function quoteList(mode, items) {
  return mode === 'repair' ? quoteFindingList(items) : quoteFontList(items);
}

// The longest command line Windows accepts, in UTF-16 units, terminating NUL included.
const maxCommandLine = 32767;

// The arguments of one run (without the program path). listFile: pass the list as "@<listFile>".
// mode: 'install', 'uninstall', or 'repair' (fonts are then findings of the font health check).
function marletArguments(mode, fonts, { resultFile, window, listFile } = {}) {
  if (!Object.hasOwn(modeOptions, mode)) throw new Error(`mode must be install, uninstall or repair, not ${mode}`);
  const args = [modeOptions[mode], listFile === undefined ? quoteList(mode, fonts) : `@${listFile}`];
  if (resultFile !== undefined) args.push('-o', resultFile);
  if (window !== undefined && window !== null) {
    const handle = BigInt(window);
    if (handle < -2147483648n || handle > 2147483647n) throw new Error(`window handle ${window} is outside 32 bits`);
    args.push('-w', handle.toString(10));
  }
  return args;
}

// One argument quoted so that the C runtime's parser gives it back unchanged.
function quoteArgument(arg) {
  if (arg !== '' && !/[ \t\n\v"]/.test(arg)) return arg;
  return `"${arg.replace(/(\\*)"/g, '$1$1\\"').replace(/(\\+)$/, '$1$1')}"`;
}

function commandLineOf(args) {
  return args.map(quoteArgument).join(' ');
}

// What a window message from Marlet means, for a front end that passes its own window ("-w"):
// { type: 'font', mode, index, status } after each font, { type: 'end', mode, count } after the
// last one, null for any other message. wParam and lParam as numbers or BigInts.
function decodeMessage(message, wParam, lParam) {
  const int32 = (v) => Number(BigInt.asIntN(32, BigInt(v)));
  switch (Number(message)) {
    case messages.installedOne: return { type: 'font', mode: 'install', index: int32(wParam), status: int32(lParam) };
    case messages.uninstalledOne: return { type: 'font', mode: 'uninstall', index: int32(wParam), status: int32(lParam) };
    case messages.installDone: return { type: 'end', mode: 'install', count: int32(wParam) };
    case messages.uninstallDone: return { type: 'end', mode: 'uninstall', count: int32(lParam) };
    case messages.repairedOne: return { type: 'font', mode: 'repair', index: int32(wParam), status: int32(lParam) };
    case messages.repairDone: return { type: 'end', mode: 'repair', count: int32(wParam) };
    default: return null;
  }
}

const SEE_MASK_NOCLOSEPROCESS = 0x40;
const SEE_MASK_NOASYNC = 0x100;
const SEE_MASK_FLAG_NO_UI = 0x400;
const SEE_MASK_NO_CONSOLE = 0x8000;
const SW_HIDE = 0;
const WAIT_OBJECT_0 = 0;
const WAIT_TIMEOUT = 0x102;
const INFINITE = 0xffffffff;

// ShellExecuteExW with the record info (lpVerb, lpFile, lpParameters, ...): { ok, error } with the
// Windows error of a failed start read at once; info.hProcess receives the process handle.
function shellExecute(info) {
  const w = win32.windows();
  const record = { ...info, cbSize: koffi.sizeof(w.SHELLEXECUTEINFOW) };
  const ok = w.ShellExecuteExW(record);
  const error = ok ? 0 : w.GetLastError();
  info.hProcess = record.hProcess;
  return { ok, error };
}

// Starts a program through the shell: { verb, file, parameters, directory } -> the process handle.
// Throws an Error whose code is 'ELEVATION_CANCELLED' when the user declined the consent prompt,
// 'ENOENT' when the program is missing, 'ESHELLEXECUTE' otherwise (winError: the Windows error).
// The call returns once the prompt has been answered. execute: the shell call (shellExecute).
function shellStart({ verb, file, parameters, directory }, execute = shellExecute) {
  const info = {
    fMask: SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_NO_CONSOLE,
    hwnd: null,
    lpVerb: verb,
    lpFile: file,
    lpParameters: parameters,
    lpDirectory: directory ?? null,
    nShow: SW_HIDE,
    hInstApp: null,
    lpIDList: null,
    lpClass: null,
    hkeyClass: null,
    dwHotKey: 0,
    hIconOrMonitor: null,
    hProcess: null,
  };
  const { ok, error } = execute(info);
  if (ok && info.hProcess) return info.hProcess;
  if (ok) throw Object.assign(new Error(`${file} was started without a process handle`), { code: 'ESHELLEXECUTE' });
  if (error === ERROR_CANCELLED) {
    throw Object.assign(new Error(`the administrator consent for ${path.basename(file)} was declined`),
      { code: 'ELEVATION_CANCELLED', winError: error });
  }
  const code = error === 2 || error === 3 ? 'ENOENT' : 'ESHELLEXECUTE';
  throw Object.assign(new Error(`${file} could not be started (${verb}): Windows error ${error}`), { code, winError: error });
}

// Waits for the process without blocking the event loop (the wait runs on a koffi worker thread),
// then returns its exit code; closes the handle on every path.
async function waitForExit(process, timeoutMs) {
  const w = win32.windows();
  try {
    const ms = Number.isFinite(timeoutMs) ? Math.max(0, Math.min(Math.floor(timeoutMs), INFINITE - 1)) : INFINITE;
    const state = await new Promise((resolve, reject) => {
      w.WaitForSingleObject.async(process, ms, (e, r) => (e ? reject(e) : resolve(r)));
    });
    if (state === WAIT_TIMEOUT) {
      w.TerminateProcess(process, exitCodes.failure);
      throw Object.assign(new Error(`Marlet did not end within ${timeoutMs} ms`), { code: 'ETIMEDOUT' });
    }
    if (state !== WAIT_OBJECT_0) throw new Error(`waiting for Marlet failed (${state})`);
    const code = [0];
    if (!w.GetExitCodeProcess(process, code)) throw new Error('the exit code of Marlet could not be read');
    return code[0];
  } finally {
    w.CloseHandle(process);
  }
}

// ---- Progress: a message-only window on a worker thread of its own ----
// Slots of the state shared with the worker (Int32Array over a SharedArrayBuffer).
const progressSlots = Object.freeze({ cancel: 0, close: 1 });

// Starts the progress window of one run on a worker thread (marlet-progress.js) and resolves to
// { handle, stop() } once the window exists. The worker answers each message itself and hands it
// on; here the messages become onProgress(index, status, answer) and onDone(count, answer) calls,
// in order, whenever the main thread is free. An abort of signal sets the worker's cancel flag at
// once: the next per-font message is answered with stopAnswer by the worker, whatever the main
// thread is doing. stop() (once Marlet has ended) ends the worker, resolves after every message
// was delivered, and throws the first failure of a callback.
function startProgressWorker({ onProgress, onDone, signal }) {
  const state = new Int32Array(new SharedArrayBuffer(4 * Object.keys(progressSlots).length));
  const cancel = () => Atomics.store(state, progressSlots.cancel, 1);
  signal?.addEventListener('abort', cancel);
  if (signal?.aborted) cancel();
  const worker = new Worker(path.join(__dirname, 'marlet-progress.js'), { workerData: { state: state.buffer, slots: progressSlots } });
  let failure = null;
  let handle = null;
  let closed = false;
  const deliver = (call) => {
    try {
      call();
    } catch (e) {
      failure ??= e;
    }
  };
  let ready;
  let finished;
  const started = new Promise((resolve, reject) => { ready = { resolve, reject }; });
  const ended = new Promise((resolve, reject) => { finished = { resolve, reject }; });
  ended.catch(() => {}); // read by stop(); a failure before it is reported by the start
  worker.on('message', (m) => {
    if (m.type === 'ready') {
      handle = m.handle;
      ready.resolve();
    } else if (m.type === 'font') {
      deliver(() => onProgress?.(m.index, m.status, m.answer));
    } else if (m.type === 'end') {
      deliver(() => onDone?.(m.count, m.answer));
    } else if (m.type === 'closed') {
      closed = true;
    }
  });
  const fail = (e) => {
    ready.reject(e);
    finished.reject(e);
  };
  worker.on('error', fail);
  // Every message the worker posted is delivered before 'exit'.
  worker.on('exit', (code) => (closed ? finished.resolve() : fail(new Error(`the progress worker ended early (${code})`))));
  const stop = async () => {
    try {
      Atomics.store(state, progressSlots.close, 1);
      win32.wake(handle);
      await ended;
    } finally {
      signal?.removeEventListener('abort', cancel);
    }
    if (failure) throw failure;
  };
  return started.then(() => ({ handle, stop }), async (e) => {
    signal?.removeEventListener('abort', cancel);
    await worker.terminate();
    throw e;
  });
}

// Runs Marlet once and resolves to { results: [{ data, code }], codes: [numbers] } after it ended.
// fonts: [{ family, path, postscriptName, style }] (mode 'repair': findings of api.checkFonts()). Options:
//   window      the front end's own window for the progress messages (decode them with decodeMessage);
//   onProgress  (index, status, answer) after each font, and onDone(count, answer) after the last
//               one, fed by a message-only window on a worker thread (not together with window);
//               answer = { at, threadId, stop }: when and by which thread the message was answered,
//               and whether that answer stopped the run;
//   signal      an AbortSignal: once aborted, Marlet stops after the font it is working on (the
//               worker answers that font's message with stopAnswer; not with window);
//   exe, timeoutMs, and start (the shell start: shellStart by default).
// Rejects with an Error: code 'ELEVATION_CANCELLED' when the consent was declined, 'ENOENT' when
// Marlet is missing, exitCode set when Marlet ended with another code than 0 (1: usage error);
// name 'AbortError' (code 'ABORT_ERR') when the run was stopped, with results and codes of the
// fonts finished before the stop, in list order. A signal aborted already starts nothing.
// Any number of fonts goes through one run: a list too long for the command line is passed in a
// list file. The run's folder (result file, list file) is removed on every path.
async function runMarlet(mode, fonts, options = {}) {
  const { window, onProgress, onDone, signal, exe = defaultMarletPath(), timeoutMs = 10 * 60 * 1000, start = shellStart } = options;
  const progress = onProgress !== undefined || onDone !== undefined || signal !== undefined;
  if (progress && window !== undefined && window !== null) throw new Error('give either window or onProgress/onDone/signal');
  marletArguments(mode, []); // checks the mode before anything is made
  if (signal?.aborted) throw abortError(signal, []);
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'marlet-'));
  let receiver = null;
  try {
    const resultFile = path.join(dir, 'result.json');
    if (progress) receiver = await startProgressWorker({ onProgress, onDone, signal });
    const handle = receiver ? BigInt.asIntN(32, BigInt(receiver.handle)) : window;
    // The result file exists before the start: Marlet writes into the file it is given and never
    // creates one through a folder that leads elsewhere. Both files are new ('wx'), so nothing
    // that appeared in the fresh folder meanwhile is followed.
    fs.writeFileSync(resultFile, '', { flag: 'wx' });
    let parameters = commandLineOf(marletArguments(mode, fonts, { resultFile, window: handle }));
    if (quoteArgument(exe).length + 1 + parameters.length + 1 > maxCommandLine) {
      const listFile = path.join(dir, 'list.json');
      fs.writeFileSync(listFile, quoteList(mode, fonts), { encoding: 'utf8', flag: 'wx' });
      parameters = commandLineOf(marletArguments(mode, fonts, { resultFile, window: handle, listFile }));
    }
    // Marlet's own folder as its working folder: not the user's temporary folder.
    const directory = path.dirname(path.resolve(exe));
    const exitCode = await waitForExit(start({ verb: 'runas', file: exe, parameters, directory }), timeoutMs);
    if (receiver) {
      const r = receiver;
      receiver = null;
      await r.stop();
    }
    if (exitCode === exitCodes.stopped) throw abortError(signal, JSON.parse(fs.readFileSync(resultFile, 'utf8')));
    if (exitCode !== exitCodes.done) {
      const why = { [exitCodes.usage]: 'usage error', [exitCodes.resultLost]: 'the result file could not be written' };
      throw Object.assign(new Error(`Marlet exited with ${exitCode}${why[exitCode] ? `: ${why[exitCode]}` : ''}`), { exitCode });
    }
    const results = JSON.parse(fs.readFileSync(resultFile, 'utf8'));
    return { results, codes: results.map((r) => Number(r.code)) };
  } finally {
    if (receiver) {
      try {
        await receiver.stop();
      } catch {
        // the run failed already; that failure is the one reported
      }
    }
    try {
      // Under Wine a file can stay busy for a moment after the program ended.
      fs.rmSync(dir, { recursive: true, force: true, maxRetries: 5, retryDelay: 50 });
    } catch {
      // a leftover folder in the temporary folder must not turn a finished run into a failure
    }
  }
}

// The rejection of a stopped run: results (and codes) of the fonts finished before the stop.
function abortError(signal, results) {
  return Object.assign(new Error(`the Marlet run was stopped after ${results.length} fonts`), {
    name: 'AbortError', code: 'ABORT_ERR', cause: signal?.reason, results, codes: results.map((r) => Number(r.code)),
  });
}

module.exports = {
  messages, stopAnswer, exitCodes, maxCommandLine, defaultMarletPath, quoteFontList, quoteFindingList, marletArguments,
  quoteArgument,
  decodeMessage, shellExecute, shellStart, runMarlet,
};
