'use strict';
// Runs scripts that the design-application strategies handed to the
// applications against the object-model stand-ins, and checks that the font of
// the text selection became the requested one.
//
//   node checkAdobeScripts.js <cases.json> <report file>
//
// cases.json: [{ "app": "photoshop" | "illustrator" | "indesign" | "aftereffects",
//                "script": <recorded text>, "postscriptName": ..., "family": ... }]
// For "indesign" the script is the recorded VBScript file; its JavaScript is
// taken out of the main("...") call first. Exit code 0 when every case applied
// the font, 1 otherwise (details in the report file).
const fs = require('node:fs');
const models = require('./adobeModels.js');

function inDesignJavaScript(vbscript) {
  const match = /^main\("([^"]*)"\)\r\n$/m.exec(vbscript.slice(vbscript.lastIndexOf('main("')));
  if (!match) throw new Error('no main("...") call with a single string argument');
  return match[1];
}

function check(c) {
  switch (c.app) {
    case 'photoshop': {
      const model = models.photoshop();
      models.run(c.script, model);
      return model.appliedFont() === c.postscriptName;
    }
    case 'illustrator': {
      const model = models.illustrator(c.postscriptName, c.family);
      models.run(c.script, model);
      return model.appliedFont() === model.wanted;
    }
    case 'indesign': {
      const model = models.inDesign(c.postscriptName, c.family);
      models.run(inDesignJavaScript(c.script), model);
      return model.appliedFont() === model.wanted;
    }
    case 'aftereffects': {
      const model = models.afterEffects();
      models.run(c.script, model);
      return model.appliedFont() === c.postscriptName && model.undoDepth() === 0;
    }
    default:
      throw new Error(`unknown application ${c.app}`);
  }
}

const cases = JSON.parse(fs.readFileSync(process.argv[2], 'utf8'));
const failures = [];
for (const c of cases) {
  try {
    if (!check(c)) failures.push(`${c.app} ${JSON.stringify(c.postscriptName)}: font not applied`);
  } catch (error) {
    failures.push(`${c.app} ${JSON.stringify(c.postscriptName)}: ${error.message}`);
  }
}
fs.writeFileSync(process.argv[3], failures.length ? failures.join('\n') + '\n' : `ok ${cases.length}\n`);
process.exit(cases.length > 0 && failures.length === 0 ? 0 : 1);
