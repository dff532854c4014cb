'use strict';
// Where the bridge finds its binaries when the caller names none: in the source tree, the Windows
// build (build/windows/). The package carries its own copy of this module, written by
// scripts/package.sh, that names the package's bin/ folder. No environment variable takes part:
// an elevated Marlet and the loaded library must not be chosen by whoever set the environment.
const path = require('node:path');

const dir = path.join(__dirname, '..', 'build', 'windows');
module.exports = Object.freeze({ dll: path.join(dir, 'VorlaNode.dll'), marlet: path.join(dir, 'Marlet.exe') });
