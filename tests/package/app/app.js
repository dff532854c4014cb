'use strict';
// Run with Windows node under Wine: the package used by name, with no path given anywhere.
// Writes one line per check and exits with 1 when one fails.
const path = require('node:path');
const vorla = require('vorla');
const marlet = require('vorla/marlet');
const koffi = require('koffi');

const bin = path.join(path.dirname(require.resolve('vorla')), 'bin');
let failed = false;
function check(what, ok, detail = '') {
  console.log(`${ok ? 'ok' : 'FAILED'} ${what}${detail ? `: ${detail}` : ''}`);
  if (!ok) failed = true;
}

// The path of a module loaded in this process.
function loadedFrom(name) {
  const kernel32 = koffi.load('kernel32.dll');
  const GetModuleHandleW = kernel32.func('void * __stdcall GetModuleHandleW(const char16_t *name)');
  const GetModuleFileNameW = kernel32.func('uint32_t __stdcall GetModuleFileNameW(void *module, _Out_ char16_t *buffer, uint32_t size)');
  const buffer = Buffer.alloc(2 * 1024);
  const n = GetModuleFileNameW(GetModuleHandleW(name), buffer, 1024);
  return buffer.toString('utf16le', 0, 2 * n);
}

async function main() {
  const api = vorla.open();
  check('version()', api.version() === '1.0.0', api.version());
  const fonts = api.getAvailableFonts();
  check('getAvailableFonts()', fonts.length > 0 && fonts.every((f) => f.path && f.family), `${fonts.length} faces`);
  const dll = loadedFrom('VorlaNode.dll');
  check('the library loaded is the package\'s', dll.toLowerCase() === path.join(bin, 'VorlaNode.dll').toLowerCase(), dll);
  check('Marlet is the package\'s', marlet.defaultMarletPath() === path.join(bin, 'Marlet.exe'), marlet.defaultMarletPath());
  const started = [];
  const start = (request) => {
    started.push(request.file);
    return marlet.shellStart(request);
  };
  const run = await marlet.runMarlet('uninstall', [{ path: 'C:\\no such folder\\absent.ttf' }], { start });
  check('runMarlet ran the package\'s Marlet', started[0] === path.join(bin, 'Marlet.exe') &&
    JSON.stringify(run.codes) === '[1005]', `${started[0]} -> ${JSON.stringify(run.codes)}`);
}

main().then(() => { process.exitCode = failed ? 1 : 0; }, (e) => {
  console.log(`FAILED ${e.stack}`);
  process.exitCode = 1;
});
