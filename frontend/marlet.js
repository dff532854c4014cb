'use strict';
// Starts the installer Marlet.exe as the front end does. Marlet's manifest requires administrator
// rights, so it is started through the shell with the "runas" verb (one consent prompt per run on
// Windows; none under Wine, which has no elevation). Such a start cannot redirect the program's
// output: the result list comes back through a file ("-o"), progress through window messages
// 0x1401-0x1404 to a window ("-w"), either the caller's or a message-only window of this module.
// A list too long for the command line travels in a list file ("-i @<file>").
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { koffi } = require('./vorla.js');
const binaries = require('./binaries.js');

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

// ---- Windows calls, declared on first use ----
let win32;
function windows() {
  if (win32) return win32;
  const kernel32 = koffi.load('kernel32.dll');
  const user32 = koffi.load('user32.dll');
  const shell32 = koffi.load('shell32.dll');
  const SHELLEXECUTEINFOW = koffi.struct('MarletShellExecuteInfo', {
    cbSize: 'uint32_t',
    fMask: 'uint32_t',
    hwnd: 'void *',
    lpVerb: 'const char16_t *',
    lpFile: 'const char16_t *',
    lpParameters: 'const char16_t *',
    lpDirectory: 'const char16_t *',
    nShow: 'int',
    hInstApp: 'void *',
    lpIDList: 'void *',
    lpClass: 'const char16_t *',
    hkeyClass: 'void *',
    dwHotKey: 'uint32_t',
    hIconOrMonitor: 'void *',
    hProcess: 'void *',
  });
  const WNDPROC = koffi.proto('intptr_t __stdcall MarletWindowProc(void *hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam)');
  const WNDCLASSEXW = koffi.struct('MarletWindowClass', {
    cbSize: 'uint32_t',
    style: 'uint32_t',
    lpfnWndProc: 'void *',
    cbClsExtra: 'int',
    cbWndExtra: 'int',
    hInstance: 'void *',
    hIcon: 'void *',
    hCursor: 'void *',
    hbrBackground: 'void *',
    lpszMenuName: 'const char16_t *',
    lpszClassName: 'const char16_t *',
    hIconSm: 'void *',
  });
  const MSG = koffi.struct('MarletMsg', {
    hwnd: 'void *',
    message: 'uint32_t',
    wParam: 'uintptr_t',
    lParam: 'intptr_t',
    time: 'uint32_t',
    x: 'int',
    y: 'int',
    lPrivate: 'uint32_t',
  });
  win32 = {
    SHELLEXECUTEINFOW,
    WNDPROC,
    WNDCLASSEXW,
    MSG,
    ShellExecuteExW: shell32.func('bool __stdcall ShellExecuteExW(_Inout_ MarletShellExecuteInfo *info)'),
    GetLastError: kernel32.func('uint32_t __stdcall GetLastError()'),
    WaitForSingleObject: kernel32.func('uint32_t __stdcall WaitForSingleObject(void *handle, uint32_t ms)'),
    GetExitCodeProcess: kernel32.func('bool __stdcall GetExitCodeProcess(void *process, _Out_ uint32_t *code)'),
    TerminateProcess: kernel32.func('bool __stdcall TerminateProcess(void *process, uint32_t code)'),
    CloseHandle: kernel32.func('bool __stdcall CloseHandle(void *handle)'),
    GetModuleHandleW: kernel32.func('void * __stdcall GetModuleHandleW(const char16_t *name)'),
    RegisterClassExW: user32.func('uint16_t __stdcall RegisterClassExW(const MarletWindowClass *cls)'),
    CreateWindowExW: user32.func('void * __stdcall CreateWindowExW(uint32_t exStyle, const char16_t *cls, ' +
      'const char16_t *name, uint32_t style, int x, int y, int w, int h, void *parent, void *menu, void *inst, void *param)'),
    DestroyWindow: user32.func('bool __stdcall DestroyWindow(void *hwnd)'),
    DefWindowProcW: user32.func('intptr_t __stdcall DefWindowProcW(void *hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam)'),
    PeekMessageW: user32.func('bool __stdcall PeekMessageW(_Out_ MarletMsg *msg, void *hwnd, uint32_t min, uint32_t max, uint32_t remove)'),
    DispatchMessageW: user32.func('intptr_t __stdcall DispatchMessageW(const MarletMsg *msg)'),
    MsgWaitForMultipleObjectsEx: user32.func('uint32_t __stdcall MsgWaitForMultipleObjectsEx(uint32_t count, ' +
      'void *handles, uint32_t ms, uint32_t wakeMask, uint32_t flags)'),
  };
  return win32;
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
  const w = windows();
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
  const w = windows();
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

// ---- Progress: a message-only window that receives Marlet's messages ----
const progressClass = 'VorlaMarletProgress';
const receivers = new Map(); // window handle -> function(decoded message) -> the answer
let classRegistered = false;

function windowProc(hwnd, message, wParam, lParam) {
  const receive = receivers.get(hwnd);
  const decoded = receive && decodeMessage(message, wParam, lParam);
  if (!decoded) return windows().DefWindowProcW(hwnd, message, wParam, lParam);
  return receive(decoded);
}

// Registers a window class for the life of the process (the class keeps pointing at its procedure).
// what: how errors name the class.
function registerWindowClass(className, procedure, what) {
  const w = windows();
  const proc = koffi.register(procedure, koffi.pointer(w.WNDPROC));
  const atom = w.RegisterClassExW({
    cbSize: koffi.sizeof(w.WNDCLASSEXW), style: 0, lpfnWndProc: proc, cbClsExtra: 0, cbWndExtra: 0,
    hInstance: w.GetModuleHandleW(null), hIcon: null, hCursor: null, hbrBackground: null, lpszMenuName: null,
    lpszClassName: className, hIconSm: null,
  });
  if (!atom) {
    const error = w.GetLastError();
    koffi.unregister(proc);
    throw new Error(`the ${what} window class could not be registered: Windows error ${error}`);
  }
}

function registerProgressClass() {
  if (classRegistered) return;
  registerWindowClass(progressClass, windowProc, 'progress');
  classRegistered = true;
}

// The longest time one pump step holds the thread while it waits for a message.
const pumpSliceMs = 5;
const HWND_MESSAGE = -3n;
const QS_SENDMESSAGE = 0x40;
const PM_REMOVE = 1;

// Creates a message-only window on this thread and pumps it in short steps between the event
// loop's other work, so each message Marlet sends is answered at once: Marlet waits for every
// one. Messages are only queued in the window procedure; the callbacks run after the pump step.
// A per-font message that arrives once signal is aborted is answered with stopAnswer, so Marlet
// stops before the next font. Returns { handle, stop() }; stop() delivers what is left and
// destroys the window.
function startProgressWindow({ onProgress, onDone, signal }) {
  registerProgressClass();
  const w = windows();
  const hwnd = w.CreateWindowExW(0, progressClass, null, 0, 0, 0, 0, 0, HWND_MESSAGE, null, w.GetModuleHandleW(null), null);
  if (!hwnd) throw new Error(`the progress window could not be created: Windows error ${w.GetLastError()}`);
  const queue = [];
  let failure = null;
  receivers.set(hwnd, (event) => {
    queue.push(event);
    return event.type === 'font' && signal?.aborted ? stopAnswer : 0;
  });
  const deliver = () => {
    while (queue.length) {
      const event = queue.shift();
      try {
        if (event.type === 'font') onProgress?.(event.index, event.status);
        else onDone?.(event.count);
      } catch (e) {
        failure ??= e;
      }
    }
  };
  const msg = {};
  const drain = () => {
    while (w.PeekMessageW(msg, hwnd, 0, 0, PM_REMOVE)) w.DispatchMessageW(msg);
  };
  let running = true;
  let timer = null;
  const step = () => {
    if (!running) return;
    // Sent messages are handled inside these calls, whatever window filter PeekMessage has.
    w.MsgWaitForMultipleObjectsEx(0, null, pumpSliceMs, QS_SENDMESSAGE, 0);
    drain();
    deliver();
    timer = setImmediate(step);
  };
  timer = setImmediate(step);
  return {
    handle: hwnd,
    stop() {
      running = false;
      clearImmediate(timer);
      drain();
      deliver();
      receivers.delete(hwnd);
      w.DestroyWindow(hwnd);
      if (failure) throw failure;
    },
  };
}

// Runs Marlet once and resolves to { results: [{ data, code }], codes: [numbers] } after it ended.
// fonts: [{ family, path, postscriptName, style }] (mode 'repair': findings of api.checkFonts()). Options:
//   window      the front end's own window for the progress messages (decode them with decodeMessage);
//   onProgress  (index, status) after each font, and onDone(count) after the last one, fed by a
//               message-only window of this module (not together with window);
//   signal      an AbortSignal: once aborted, Marlet stops after the font it is working on (the
//               message-only window answers that font's message with stopAnswer; not with window);
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
    if (progress) receiver = startProgressWindow({ onProgress, onDone, signal });
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
      r.stop();
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
        receiver.stop();
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
  windows, // the window and wait declarations, shared with the font-change feed (watch.js)
  registerWindowClass,
};
