// A CommonJS front end: both entry points of the package resolve with their types.
import * as vorla from 'vorla';
import * as marlet from 'vorla/marlet';

const api: vorla.Vorla = vorla.open();
const version: string = api.version();
const fonts: vorla.FontData[] = api.getAvailableFonts();
const watch: vorla.FontWatch = api.watchFonts((change: vorla.FontChange) => console.log(change.sources));
watch.close();
const run: Promise<marlet.MarletRun> = marlet.runMarlet('uninstall', [{ path: 'C:\\x.ttf' }]);
// @ts-expect-error: the mode is install or uninstall
marlet.runMarlet('remove', []);

export { version, fonts, run };
