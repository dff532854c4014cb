// Types of vorla.js: the front end's bridge to VorlaNode.dll.
import type * as koffiModule from 'koffi' with { 'resolution-mode': 'require' };

/** A function of the library as koffi declares it (callable, with .async). */
export type KoffiFunction = ReturnType<koffiModule.LibraryHandle['func']>;

/** The library's status codes. */
export declare const status: Readonly<{
  done: 0;
  /** The platform refused to remove a temporary font resource. */
  tempRemoveRefused: 1003;
  /** Font file missing or unreadable, or font not in the registry. */
  notFound: 1005;
  /** The platform refused to register the font. */
  platformRefusedFont: 1007;
  /** Registry entry not written or not deleted. */
  registry: 1011;
  /** Copying the font file failed. */
  copy: 1013;
  /** Removal of the font resource failed during an uninstall. */
  resourceRemove: 1015;
  /** A failure was caught inside the library (exception, automation, script). */
  exception: 1111;
  /** No supported application handled the request. */
  noApplication: 2001;
  /** The application's version is too old for applying a font. */
  versionTooOld: 2003;
}>;

/** The kinds of a font health finding, as the FontHealth record numbers them. */
export declare const healthKinds: Readonly<{
  /** An entry whose file does not exist. */
  missingFile: 1;
  /** A font file in the per-user fonts folder that no entry names. */
  unnamedCopy: 2;
  /** Entries whose files hold the same font (not reported yet). */
  sameFace: 3;
  /** An entry whose file is no font. */
  notLoadable: 4;
  /** A per-user entry Windows drops at the next logon (data not a full path, or in a subkey). */
  lostAtLogon: 5;
  /** Work of a run that is no longer alive (not reported yet). */
  unfinished: 6;
}>;

export type FontHealthKind = keyof typeof healthKinds;

/** One finding of checkFonts; repairFonts takes them back. Texts are never null (empty instead). */
export interface FontHealthFinding {
  kind: FontHealthKind;
  /** 0 per user, 1 all users. */
  scope: 0 | 1;
  /** The entry: its value name, for a value in a subkey "<subkey>\<value name>"; "" for an unnamed copy. */
  valueName: string;
  /** The file the entry names (a full path), or the unnamed copy. */
  path: string;
  /** A short text for the user. */
  detail: string;
  /** Findings of one set of entries holding the same font share a non-zero group. */
  group: number;
  /** The font's head.fontRevision (16.16), 0 when unknown. */
  fontRevision: number;
  /** The file's size in bytes, -1 when there is no file. */
  size: number;
  postscriptName: string;
  /** Of a set holding the same font: the entry to keep. */
  keep?: boolean;
}

/** Options of repairFonts for its all-users part, which runs in one elevated Marlet run. */
export interface RepairFontsOptions {
  /** Called after each all-users finding with its index in the list given to repairFonts and its status. */
  onProgress?: (index: number, status: number) => void;
  signal?: AbortSignal;
  exe?: string;
  timeoutMs?: number;
  start?: (request: { verb: string; file: string; parameters: string; directory?: string | null }) => unknown;
}

/** Any status an export returns. */
export type StatusCode = (typeof status)[keyof typeof status];

/** Settings for initial(); missing texts are passed as null (the library keeps its defaults). */
export interface VorlaConfig {
  /** Folder of the log file, ending with a path separator. */
  logPath?: string | null;
  logName?: string | null;
  language?: string | null;
  appName?: string | null;
  appId?: string | null;
}

/** A font as the install, uninstall and apply calls take it; missing texts are passed as null. */
export interface FontForm {
  family?: string | null;
  path?: string | null;
  postscriptName?: string | null;
  style?: string | null;
}

/** One installed font face, as getAvailableFonts lists it. */
export interface FontData {
  path: string | null;
  postscriptName: string | null;
  family: string | null;
  style: string | null;
  weight: number;
  width: number;
  italic: boolean;
  monospace: boolean;
}

/** One window of a running supported application (texts are null when empty). */
export interface WindowData {
  exeName: string | null;
  title: string | null;
  processId: number;
}

/** A named permission and whether the process holds it. */
export interface Permission {
  name: string;
  granted: boolean;
}

/** The same calls as Vorla's, returning Promises; each runs on one of koffi's worker threads. */
export interface VorlaPromises {
  getAvailableFonts(): Promise<FontData[]>;
  installFont(font: FontForm): Promise<StatusCode>;
  uninstallFont(font: FontForm): Promise<StatusCode>;
  installTempFont(font: FontForm): Promise<StatusCode>;
  uninstallTempFont(font: FontForm): Promise<StatusCode>;
  getAvailableApplications(): Promise<WindowData[]>;
  applyFontForApplication(font: FontForm, processId?: number): Promise<StatusCode>;
  getPermissions(): Promise<Permission[]>;
  checkFonts(): Promise<FontHealthFinding[]>;
  repairFonts(findings: FontHealthFinding[], options?: RepairFontsOptions): Promise<StatusCode[]>;
}

/** What changed since the last call of a font-change listener: the per-user Fonts key ('user'),
 *  the all-users Fonts key ('machine'), a WM_FONTCHANGE broadcast ('broadcast'). */
export type FontChangeSource = 'user' | 'machine' | 'broadcast';

/** One call of a font-change listener: every source that changed during the burst, sorted. */
export interface FontChange {
  sources: FontChangeSource[];
}

/** Timing of the font-change feed: the listener runs once nothing changed for debounceMs (300 by
 *  default), and at the latest maxWaitMs (1000 by default) after the first change of a burst. */
