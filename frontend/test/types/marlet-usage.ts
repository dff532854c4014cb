// Compiled, not run: the declarations of marlet.js as a front end uses them.
import * as marlet from '../../marlet';

function batch(fonts: marlet.MarletFont[]): Promise<number[]> {
  return marlet
    .runMarlet('install', fonts, {
      onProgress: (index: number, status: number, answer: marlet.MarletAnswer) =>
        console.log(index, status, answer.at, answer.threadId, answer.stop),
      onDone: (count: number) => console.log(count),
      timeoutMs: 60000,
    })
    .then((run: marlet.MarletRun) => {
      const first: marlet.MarletResult | undefined = run.results[0];
      console.log(first && first.code, first && first.data);
      return run.codes;
    });
}

function withOwnWindow(handle: bigint): Promise<void> {
  return marlet
    .runMarlet('uninstall', [{ path: 'C:\\x.ttf' }], { window: handle, exe: marlet.defaultMarletPath() })
    .then(
      () => undefined,
      (e: unknown) => {
        const error = e as marlet.MarletError;
        if (error.code === 'ELEVATION_CANCELLED') console.log('declined', error.winError);
        if (error.exitCode === marlet.exitCodes.usage) console.log('usage');
      },
    );
}

function cancellable(fonts: marlet.MarletFont[], controller: AbortController): Promise<number[]> {
  return marlet.runMarlet('install', fonts, { signal: controller.signal, onProgress: () => controller.abort() }).then(
    (run: marlet.MarletRun) => run.codes,
    (e: unknown) => {
      const error = e as marlet.MarletAbortError;
      if (error.name !== 'AbortError') throw e;
      const finished: marlet.MarletResult[] = error.results;
      return finished.length === error.codes.length ? error.codes : [];
    },
  );
}

// The answer a front end's own window gives to a per-font message to stop the run.
const stop: number = marlet.stopAnswer;
const stopped: number = marlet.exitCodes.stopped;

function onWindowMessage(message: number, wParam: bigint, lParam: bigint): void {
  const decoded = marlet.decodeMessage(message, wParam, lParam);
  if (decoded === null) return;
  if (decoded.type === 'font') console.log(decoded.mode, decoded.index, decoded.status);
  else console.log(decoded.mode, decoded.count);
}

const recorded: string[] = [];
const start = (request: marlet.MarletStartRequest): marlet.ProcessHandle =>
  marlet.shellStart(request, (info: marlet.ShellExecuteInfo): marlet.ShellExecuteOutcome => {
    recorded.push(info.lpVerb);
    return marlet.shellExecute(info);
  });

const args: string[] = marlet.marletArguments('install', [], { resultFile: 'r.json', window: 16 });
const line: string = args.map(marlet.quoteArgument).join(' ') + marlet.quoteFontList([{ family: 'A' }]);
const limit: number = marlet.maxCommandLine;
const id: number = marlet.messages.installDone;

// @ts-expect-error: the mode is install, uninstall or repair
marlet.runMarlet('remove', []);
const repair: Promise<marlet.MarletRun> = marlet.runMarlet('repair', [{ kind: 'missingFile', scope: 1, valueName: 'A' }]);
const findings: string = marlet.quoteFindingList([{ kind: 'notLoadable', scope: 1, path: 'C:\\x.ttf', keep: false }]);
const repaired: number = marlet.messages.repairedOne + marlet.messages.repairDone;

export { batch, withOwnWindow, cancellable, stop, stopped, onWindowMessage, start, line, limit, id, repair, findings, repaired };
