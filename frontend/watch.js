'use strict';
// The feed of font changes behind open().watchFonts: the per-user and the all-users Fonts keys,
// watched with RegNotifyChangeKeyValue and one event per key, and a hidden top-level window of
// the calling thread that sees the WM_FONTCHANGE broadcasts. The library starts no thread: the
// events of every feed are waited on by one asynchronous koffi call (WaitForMultipleObjects on a
// thread of libuv's pool), and the window is pumped in short, non-blocking steps of the event loop. Bursts reach the
// listener as one call: a trailing debounce with a maximum wait.
const { koffi, windows, registerWindowClass, createWindow, pumpWaiting } = require('./win32.js');

// After the last change, the listener is called once nothing changed for debounceMs, and at the
// latest maxWaitMs after the first change of a burst.
const defaults = Object.freeze({ debounceMs: 300, maxWaitMs: 1000 });
// How often the window's queue is emptied (each step only looks, it never waits).
const pumpIntervalMs = 50;

const fontsKey = 'SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts';
const roots = Object.freeze({ HKCU: 0xffffffff80000001n, HKLM: 0xffffffff80000002n });
// The keys of the feed and the source each one reports.
const fontKeys = Object.freeze([
  { source: 'user', root: 'HKCU', path: fontsKey },
  { source: 'machine', root: 'HKLM', path: fontsKey },
]);

const KEY_NOTIFY = 0x10;
const REG_NOTIFY_CHANGE_NAME = 0x1;
const REG_NOTIFY_CHANGE_LAST_SET = 0x4;
const ERROR_FILE_NOT_FOUND = 2;
const ERROR_KEY_DELETED = 1018;
const WAIT_OBJECT_0 = 0;
const INFINITE = 0xffffffff;
const WM_FONTCHANGE = 0x1d;
const WS_POPUP = 0x80000000;
const WS_EX_TOOLWINDOW = 0x80;

// ---- Windows calls of the feed, declared on first use (the window's come from win32.js) ----
let calls;
function feedCalls() {
  if (calls) return calls;
  const kernel32 = koffi.load('kernel32.dll');
  const advapi32 = koffi.load('advapi32.dll');
  calls = {
    RegOpenKeyExW: advapi32.func('long __stdcall RegOpenKeyExW(void *key, const char16_t *sub, uint32_t options, ' +
      'uint32_t access, _Out_ void **result)'),
    RegNotifyChangeKeyValue: advapi32.func('long __stdcall RegNotifyChangeKeyValue(void *key, int subtree, ' +
      'uint32_t filter, void *event, int asynchronous)'),
    RegCloseKey: advapi32.func('long __stdcall RegCloseKey(void *key)'),
    CreateEventW: kernel32.func('void * __stdcall CreateEventW(void *attributes, int manualReset, int initialState, ' +
      'const char16_t *name)'),
    SetEvent: kernel32.func('int __stdcall SetEvent(void *event)'),
    WaitForMultipleObjects: kernel32.func('uint32_t __stdcall WaitForMultipleObjects(uint32_t count, void **handles, ' +
      'int waitAll, uint32_t ms)'),
  };
  return calls;
}

function createEvent(manualReset) {
  const event = feedCalls().CreateEventW(null, manualReset ? 1 : 0, 0, null);
  if (!event) throw new Error(`an event could not be created: Windows error ${windows().GetLastError()}`);
  return event;
}

// One watched key. While the key is missing (the per-user Fonts key of a fresh profile) its
// nearest existing ancestor is watched for new subkeys, until the key appears; a deleted key
// falls back the same way. changed() after each signal of the event re-arms the notification
// and tells whether the key itself changed, appeared or went.
function keyWatch({ source, root, path }) {
  const c = feedCalls();
  const parts = path.split('\\');
  const event = createEvent(false);
  let key = null;
  let atKey = false;
  let depth = 0; // how many parts of the path the open key has

  // The handle of the key's first `levels` parts, or null where they do not exist.
  const openLevel = (levels) => {
    const out = [null];
    const rc = c.RegOpenKeyExW(roots[root], parts.slice(0, levels).join('\\'), 0, KEY_NOTIFY, out);
    if (rc === 0) return out[0];
    if (rc !== ERROR_FILE_NOT_FOUND) throw new Error(`${root}\\${path} could not be opened: Windows error ${rc}`);
    return null;
  };
  // Opens the key, else its nearest existing ancestor (the root at least).
  const open = () => {
    for (depth = parts.length; depth >= 0; depth -= 1) {
      key = openLevel(depth);
      if (key !== null) break;
    }
    atKey = depth === parts.length;
  };
  // After an ancestor is armed: did the next level appear between its opening and the arming?
  // That change came before the notification and would never be reported.
  const deeperAppeared = () => {
    const deeper = openLevel(depth + 1);
    if (deeper === null) return false;
    c.RegCloseKey(deeper);
    return true;
  };
  const close = () => {
    if (key !== null) c.RegCloseKey(key);
    key = null;
  };
  // The key's values and subkeys, or an ancestor's subkeys; one signal, then armed again.
  const arm = () => {
    for (;;) {
      if (key === null) open();
      const filter = atKey ? REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET : REG_NOTIFY_CHANGE_NAME;
      const rc = c.RegNotifyChangeKeyValue(key, 0, filter, event, 1);
      if (rc === 0 && (atKey || !deeperAppeared())) return;
      close();
      if (rc === 0) continue; // look again from the deeper level
      if (rc !== ERROR_KEY_DELETED) throw new Error(`${root}\\${path} cannot be watched: Windows error ${rc}`);
    }
  };
  try {
    arm();
  } catch (e) {
    close();
    windows().CloseHandle(event);
    throw e;
  }
  return {
    source,
    event,
    changed() {
      const wasAtKey = atKey;
      if (!atKey) close(); // an ancestor changed: look for the key again
      arm();
      return wasAtKey || atKey;
    },
    release() {
      close();
      windows().CloseHandle(event);
    },
  };
}

