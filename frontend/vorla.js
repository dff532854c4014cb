'use strict';
// The front end's bridge to VorlaNode.dll: koffi declarations of the exchange records and of the
// exports, and the helpers that read a returned array and hand it back to its release function.
const koffi = require('koffi');
const binaries = require('./binaries.js');

// ---- Exchange records (64-bit layout; sizes are checked in checkLayout) ----
const VorlaConfig = koffi.struct('VorlaConfig', {
  logPath: 'const char *',
  reserved: 'void *',
  logName: 'const char *',
  language: 'const char *',
  appName: 'const char *',
  appId: 'const char *',
});
const FontForm = koffi.struct('FontForm', {
  family: 'const char *',
  path: 'const char *',
  postscriptName: 'const char *',
  style: 'const char *',
});
const ApplyFont = koffi.struct('ApplyFont', {
  family: 'const char *',
  path: 'const char *',
  postscriptName: 'const char *',
  style: 'const char *',
  processId: 'int',
});
const FontData = koffi.struct('FontData', {
  path: 'const char *',
  postscriptName: 'const char *',
  family: 'const char *',
  style: 'const char *',
  weight: 'int',
  width: 'int',
  italic: 'bool',
  monospace: 'bool',
});
const WindowData = koffi.struct('WindowData', {
  exeName: 'const char *',
  title: 'const char *',
  processId: 'int',
});
const VPermission = koffi.struct('VPermission', {
  name: 'const char *',
  granted: 'int',
});
const FontHealth = koffi.struct('FontHealth', {
  kind: 'int',
  scope: 'int',
  valueName: 'const char *',
  path: 'const char *',
  detail: 'const char *',
  group: 'int',
  fontRevision: 'uint32_t',
  size: 'int64_t',
  postscriptName: 'const char *',
});

// The library's status codes: one number space for every export that returns a status.
const status = Object.freeze({
  done: 0,
  tempRemoveRefused: 1003, // the platform refused to remove a temporary font resource
  notFound: 1005, // font file missing or unreadable, or font not in the registry
  platformRefusedFont: 1007, // the platform refused to register the font
  registry: 1011, // registry entry not written or not deleted
  copy: 1013, // copying the font file failed
  resourceRemove: 1015, // removal of the font resource failed during an uninstall
  exception: 1111, // a failure was caught inside the library (exception, automation, script)
  noApplication: 2001, // no supported application handled the request
  versionTooOld: 2003, // the application's version is too old for applying a font
});

// The kinds of a font health finding: the FontHealth record's kind, by name.
const healthKinds = Object.freeze({
  missingFile: 1, // an entry whose file does not exist
  unnamedCopy: 2, // a font file in the per-user fonts folder that no entry names
  sameFace: 3, // entries whose files hold the same font (not reported yet)
  notLoadable: 4, // an entry whose file is no font
  lostAtLogon: 5, // a per-user entry Windows drops at the next logon (relative data, or in a subkey)
  unfinished: 6, // work of a run that is no longer alive (not reported yet)
});

const records = { VorlaConfig, FontForm, ApplyFont, FontData, WindowData, VPermission, FontHealth };
const recordSizes = {
  VorlaConfig: 48, FontForm: 32, ApplyFont: 40, FontData: 48, WindowData: 24, VPermission: 16, FontHealth: 56,
};

function checkLayout() {
  for (const [name, size] of Object.entries(recordSizes)) {
    if (koffi.sizeof(records[name]) !== size) {
      throw new Error(`${name} is ${koffi.sizeof(records[name])} bytes, the library expects ${size}`);
    }
  }
}

// Number of elements of an array returned by a list export: the 8 bytes before the first element.
function arrayCount(pointer) {
  return Number(koffi.decode(pointer, -8, 'int64_t'));
}

// Reads a returned array into plain objects and always hands the block back to its release function.
function takeArray(pointer, elementType, release) {
  if (pointer === null) return [];
  try {
    const count = arrayCount(pointer);
    return count === 0 ? [] : koffi.decode(pointer, elementType, count);
  } finally {
    release(pointer);
  }
}

// A FontForm record from { family, path, postscriptName, style }; missing texts are passed as null.
function fontForm(font = {}) {
  return {
    family: font.family ?? null,
    path: font.path ?? null,
    postscriptName: font.postscriptName ?? null,
    style: font.style ?? null,
  };
}

// The library beside this module: the build in the source tree, bin/ in the package.
function defaultDllPath() {
  return binaries.dll;
}

