// An ES module front end: the same entry points through import.
import { open, status, type StatusCode } from 'vorla';
import { runMarlet, exitCodes, type MarletRun } from 'vorla/marlet';

const done: StatusCode = status.done;
const code: number = exitCodes.resultLost;
const run: Promise<MarletRun> = runMarlet('install', []);
const installed: StatusCode = open().installFont({ path: 'C:\\a.ttf' });

export { done, code, run, installed };
