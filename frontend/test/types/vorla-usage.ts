// Uses every declared function, record and status code of vorla.js as a front end would;
// the type check of the test suite compiles it.
import * as vorla from '../../vorla.js';

const api: vorla.Vorla = vorla.open();
vorla.checkLayout();
const dll: string = vorla.defaultDllPath();
api.initial({ logPath: 'C:\\logs\\', logName: 'front', language: 'zh-CN', appName: 'Vorla', appId: null });
api.initial();
const version: string = api.version();

const font: vorla.FontForm = { family: 'Arial', path: 'C:\\Fonts\\arial.ttf', postscriptName: 'ArialMT' };
const statuses: vorla.StatusCode[] = [
  api.installFont(font),
  api.uninstallFont({ path: font.path }),
  api.installTempFont(font),
  api.uninstallTempFont(font),
  api.applyFontForApplication(font),
  api.applyFontForApplication({ family: null }, 1234),
];
if (statuses[0] === vorla.status.notFound || statuses[0] === vorla.status.exception) console.log('failed');
const known: number[] = [vorla.status.done, vorla.status.tempRemoveRefused, vorla.status.platformRefusedFont,
  vorla.status.registry, vorla.status.copy, vorla.status.resourceRemove, vorla.status.noApplication,
  vorla.status.versionTooOld];

const fonts: vorla.FontData[] = api.getAvailableFonts();
api.markFontListStale();
for (const f of fonts) {
  const line: string = `${f.family ?? ''} ${f.style ?? ''} ${f.path ?? ''} ${f.postscriptName ?? ''}`;
  const numbers: number = f.weight + f.width;
  const flags: boolean = f.italic || f.monospace;
  console.log(line, numbers, flags);
}
const windows: vorla.WindowData[] = api.getAvailableApplications();
const targets: number[] = windows.map((w) => w.processId);
const names: (string | null)[] = windows.map((w) => w.exeName ?? w.title);
const permissions: vorla.Permission[] = api.getPermissions();
const admin: boolean = permissions.some((p) => p.name === 'runAdmin' && p.granted);
const obtained: number = api.requestPermission('runAdmin');

async function overlapping(): Promise<void> {
  const [list, apps, perms, installed, removed, temp, untemp, applied] = await Promise.all([
    api.promises.getAvailableFonts(),
    api.promises.getAvailableApplications(),
    api.promises.getPermissions(),
    api.promises.installFont(font),
    api.promises.uninstallFont(font),
    api.promises.installTempFont(font),
    api.promises.uninstallTempFont(font),
    api.promises.applyFontForApplication(font, targets[0]),
  ]);
  const faces: vorla.FontData[] = list;
  const shown: vorla.WindowData[] = apps;
  const held: vorla.Permission[] = perms;
  const all: vorla.StatusCode[] = [installed, removed, temp, untemp, applied];
  console.log(faces, shown, held, all);
}

const sizes: number = vorla.recordSizes.FontData + vorla.koffi.sizeof(vorla.records.ApplyFont);
const count: number = vorla.arrayCount(api.raw.getAvailableFonts([0]));
const form: Required<vorla.FontForm> = vorla.fontForm({ path: 'x.ttf' });
const taken: vorla.FontData[] = vorla.takeArray<vorla.FontData>(null, vorla.records.FontData, api.raw.releaseFontData);
api.raw.installFont.async(form, (error: unknown, result: number) => console.log(error, result));

const watch: vorla.FontWatch = api.watchFonts((change: vorla.FontChange) => {
  const fromRegistry: boolean = change.sources.some((s: vorla.FontChangeSource) => s === 'user' || s === 'machine');
  console.log(fromRegistry);
}, { debounceMs: 200, maxWaitMs: 800 });
watch.close();
// @ts-expect-error: a change names its sources, nothing else
api.watchFonts((change: vorla.FontChange) => change.sources.includes('hkcu'));

// Font health: the check, then a repair of chosen findings (the all-users ones through Marlet).
async function health(): Promise<void> {
  const findings: vorla.FontHealthFinding[] = await api.checkFonts();
  const broken: vorla.FontHealthFinding[] = findings.filter((f) => f.kind === 'missingFile' || f.scope === 1);
  const codes: vorla.StatusCode[] = await api.repairFonts(broken, { onProgress: (index, code) => console.log(index, code) });
  const again: vorla.FontHealthFinding[] = await api.promises.checkFonts();
  const numbered: number = vorla.healthKinds[findings[0].kind] + vorla.recordSizes.FontHealth;
  console.log(codes, again, numbered, await api.promises.repairFonts([]), api.raw.releaseFontHealth);
}
// @ts-expect-error: a finding's kind is one of the named kinds
const wrongKind: vorla.FontHealthFinding = { ...({} as vorla.FontHealthFinding), kind: 'brokenFile' };

console.log(dll, version, known, targets, names, admin, obtained, sizes, count, taken, overlapping, health, wrongKind);