// Loads the library and returns its exports, wrapped for JavaScript callers.
function open(dllPath = defaultDllPath()) {
  checkLayout();
  const lib = koffi.load(dllPath);
  const raw = {
    initial: lib.func('int initial(VorlaConfig *config)'),
    version: lib.func('const char *version()'),
    versionPointer: lib.func('version', 'void *', []),
    getAvailableFonts: lib.func('void *getAvailableFonts(_Out_ int *count)'),
    releaseFontData: lib.func('void releaseFontData(void *array)'),
    markFontListStale: lib.func('void markFontListStale()'),
    installTempFont: lib.func('int installTempFont(FontForm *font)'),
    uninstallTempFont: lib.func('int uninstallTempFont(FontForm *font)'),
    releaseWindowData: lib.func('void releaseWindowData(void *array)'),
    releaseVPermission: lib.func('void releaseVPermission(void *array)'),
    getPermissions: lib.func('void *getPermissions(_Out_ int *count)'),
    requestPermission: lib.func('int requestPermission(const char *name)'),
    getAvailableApplications: lib.func('void *getAvailableApplications(_Out_ int *count)'),
    applyFontForApplication: lib.func('int applyFontForApplication(ApplyFont *request)'),
    installFont: lib.func('int installFont(FontForm *font)'),
    uninstallFont: lib.func('int uninstallFont(FontForm *font)'),
    checkFonts: lib.func('void *checkFonts(_Out_ int *count)'),
    releaseFontHealth: lib.func('void releaseFontHealth(void *array)'),
    repairFonts: lib.func('int repairFonts(const FontHealth *findings, int count, _Out_ int *statuses)'),
  };

  // Readers of the list exports' results.
  const lists = {
    fonts(pointer, count) {
      const fonts = takeArray(pointer, FontData, raw.releaseFontData);
      if (fonts.length !== count[0]) throw new Error(`getAvailableFonts: count ${count[0]}, array of ${fonts.length}`);
      return fonts;
    },
    permissions(pointer) {
      return takeArray(pointer, VPermission, raw.releaseVPermission).map((p) => ({ name: p.name, granted: p.granted === 1 }));
    },
    applications(pointer) {
      const windows = takeArray(pointer, WindowData, raw.releaseWindowData);
      return windows.map((w) => ({ exeName: w.exeName, title: w.title, processId: w.processId }));
    },
  };
  const applyRequest = (font, processId) => ({
    family: font.family ?? null,
    path: font.path ?? null,
    postscriptName: font.postscriptName ?? null,
    style: font.style ?? null,
    processId,
  });
  const asIs = (answer) => answer;

  // The exports offered both synchronously and as Promises, each in one row: `args` turns the
  // caller's arguments into the export's (records converted before the call starts), `result`
  // turns what the export returned (and the arguments it was given) into the answer.
  const calls = {
    // Permanent install of font.path for the current user; the status code.
    installFont: { args: (font) => [fontForm(font)], result: asIs },
    // Permanent uninstall of the installed file font.path; the status code.
    uninstallFont: { args: (font) => [fontForm(font)], result: asIs },
    // Temporary fonts: font = { family, path, postscriptName, style }; missing texts are passed as null.
    installTempFont: { args: (font) => [fontForm(font)], result: asIs },
    uninstallTempFont: { args: (font) => [fontForm(font)], result: asIs },
    // The installed font faces: [{ path, postscriptName, family, style, weight, width, italic, monospace }].
    getAvailableFonts: { args: () => [[0]], result: (pointer, [count]) => lists.fonts(pointer, count) },
    // Windows of running supported applications, one per process:
    // [{ exeName, title, processId }] (exeName / title null when empty).
    getAvailableApplications: { args: () => [[0]], result: (pointer) => lists.applications(pointer) },
    // font: { family, path, postscriptName, style } (missing texts pass as null);
    // processId 0 targets the topmost recognised window. The status code.
    applyFontForApplication: { args: (font, processId = 0) => [applyRequest(font, processId)], result: asIs },
    // [{ name, granted }] for every permission the library knows ("runAdmin").
    getPermissions: { args: () => [[0]], result: (pointer) => lists.permissions(pointer) },
  };
  // Runs an export on one of koffi's worker threads.
  const onWorker = (fn, ...args) => new Promise((resolve, reject) => {
    fn.async(...args, (error, result) => (error ? reject(error) : resolve(result)));
  });

  const api = {
    raw,
    lib,
    // config: { logPath, logName, language, appName, appId }; missing texts are passed as null.
    initial(config = {}) {
      return raw.initial({
        logPath: config.logPath ?? null,
        reserved: null,
        logName: config.logName ?? null,
        language: config.language ?? null,
        appName: config.appName ?? null,
        appId: config.appId ?? null,
      });
    },
    version() {
      return raw.version();
    },
    // Obtains the named permission: 0 when it was not obtained. A granted
    // "runAdmin" request starts the host program again, elevated, and ends this
    // process, so the call does not return then.
    requestPermission(name) {
      return raw.requestPermission(name);
    },
    // The next getAvailableFonts lists the fonts afresh instead of handing out the list the library
    // kept: for a change the library cannot see (a font another program registered for the session).
    markFontListStale() {
      raw.markFontListStale();
    },
    // Calls listener({ sources }) after the installed fonts changed: the per-user or all-users Fonts
    // key ('user', 'machine') or a WM_FONTCHANGE broadcast ('broadcast'), from any process; a burst
    // of changes gives one call (see watch.js for the timing). Each broadcast also marks the
    // library's kept font list stale at once. Returns { close() }.
    watchFonts(listener, options) {
      return require('./watch.js').watchFonts(listener, { ...options, onBroadcast: () => raw.markFontListStale() });
    },
    // The calls of the table returning Promises (like node's fs.promises): each runs on one of
    // koffi's worker threads, so the event loop goes on while it works. Calls may overlap; results
    // have the same form as those of the synchronous functions.
    promises: {},
  };
  Object.assign(api, healthCalls(raw, onWorker));
  for (const [name, { args, result }] of Object.entries(calls)) {
    api[name] = (...given) => {
      const exportArgs = args(...given);
      return result(raw[name](...exportArgs), exportArgs);
    };
    api.promises[name] = async (...given) => {
      const exportArgs = args(...given);
      return result(await onWorker(raw[name], ...exportArgs), exportArgs);
    };
  }
  api.promises.checkFonts = api.checkFonts;
  api.promises.repairFonts = api.repairFonts;
  return api;
}

