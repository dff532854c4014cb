'use strict';
// The progress window of one Marlet run, on a worker thread of its own (started by runMarlet,
// marlet.js). Its thread does nothing but pump the window, so every message Marlet sends is
// answered at once, however long the front end's main thread is busy: Windows counts a window
// whose thread has not pumped for 5 s as hung. The worker never waits for the main thread:
//   - each message goes to the main thread as { type, mode, index | count, status, answer } with
//     answer = { at: Date.now() of the answer, threadId: this thread, stop }, after it was answered;
//   - Cancel is a flag in shared memory (workerData.state[slots.cancel]) that the main thread sets:
//     a per-font message that finds it set is answered with stopAnswer;
//   - the loop ends once the main thread has set workerData.state[slots.close] and woken the
//     loop; the window and its class go, and { type: 'closed' } is the last message.
// Each worker has a window class of its own: its procedure is a callback of this thread.
const { parentPort, workerData, threadId } = require('node:worker_threads');
const { decodeMessage, stopAnswer } = require('./marlet.js');
const win32 = require('./win32.js');

const state = new Int32Array(workerData.state);
const { slots } = workerData;
const className = `VorlaMarletProgress.${process.pid}.${threadId}`;

function windowProc(hwnd, message, wParam, lParam) {
  const event = decodeMessage(message, wParam, lParam);
  if (!event) return win32.windows().DefWindowProcW(hwnd, message, wParam, lParam);
  const stop = event.type === 'font' && Atomics.load(state, slots.cancel) !== 0;
  parentPort.postMessage({ ...event, answer: { at: Date.now(), threadId, stop } });
  return stop ? stopAnswer : 0;
}

const windowClass = win32.registerWindowClass(className, windowProc, 'progress');
try {
  const hwnd = win32.createWindow(className, { parent: win32.HWND_MESSAGE }, 'progress');
  try {
    parentPort.postMessage({ type: 'ready', handle: hwnd });
    win32.runMessageLoop(() => Atomics.load(state, slots.close) !== 0);
  } finally {
    win32.windows().DestroyWindow(hwnd);
  }
} finally {
  windowClass.unregister();
}
parentPort.postMessage({ type: 'closed' });