// ---- The hidden window: one class per process, one window per feed ----
const windowClass = 'VorlaFontWatch';
const broadcastReceivers = new Map(); // window handle -> function()
let classRegistered = false;

function watchWindowProc(hwnd, message, wParam, lParam) {
  const receive = broadcastReceivers.get(hwnd);
  if (message !== WM_FONTCHANGE || !receive) return windows().DefWindowProcW(hwnd, message, wParam, lParam);
  receive();
  return 0;
}

function registerWatchClass() {
  if (classRegistered) return;
  registerWindowClass(windowClass, watchWindowProc, 'font watch');
  classRegistered = true;
}

// A hidden, unowned top-level window: broadcasts reach every such window, and none reaches a
// message-only one. Returns { pump(), destroy() }; pump() hands what arrived to the window
// procedure without waiting.
function broadcastWindow(onBroadcast) {
  registerWatchClass();
  const hwnd = createWindow(windowClass, { exStyle: WS_EX_TOOLWINDOW, style: WS_POPUP }, 'font watch');
  broadcastReceivers.set(hwnd, onBroadcast);
  return {
    pump: () => pumpWaiting(hwnd),
    destroy() {
      broadcastReceivers.delete(hwnd);
      windows().DestroyWindow(hwnd);
    },
  };
}

// ---- One wait for every feed of the process ----
// The wait holds one thread of libuv's pool (four by default, shared with fs and the promises
// calls) for as long as any feed runs, however many feeds there are. Its first handle wakes it
// whenever the set of watched keys changes; a key's handles are released only after the wait that
// held them has returned. The worker never calls into JavaScript: nothing ever waits for it.
const hub = { wake: null, watches: new Set(), retired: [], waiting: false };

function hubWait() {
  if (hub.waiting) {
    feedCalls().SetEvent(hub.wake); // the wait returns and starts again with the current set
    return;
  }
  for (const watch of hub.retired.splice(0)) watch.release();
  if (hub.watches.size === 0) return; // nothing left to wait for: the process may end
  hub.wake ??= createEvent(false); // kept for the life of the process
  const list = [...hub.watches];
  const handles = [hub.wake, ...list.map((watch) => watch.event)];
  hub.waiting = true;
  feedCalls().WaitForMultipleObjects.async(handles.length, handles, 0, INFINITE, (error, index) => {
    hub.waiting = false;
    const signalled = list[index - WAIT_OBJECT_0 - 1];
    if (error || (index !== WAIT_OBJECT_0 && !signalled)) {
      // The wait itself failed: every feed ends, and the failure is thrown.
      for (const watch of list) watch.fail(error ?? new Error(`waiting for font changes failed (${index})`));
    } else if (signalled && hub.watches.has(signalled)) {
      signalled.signalled();
    }
    hubWait();
  });
}

function hubAdd(watches) {
  for (const watch of watches) hub.watches.add(watch);
  hubWait();
}

function hubRemove(watches) {
  for (const watch of watches) {
    if (hub.watches.delete(watch)) hub.retired.push(watch);
  }
  hubWait();
}

// Watches the keys and the broadcasts; listener({ sources }) after each burst of changes, sources
// naming what changed ('user', 'machine', 'broadcast'). Returns { close() }. keys: the watched
// keys (the two Fonts keys by default).
function watchFonts(listener, options = {}, keys = fontKeys) {
  if (typeof listener !== 'function') throw new TypeError('watchFonts needs a listener function');
  const { debounceMs, maxWaitMs } = { ...defaults, ...options };
  if (!(debounceMs >= 0 && maxWaitMs >= debounceMs)) throw new RangeError('need 0 <= debounceMs <= maxWaitMs');

  let closed = false;
  let timer = null;
  let burstStart = 0;
  const pending = new Set();
  const fire = () => {
    timer = null;
    if (closed) return;
    const sources = [...pending].sort();
    pending.clear();
    listener({ sources });
  };
  const note = (source) => {
    if (closed) return;
    pending.add(source);
    const now = Date.now();
    if (timer === null) burstStart = now;
    else clearTimeout(timer);
    timer = setTimeout(fire, Math.max(0, Math.min(debounceMs, burstStart + maxWaitMs - now)));
  };

  // What failed to start is released at once; what started, by close().
  const watches = [];
  let window = null;
  try {
    for (const key of keys) watches.push(keyWatch(key));
    window = broadcastWindow(() => note('broadcast'));
  } catch (e) {
    for (const watch of watches) watch.release();
    throw e;
  }
  const pumping = setInterval(window.pump, pumpIntervalMs);
  const close = () => {
    if (closed) return;
    closed = true;
    clearTimeout(timer);
    clearInterval(pumping);
    window.destroy();
    hubRemove(watches); // returns at once; the handles go when the wait has returned
  };
  for (const watch of watches) {
    watch.signalled = () => {
      try {
        if (watch.changed()) note(watch.source);
      } catch (e) {
        watch.fail(e);
      }
    };
    // The feed cannot go on: it ends as after close(), and the failure is thrown.
    watch.fail = (e) => {
      if (closed) return;
      close();
      process.nextTick(() => {
        throw e;
      });
    };
  }
  hubAdd(watches);
  return { close };
}

module.exports = { watchFonts, fontKeys, defaults };