export interface WatchFontsOptions {
  debounceMs?: number;
  maxWaitMs?: number;
  /** Called at once for each WM_FONTCHANGE broadcast, before the debounce (the library's feed
   *  passes markFontListStale). */
  onBroadcast?: () => void;
}

/** A running font-change feed. */
export interface FontWatch {
  /** Stops the feed at once: no listener call after it; the process may end once nothing else runs. */
  close(): void;
}

/** The koffi functions of the exports, for callers that need the records as the library sees them. */
export interface RawExports {
  initial: KoffiFunction;
  version: KoffiFunction;
  versionPointer: KoffiFunction;
  getAvailableFonts: KoffiFunction;
  releaseFontData: KoffiFunction;
  markFontListStale: KoffiFunction;
  installTempFont: KoffiFunction;
  uninstallTempFont: KoffiFunction;
  releaseWindowData: KoffiFunction;
  releaseVPermission: KoffiFunction;
  getPermissions: KoffiFunction;
  requestPermission: KoffiFunction;
  getAvailableApplications: KoffiFunction;
  applyFontForApplication: KoffiFunction;
  installFont: KoffiFunction;
  uninstallFont: KoffiFunction;
  checkFonts: KoffiFunction;
  releaseFontHealth: KoffiFunction;
  repairFonts: KoffiFunction;
}

/** The loaded library. */
export interface Vorla {
  raw: RawExports;
  lib: koffiModule.LibraryHandle;
  /** Sets up logging and the library's settings; call it first. Always 1. */
  initial(config?: VorlaConfig): number;
  /** The library's version, "1.0.0". */
  version(): string;
  /** Temporary install of font.path for this session: 0, 1005 or 1007. */
  installTempFont(font: FontForm): StatusCode;
  /** Removes a temporary font: 0, 1003 or 1005. */
  uninstallTempFont(font: FontForm): StatusCode;
  /** The installed font faces. The library keeps the list and hands it out again while the Fonts
   *  keys, the fonts folders and its own temporary fonts are unchanged. */
  getAvailableFonts(): FontData[];
  /** The next getAvailableFonts lists afresh: for a change the library cannot see (a font another
   *  program registered for the session; watchFonts calls it for every WM_FONTCHANGE broadcast). */
  markFontListStale(): void;
  /** Every permission the library knows ("runAdmin"). */
  getPermissions(): Permission[];
  /**
   * Obtains the named permission: 0 when it was not obtained. A granted "runAdmin" request
   * starts the host program again, elevated, and ends this process.
   */
  requestPermission(name: string): number;
  /** Windows of running supported applications, one per process. */
  getAvailableApplications(): WindowData[];
  /** Applies the font to the application of processId (0: the topmost recognised window). */
  applyFontForApplication(font: FontForm, processId?: number): StatusCode;
  /** Permanent install of font.path for the current user. */
  installFont(font: FontForm): StatusCode;
  /** Permanent uninstall of the installed file font.path. */
  uninstallFont(font: FontForm): StatusCode;
  /**
   * The findings of a read-only check of both scopes' font entries and of the per-user fonts folder,
   * on one of koffi's worker threads.
   */
  checkFonts(): Promise<FontHealthFinding[]>;
  /**
   * Repairs findings (as checkFonts gave them, or chosen among them): one status per finding, in order.
   * Per-user ones by the library; all-users ones by one elevated Marlet run (rejects when that run does).
   * 0 repaired, 1005 the finding no longer holds, 1011 the registry refused, 1111 not repaired here.
   */
  repairFonts(findings: FontHealthFinding[], options?: RepairFontsOptions): Promise<StatusCode[]>;
  promises: VorlaPromises;
  /**
   * Calls listener after the installed fonts changed, from this process or any other: a change of the
   * per-user or all-users Fonts key, or a WM_FONTCHANGE broadcast; a burst of changes gives one call.
   * Every feed of the process shares one asynchronous koffi wait (one thread of libuv's pool) and
   * never blocks the event loop; a feed keeps the process alive until close(). A failure of the feed
   * itself ends it and is thrown as an uncaught exception. Each broadcast also marks the library's
   * kept font list stale at once (markFontListStale).
   */
  watchFonts(listener: (change: FontChange) => void, options?: WatchFontsOptions): FontWatch;
}

export declare const koffi: typeof koffiModule;
/** The koffi types of the exchange records. */
export declare const records: Readonly<Record<
  'VorlaConfig' | 'FontForm' | 'ApplyFont' | 'FontData' | 'WindowData' | 'VPermission' | 'FontHealth',
  koffiModule.TypeObject>>;
/** The byte sizes the library expects of the records. */
export declare const recordSizes: Readonly<Record<keyof typeof records, number>>;
/** Throws when a record's koffi layout differs from the library's. */
export declare function checkLayout(): void;
/** Number of elements of an array returned by a list export. */
export declare function arrayCount(pointer: unknown): number;
/** Reads a returned array into plain objects and hands it back to its release function. */
export declare function takeArray<T = unknown>(
  pointer: unknown, elementType: koffiModule.TypeObject, release: (pointer: unknown) => void): T[];
/** A FontForm record with every text present (null where missing). */
export declare function fontForm(font?: FontForm): Required<FontForm>;
/** The library beside the bridge: bin/VorlaNode.dll in the package, the build's in the source tree. */
export declare function defaultDllPath(): string;
/** Loads the library (defaultDllPath() when no path is given) and returns its exports, wrapped for JavaScript callers. */
export declare function open(dllPath?: string): Vorla;
