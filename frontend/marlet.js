'use strict';
// Starts the installer Marlet.exe as the front end does: the font list goes on the command
// line as JSON with every double quote written as a backslash and an apostrophe, the result
// list comes back through a file ("-o"), and an optional window handle ("-w") receives the
// progress messages 0x1401-0x1404. Marlet runs elevated: on Windows every start passes the
// elevation prompt.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');
const { defaultDllPath } = require('./vorla.js');

// Window messages Marlet sends to the "-w" window.
const messages = Object.freeze({
  installedOne: 0x1401, // wParam index, lParam status
  uninstalledOne: 0x1402, // wParam index, lParam status
  installDone: 0x1403, // wParam number of results, lParam 0
  uninstallDone: 0x1404, // wParam 0, lParam number of results
});

// Exit codes of Marlet.
const exitCodes = Object.freeze({ done: 0, usage: 1, resultLost: 2, failure: 3 });

function defaultMarletPath() {
  return process.env.VORLA_MARLET || path.join(path.dirname(defaultDllPath()), 'Marlet.exe');
}

// The font list as Marlet's command line takes it. Apostrophes inside the texts are written
// as \u0027 first, so every backslash-apostrophe pair that Marlet sees stands for a quote.
function quoteFontList(fonts) {
  // Empty members are left out (Marlet reads a missing member as empty): the list must fit
  // the command line.
  const list = fonts.map((f) => {
    const entry = {};
    for (const key of ['family', 'path', 'postscriptName', 'style']) if (f[key]) entry[key] = String(f[key]);
    return entry;
  });
  return JSON.stringify(list).replace(/'/g, '\\u0027').replace(/"/g, "\\'");
}

// The longest command line Windows accepts, in UTF-16 units, terminating NUL included.
const maxCommandLine = 32767;

// The arguments of one run (without the program path).
function marletArguments(mode, fonts, { resultFile, window } = {}) {
  if (mode !== 'install' && mode !== 'uninstall') throw new Error(`mode must be install or uninstall, not ${mode}`);
  const args = [mode === 'install' ? '-i' : '-u', quoteFontList(fonts)];
  if (resultFile !== undefined) args.push('-o', resultFile);
  if (window !== undefined && window !== null) {
    const handle = BigInt(window);
    if (handle < -2147483648n || handle > 2147483647n) throw new Error(`window handle ${window} is outside 32 bits`);
    args.push('-w', handle.toString(10));
  }
  return args;
}

// Runs Marlet once and resolves to { results: [{ data, code }], codes: [numbers], log } after
// it ended; rejects with the usage text (exit code 1) or when the result list was lost.
// fonts: [{ family, path, postscriptName, style }]; window: the front end's window handle.
function runMarlet(mode, fonts, { window, exe = defaultMarletPath(), timeoutMs = 10 * 60 * 1000 } = {}) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'marlet-'));
  const resultFile = path.join(dir, 'result.json');
  const args = marletArguments(mode, fonts, { resultFile, window });
  // Best effort: under Wine a file can stay busy for a moment after the program ended.
  const cleanUp = () => {
    try {
      fs.rmSync(dir, { recursive: true, force: true, maxRetries: 5, retryDelay: 50 });
    } catch {
      // a leftover temporary folder is harmless
    }
  };
  // Node quotes each argument; a rough upper bound of the line is enough to refuse early.
  const length = [exe, ...args].reduce((n, a) => n + a.length + 3, 0);
  if (length >= maxCommandLine) {
    cleanUp();
    return Promise.reject(new Error(`the font list makes a command line of about ${length} characters; ` +
      `Windows takes at most ${maxCommandLine - 1}: split the list`));
  }
  // Output through files: programs started by node under Wine cannot write to its pipes.
  const out = fs.openSync(path.join(dir, 'stdout.txt'), 'w');
  const err = fs.openSync(path.join(dir, 'stderr.txt'), 'w');
  return new Promise((resolve, reject) => {
    const child = spawn(exe, args, { stdio: ['ignore', out, err], windowsHide: true });
    const timer = setTimeout(() => child.kill(), timeoutMs);
    child.on('error', (e) => {
      clearTimeout(timer);
      fs.closeSync(out);
      fs.closeSync(err);
      cleanUp();
      reject(e);
    });
    child.on('exit', (code, signal) => {
      clearTimeout(timer);
      fs.closeSync(out);
      fs.closeSync(err);
      const log = fs.readFileSync(path.join(dir, 'stdout.txt'), 'utf8');
      const stderr = fs.readFileSync(path.join(dir, 'stderr.txt'), 'utf8');
      try {
        if (code !== exitCodes.done) {
          const why = code === exitCodes.usage ? log.trim() : stderr.trim() || `signal ${signal}`;
          throw Object.assign(new Error(`Marlet exited with ${code}: ${why}`), { exitCode: code, log, stderr });
        }
        const results = JSON.parse(fs.readFileSync(resultFile, 'utf8'));
        resolve({ results, codes: results.map((r) => Number(r.code)), log });
      } catch (e) {
        reject(e);
      } finally {
        cleanUp();
      }
    });
  });
}

module.exports = { messages, exitCodes, maxCommandLine, defaultMarletPath, quoteFontList, marletArguments, runMarlet };
