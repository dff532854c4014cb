// Types of frontend/marlet.js: starting the installer Marlet.exe from the front end.

/** One font of a batch; empty or missing members are left out of the list Marlet reads. */
export interface MarletFont {
  family?: string;
  path?: string;
  postscriptName?: string;
  style?: string;
}

/** One entry of Marlet's result list: `code` is the status as decimal text, `data` is always "". */
export interface MarletResult {
  data: string;
  code: string;
}

/** What a run resolves to: the result list in list order, and the statuses as numbers. */
export interface MarletRun {
  results: MarletResult[];
  codes: number[];
}

/** 'repair' repairs findings of the font health check (all-users ones; see vorla.d.ts FontHealthFinding). */
export type MarletMode = 'install' | 'uninstall' | 'repair';

/** One finding of a repair run: the FontHealthFinding members as Marlet reads them; keep marks the
 *  entry kept of a set holding the same font. */
export interface MarletFinding {
  kind: string;
  scope: number;
  valueName?: string;
  path?: string;
  detail?: string;
  postscriptName?: string;
  group?: number;
  fontRevision?: number;
  size?: number;
  keep?: boolean;
}

/** What the shell start receives: ShellExecuteExW's verb, program, parameters and working folder. */
export interface MarletStartRequest {
  verb: string;
  file: string;
  parameters: string;
  directory?: string | null;
}

/** A process handle as koffi passes pointers. */
export type ProcessHandle = unknown;

/** The record handed to ShellExecuteExW (SHELLEXECUTEINFOW without cbSize); hProcess is filled in. */
export interface ShellExecuteInfo {
  fMask: number;
  hwnd: unknown;
  lpVerb: string;
  lpFile: string;
  lpParameters: string;
  lpDirectory: string | null;
  nShow: number;
  hInstApp: unknown;
  lpIDList: unknown;
  lpClass: string | null;
  hkeyClass: unknown;
  dwHotKey: number;
  hIconOrMonitor: unknown;
  hProcess: ProcessHandle | null;
}

/** The outcome of one shell call; `error` is the Windows error of a failed start, else 0. */
export interface ShellExecuteOutcome {
  ok: boolean;
  error: number;
}

/** How a progress message was answered: by the bridge's progress worker, at once. */
export interface MarletAnswer {
  /** When the worker answered the message (Date.now() of the worker thread). */
  at: number;
  /** The worker thread that pumps the progress window (never the main thread's 0). */
  threadId: number;
  /** Whether the answer was stopAnswer: the run stops after this font. */
  stop: boolean;
}

export interface RunMarletOptions {
  /** The front end's own window for the progress messages (decode them with decodeMessage); not with onProgress/onDone. */
  window?: number | bigint | null;
  /**
   * Called after each font, in list order, with its index and status, once the main thread is free: the
   * bridge's progress window runs on a worker thread of its own, which has answered the message already.
   */
  onProgress?: (index: number, status: number, answer: MarletAnswer) => void;
  /** Called after the last font with the number of results. */
  onDone?: (count: number, answer: MarletAnswer) => void;
  /**
   * Stops the run: once aborted, Marlet finishes the font it is working on and stops (the bridge's worker
   * answers that font's message with stopAnswer, also while the main thread is busy); the promise rejects
   * with a MarletAbortError. An aborted signal starts nothing. Not with window.
   */
  signal?: AbortSignal;
  /** Path of Marlet.exe; defaultMarletPath() by default. */
  exe?: string;
  /** Longest wait for the run, in ms (10 minutes by default; Infinity: no limit). */
  timeoutMs?: number;
  /** The shell start (shellStart by default); returns the process handle or throws. */
  start?: (request: MarletStartRequest) => ProcessHandle;
}

/** An error of runMarlet or shellStart. */
export interface MarletError extends Error {
  /** 'ELEVATION_CANCELLED' (consent declined), 'ENOENT' (no program), 'ESHELLEXECUTE', 'ETIMEDOUT'. */
  code?: 'ELEVATION_CANCELLED' | 'ENOENT' | 'ESHELLEXECUTE' | 'ETIMEDOUT';
  /** The Windows error of a failed shell start. */
  winError?: number;
  /** Marlet's exit code when it ended with another one than 0 (see exitCodes). */
  exitCode?: number;
}

/** The rejection of a stopped run: the results of the fonts finished before the stop, in list order. */
export interface MarletAbortError extends Error {
  name: 'AbortError';
  code: 'ABORT_ERR';
  results: MarletResult[];
  codes: number[];
}

/** A decoded progress message. */
export type MarletMessage =
  | { type: 'font'; mode: MarletMode; index: number; status: number }
  | { type: 'end'; mode: MarletMode; count: number };

/** The window messages Marlet sends to the "-w" window. */
export declare const messages: Readonly<{
  installedOne: 0x1401;
  uninstalledOne: 0x1402;
  installDone: 0x1403;
  uninstallDone: 0x1404;
  repairedOne: 0x1405;
  repairDone: 0x1406;
}>;

/** The answer to a per-font message that stops Marlet after that font ("STOP" in ASCII). */
export declare const stopAnswer: 0x53544f50;

/** Marlet's exit codes; stopped: a window answered stopAnswer before the end of the list. */
export declare const exitCodes: Readonly<{ done: 0; usage: 1; resultLost: 2; failure: 3; stopped: 4 }>;

/** The longest command line Windows accepts, in UTF-16 units with the terminating NUL. */
export declare const maxCommandLine: 32767;

/** Marlet.exe beside the bridge: bin/Marlet.exe in the package, the build's in the source tree. */
export declare function defaultMarletPath(): string;

/** The list as Marlet reads it: JSON with every double quote written as backslash-apostrophe. */
export declare function quoteFontList(fonts: MarletFont[]): string;

/** The findings list of a repair run, quoted as quoteFontList quotes fonts. */
export declare function quoteFindingList(findings: MarletFinding[]): string;

/** Marlet's arguments for one run, without the program path; listFile passes the list as "@<listFile>". */
export declare function marletArguments(
  mode: MarletMode,
  fonts: MarletFont[] | MarletFinding[],
  options?: { resultFile?: string; window?: number | bigint | null; listFile?: string },
): string[];

/** One argument quoted for the C runtime's command-line parser. */
export declare function quoteArgument(arg: string): string;

/** Decodes a message of Marlet; null for any other message. */
export declare function decodeMessage(
  message: number,
  wParam: number | bigint,
  lParam: number | bigint,
): MarletMessage | null;

/** ShellExecuteExW itself. */
export declare function shellExecute(info: ShellExecuteInfo): ShellExecuteOutcome;

/** Starts a program through the shell and returns its process handle; throws a MarletError. */
export declare function shellStart(
  request: MarletStartRequest,
  execute?: (info: ShellExecuteInfo) => ShellExecuteOutcome,
): ProcessHandle;

/** Runs Marlet once through the shell's "runas" verb; rejects with a MarletError, or a MarletAbortError when stopped. */
export declare function runMarlet(
  mode: MarletMode,
  fonts: MarletFont[] | MarletFinding[],
  options?: RunMarletOptions,
): Promise<MarletRun>;
