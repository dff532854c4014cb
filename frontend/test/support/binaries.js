'use strict';
// The binaries under test, as the harness names them (tests/harness/env.sh): the tests pass these
// paths to the bridge, which itself reads no environment.
const path = require('node:path');

const buildDir = process.env.VORLA_BUILD_DIR;
if (!buildDir || !process.env.VORLA_DLL) throw new Error('VORLA_BUILD_DIR and VORLA_DLL are set by tests/harness/env.sh');
module.exports = Object.freeze({
  buildDir,
  dll: process.env.VORLA_DLL,
  marlet: path.join(buildDir, 'Marlet.exe'),
});
