'use strict';
// Tells the harness's guard (tests/harness/guard.sh) that a fixture did not start: one line in the file
// VORLA_HARNESS_FAULT names. A test file that then fails is run once more in a new Wine session. Outside
// the guard (no such variable) it does nothing.
const fs = require('node:fs');

function noteHarnessFault(what) {
  const file = process.env.VORLA_HARNESS_FAULT;
  if (file) fs.appendFileSync(file, `${what}\n`);
}

module.exports = { noteHarnessFault };
