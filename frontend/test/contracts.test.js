'use strict';
// The numbers shared between the binaries, the bridge and the documentation are defined once,
// in the C++ headers: src/common/Status.h (status codes) and helper/marlet/Installer.h (Marlet's
// window messages, stop answer and exit codes). Every copy (the bridge's JavaScript, its type
// declarations, the tables of README.md and docs/) must hold exactly the header's names and
// values: a constant added, removed or changed in one place fails here until all follow.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const vorla = require('../vorla.js');
const marlet = require('../marlet.js');

const root = path.join(__dirname, '..', '..');
const read = (...parts) => fs.readFileSync(path.join(root, ...parts), 'utf8');

// `constexpr <type> k<Name> = <value>;` of a header, as { name: value } with the bridge's
// spelling of the name: `prefix` removed, the first letter in lower case (kNotFound -> notFound,
// kExitResultLost -> resultLost with prefix 'kExit').
function constants(text, pattern, prefix) {
  const found = {};
  for (const m of text.matchAll(pattern)) {
    const name = m[1].slice(prefix.length);
    found[name[0].toLowerCase() + name.slice(1)] = Number(m[2]);
  }
  assert.ok(Object.keys(found).length > 0, `no constant matches ${pattern}`);
  return found;
}

const statusH = read('src', 'common', 'Status.h');
const installerH = read('helper', 'marlet', 'Installer.h');
const header = {
  status: constants(statusH, /constexpr int (k\w+) = (\d+);/g, 'k'),
  // The window messages are the header's hexadecimal `unsigned` constants.
  messages: constants(installerH, /constexpr unsigned (k\w+) = (0x[0-9A-Fa-f]+);/g, 'k'),
  exitCodes: constants(installerH, /constexpr int (kExit\w+) = (\d+);/g, 'kExit'),
  stopAnswer: constants(installerH, /constexpr long long (kStopAnswer) = (0x[0-9A-Fa-f]+);/g, 'k').stopAnswer,
};

// `export declare const <name>: Readonly<{ a: 1; b: 0x2 }>` of a .d.ts file, as { a: 1, b: 2 }.
function declaredObject(text, name) {
  const m = text.match(new RegExp(`export declare const ${name}: Readonly<\\{([^}]*)\\}>`));
  assert.ok(m, `${name} declared`);
  const found = {};
  for (const entry of m[1].matchAll(/(\w+): (0x[0-9A-Fa-f]+|\d+)\s*(?:;|$)/g)) found[entry[1]] = Number(entry[2]);
  return found;
}

function declaredValue(text, name) {
  const m = text.match(new RegExp(`export declare const ${name}: (0x[0-9A-Fa-f]+|\\d+);`));
  assert.ok(m, `${name} declared`);
  return Number(m[1]);
}

// The documentation pages: README.md and every page under docs/.
function pages() {
  const docs = path.join(root, 'docs');
  const names = fs.existsSync(docs) ? fs.readdirSync(docs).filter((n) => n.endsWith('.md')).sort() : [];
  return [['README.md', read('README.md')], ...names.map((n) => [`docs/${n}`, read('docs', n)])];
}

// The first column of every Markdown table that follows a line matching `label` (the first table
// after each such line), as numbers: "1005" -> 1005; "0x1401 (5121)" -> 0x1401, with the decimal
// in brackets checked against it. One list per table found, with the page it is on.
function tablesAfter(label) {
  const tables = [];
  for (const [page, text] of pages()) {
    const lines = text.split(/\r?\n/);
    lines.forEach((line, i) => {
      if (!label.test(line)) return;
      let j = i + 1;
      while (j < lines.length && !lines[j].startsWith('|')) j += 1;
      const codes = [];
      for (j += 2; j < lines.length && lines[j].startsWith('|'); j += 1) {  // past the head and its rule
        const cell = lines[j].split('|')[1].trim();
        const m = cell.match(/^(0x[0-9A-Fa-f]+|\d+)(?: \((\d+)\))?$/);
        assert.ok(m, `${page}: "${cell}" is no code`);
        if (m[2] !== undefined) assert.equal(Number(m[2]), Number(m[1]), `${page}: ${cell}`);
        codes.push(Number(m[1]));
      }
      tables.push({ page, codes });
    });
  }
  assert.ok(tables.length > 0, `no table after ${label} in README.md or docs/`);
  return tables;
}

const sorted = (values) => [...values].sort((a, b) => a - b);

test('status codes: vorla.js and vorla.d.ts hold exactly those of Status.h', () => {
  const types = read('frontend', 'vorla.d.ts');
  assert.deepEqual({ ...vorla.status }, header.status, 'vorla.js');
  assert.deepEqual(declaredObject(types, 'status'), header.status, 'vorla.d.ts');
});

test("Marlet's messages, stop answer and exit codes: marlet.js and marlet.d.ts hold exactly those of Installer.h", () => {
  const types = read('frontend', 'marlet.d.ts');
  for (const group of ['messages', 'exitCodes']) {
    assert.deepEqual({ ...marlet[group] }, header[group], `${group} in marlet.js`);
    assert.deepEqual(declaredObject(types, group), header[group], `${group} in marlet.d.ts`);
  }
  assert.equal(marlet.stopAnswer, header.stopAnswer, 'stopAnswer in marlet.js');
  assert.equal(declaredValue(types, 'stopAnswer'), header.stopAnswer, 'stopAnswer in marlet.d.ts');
  assert.ok(![0, 1].includes(header.stopAnswer), 'a window procedure answers 0 or 1 without meaning to stop');
});

test('the tables of README.md and docs/ list exactly the codes of the headers', () => {
  const cases = [
    [/^#+ Status codes\b/, Object.values(header.status)],
    [/^(#+ |\*\*)Window messages\b/, Object.values(header.messages)],
    [/^(#+ |\*\*)Exit codes\b/, Object.values(header.exitCodes)],
  ];
  for (const [label, values] of cases) {
    for (const { page, codes } of tablesAfter(label)) {
      assert.deepEqual(sorted(codes), sorted(values), `${page}: the table after ${label}`);
    }
  }
  // The stop answer is written in hexadecimal wherever a page names it.
  const hex = `0x${header.stopAnswer.toString(16).toUpperCase()}`;
  const stopping = /^(#+ |\*)Stopping a run\b/m;
  const named = pages().filter(([, text]) => stopping.test(text));
  assert.ok(named.length > 0, 'a page describes stopping a run');
  for (const [page, text] of named) {
    const said = text.slice(text.search(stopping)).match(/`(0x[0-9A-Fa-f]+)`/);
    assert.ok(said, `${page}: the stop answer's value`);
    assert.equal(said[1].toUpperCase().replace('0X', '0x'), hex, `${page}: the stop answer`);
  }
});
