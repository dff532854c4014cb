'use strict';
// Where the bridge finds its binaries when the caller names none: bin/ of this package (this module
// is the package's own, put here by scripts/package.sh). No environment variable takes part: an
// elevated Marlet and the loaded library must not be chosen by whoever set the environment. Inside an
// Electron app's archive (app.asar) no library can be loaded and no program started: the binaries
// are those of its unpacked copy beside it (app.asar.unpacked), where the app's packager puts bin/.
const path = require('node:path');

const dir = path.join(__dirname, 'bin').replace(/([\\/])app\.asar([\\/])/, '$1app.asar.unpacked$2');
module.exports = Object.freeze({ dll: path.join(dir, 'VorlaNode.dll'), marlet: path.join(dir, 'Marlet.exe') });
