'use strict';
// The bridge's Win32 bindings (koffi): the process and shell calls of the Marlet start, and the
// window calls shared by Marlet's progress window (marlet-progress.js, on a worker thread of its
// own) and the font-change feed (watch.js): window classes, windows and their message pumps.
// Each thread that requires this module gets its own declarations; a window belongs to the thread
// that made it and is pumped there.
const koffi = require('koffi');

let calls;
// The declarations, made on first use.
function windows() {
  if (calls) return calls;
  const kernel32 = koffi.load('kernel32.dll');
  const user32 = koffi.load('user32.dll');
  const shell32 = koffi.load('shell32.dll');
  const SHELLEXECUTEINFOW = koffi.struct('Win32ShellExecuteInfo', {
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
  const WNDPROC = koffi.proto('intptr_t __stdcall Win32WindowProc(void *hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam)');
  const WNDCLASSEXW = koffi.struct('Win32WindowClass', {
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
  const MSG = koffi.struct('Win32Msg', {
    hwnd: 'void *',
    message: 'uint32_t',
    wParam: 'uintptr_t',
    lParam: 'intptr_t',
    time: 'uint32_t',
    x: 'int',
    y: 'int',
    lPrivate: 'uint32_t',
  });
  calls = {
    SHELLEXECUTEINFOW,
    WNDPROC,
    WNDCLASSEXW,
    MSG,
    ShellExecuteExW: shell32.func('bool __stdcall ShellExecuteExW(_Inout_ Win32ShellExecuteInfo *info)'),
    GetLastError: kernel32.func('uint32_t __stdcall GetLastError()'),
    WaitForSingleObject: kernel32.func('uint32_t __stdcall WaitForSingleObject(void *handle, uint32_t ms)'),
    GetExitCodeProcess: kernel32.func('bool __stdcall GetExitCodeProcess(void *process, _Out_ uint32_t *code)'),
    TerminateProcess: kernel32.func('bool __stdcall TerminateProcess(void *process, uint32_t code)'),
    CloseHandle: kernel32.func('bool __stdcall CloseHandle(void *handle)'),
    GetModuleHandleW: kernel32.func('void * __stdcall GetModuleHandleW(const char16_t *name)'),
    RegisterClassExW: user32.func('uint16_t __stdcall RegisterClassExW(const Win32WindowClass *cls)'),
    UnregisterClassW: user32.func('bool __stdcall UnregisterClassW(const char16_t *cls, void *instance)'),
    CreateWindowExW: user32.func('void * __stdcall CreateWindowExW(uint32_t exStyle, const char16_t *cls, ' +
      'const char16_t *name, uint32_t style, int x, int y, int w, int h, void *parent, void *menu, void *inst, void *param)'),
    DestroyWindow: user32.func('bool __stdcall DestroyWindow(void *hwnd)'),
    DefWindowProcW: user32.func('intptr_t __stdcall DefWindowProcW(void *hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam)'),
    PostMessageW: user32.func('bool __stdcall PostMessageW(void *hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam)'),
    PeekMessageW: user32.func('bool __stdcall PeekMessageW(_Out_ Win32Msg *msg, void *hwnd, uint32_t min, uint32_t max, uint32_t remove)'),
    GetMessageW: user32.func('int __stdcall GetMessageW(_Out_ Win32Msg *msg, void *hwnd, uint32_t min, uint32_t max)'),
    DispatchMessageW: user32.func('intptr_t __stdcall DispatchMessageW(const Win32Msg *msg)'),
  };
  return calls;
}

const HWND_MESSAGE = -3n;
const PM_REMOVE = 1;
const WM_NULL = 0;

// Registers a window class of this module's instance whose procedure is a JavaScript function,
// called on the thread that pumps a window of the class. what: how errors name the class.
// Returns { unregister() }: the class and its callback go (no window of the class may be left);
// a class that is never unregistered keeps pointing at its procedure for the life of the process.
function registerWindowClass(className, procedure, what) {
  const w = windows();
  const proc = koffi.register(procedure, koffi.pointer(w.WNDPROC));
  const instance = w.GetModuleHandleW(null);
  const atom = w.RegisterClassExW({
    cbSize: koffi.sizeof(w.WNDCLASSEXW), style: 0, lpfnWndProc: proc, cbClsExtra: 0, cbWndExtra: 0,
    hInstance: instance, hIcon: null, hCursor: null, hbrBackground: null, lpszMenuName: null,
    lpszClassName: className, hIconSm: null,
  });
  if (!atom) {
    const error = w.GetLastError();
    koffi.unregister(proc);
    throw new Error(`the ${what} window class could not be registered: Windows error ${error}`);
  }
  return {
    unregister() {
      w.UnregisterClassW(className, instance);
      koffi.unregister(proc);
    },
  };
}

// A window of a registered class on the calling thread; parent HWND_MESSAGE makes a message-only
// window. Throws with the Windows error when it cannot be made.
function createWindow(className, { exStyle = 0, style = 0, parent = null } = {}, what = className) {
  const w = windows();
  const hwnd = w.CreateWindowExW(exStyle, className, null, style, 0, 0, 0, 0, parent, null, w.GetModuleHandleW(null), null);
  if (!hwnd) throw new Error(`the ${what} window could not be created: Windows error ${w.GetLastError()}`);
  return hwnd;
}

// Hands everything waiting for the window to its procedure without waiting: sent messages inside
// PeekMessageW, posted ones through DispatchMessageW.
function pumpWaiting(hwnd) {
  const w = windows();
  const msg = {};
  while (w.PeekMessageW(msg, hwnd, 0, 0, PM_REMOVE)) w.DispatchMessageW(msg);
}

// The message loop of a thread that does nothing else: waits in GetMessageW (which hands sent
// messages to their window procedures at once) and dispatches what was posted, until done()
// holds after a message. Another thread ends the loop by making done() true and posting WM_NULL to
// a window of this thread (wake). WM_QUIT, which any program may post, does not end it.
function runMessageLoop(done) {
  const w = windows();
  const msg = {};
  while (!done()) {
    const got = w.GetMessageW(msg, null, 0, 0);
    if (got === -1) throw new Error(`the message loop failed: Windows error ${w.GetLastError()}`);
    if (got !== 0) w.DispatchMessageW(msg);
  }
}

// Wakes the message loop of the thread that owns hwnd (see runMessageLoop); callable from any thread.
function wake(hwnd) {
  return windows().PostMessageW(hwnd, WM_NULL, 0, 0);
}

module.exports = { koffi, windows, registerWindowClass, createWindow, pumpWaiting, runMessageLoop, wake, HWND_MESSAGE };