// ---- Font health ----
const kindNames = Object.fromEntries(Object.entries(healthKinds).map(([name, number]) => [number, name]));

// A finding as the front end holds it: the record's fields, kind by name.
function findingOf(record) {
  return {
    kind: kindNames[record.kind] ?? String(record.kind),
    scope: record.scope,
    valueName: record.valueName ?? '',
    path: record.path ?? '',
    detail: record.detail ?? '',
    group: record.group,
    fontRevision: record.fontRevision,
    size: Number(record.size),
    postscriptName: record.postscriptName ?? '',
  };
}

// The record of a finding; a kind the library does not know is passed as 0 (its repair answers 1111).
function healthRecord(finding) {
  return {
    kind: healthKinds[finding.kind] ?? 0,
    scope: finding.scope ?? 0,
    valueName: finding.valueName ?? '',
    path: finding.path ?? '',
    detail: finding.detail ?? '',
    group: finding.group ?? 0,
    fontRevision: finding.fontRevision ?? 0,
    size: finding.size ?? -1,
    postscriptName: finding.postscriptName ?? '',
  };
}

// checkFonts and repairFonts, both on koffi's worker threads.
function healthCalls(raw, onWorker) {
  return {
    // The findings of a read-only check of both scopes: [{ kind, scope, valueName, path, detail, group,
    // fontRevision, size, postscriptName }], kind by name ('missingFile', ...).
    async checkFonts() {
      const count = [0];
      const pointer = await onWorker(raw.checkFonts, count);
      return takeArray(pointer, FontHealth, raw.releaseFontHealth).map(findingOf);
    },
    // Repairs findings (as checkFonts gave them); resolves to one status per finding, in order. The
    // per-user ones (scope 0) are repaired by the library, the all-users ones (scope 1) by one elevated
    // Marlet run (runMarlet('repair', ...), with options: exe, timeoutMs, start, signal, onProgress
    // with the finding's index in this list). A rejected Marlet run rejects the whole call.
    async repairFonts(findings, options = {}) {
      const statuses = new Array(findings.length).fill(status.exception);
      const own = [];
      const elevated = [];
      findings.forEach((finding, index) => ((finding.scope ?? 0) === 1 ? elevated : own).push(index));
      if (own.length > 0) {
        const answers = new Array(own.length).fill(status.exception);
        const rc = await onWorker(raw.repairFonts, own.map((index) => healthRecord(findings[index])), own.length, answers);
        if (rc !== status.done) throw new Error(`repairFonts failed (${rc})`);
        answers.forEach((code, i) => { statuses[own[i]] = code; });
      }
      if (elevated.length > 0) {
        const { runMarlet } = require('./marlet.js');
        const { onProgress, ...rest } = options;
        const progress = onProgress ? { onProgress: (i, code) => onProgress(elevated[i], code) } : {};
        const { codes } = await runMarlet('repair', elevated.map((index) => findings[index]), { ...rest, ...progress });
        codes.forEach((code, i) => { statuses[elevated[i]] = code; });
      }
      return statuses;
    },
  };
}

module.exports = {
  koffi, status, healthKinds, records, recordSizes, checkLayout, arrayCount, takeArray, fontForm, open, defaultDllPath,
};
