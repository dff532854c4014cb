'use strict';
// Small stand-ins for the scripting object models of the design applications,
// with the member names that each application documents. Every object is
// strict: reading or writing a member that the object does not have throws, so
// a script that uses an invented property fails instead of passing silently.
const vm = require('node:vm');

function strict(target, what) {
  return new Proxy(target, {
    get(obj, key, receiver) {
      if (typeof key === 'symbol' || key in obj) return Reflect.get(obj, key, receiver);
      throw new TypeError(`${what} has no member ${String(key)}`);
    },
    set(obj, key, value, receiver) {
      if (typeof key === 'symbol' || key in obj) return Reflect.set(obj, key, value, receiver);
      throw new TypeError(`${what} has no member ${String(key)} to set`);
    },
  });
}

// A list-like collection as the applications expose them: length and [index].
function list(items, what) {
  return strict(Object.assign([], items), what);
}

// Photoshop: app.activeDocument.activeLayer.textItem.font takes a PostScript name.
function photoshop() {
  const LayerKind = strict({ NORMAL: 1, TEXT: 2 }, 'LayerKind');
  const textItem = strict({ contents: 'Headline', font: 'Untouched-Regular', size: 12 }, 'TextItem');
  const layer = strict({ name: 'Headline', kind: LayerKind.TEXT, textItem }, 'ArtLayer');
  const document = strict({ name: 'poster.psd', activeLayer: layer }, 'Document');
  const app = strict({ documents: list([document], 'Documents'), activeDocument: document }, 'Application');
  return { globals: { app, LayerKind }, appliedFont: () => textItem.font };
}

// Illustrator: a TextFont comes from app.textFonts (name = PostScript name);
// selected text is a TextRange whose characterAttributes.textFont takes it.
function illustrator(postscriptName, family) {
  const textFont = (name, familyName) => strict({ name, family: familyName, style: 'Regular' }, 'TextFont');
  const arial = textFont('Untouched-Regular', 'Untouched');
  const wanted = textFont(postscriptName, family);
  const characterAttributes = strict({ size: 12, textFont: arial }, 'CharacterAttributes');
  const selection = strict({ typename: 'TextRange', contents: 'Headline', characterAttributes }, 'TextRange');
  const document = strict({ name: 'poster.ai', selection }, 'Document');
  const app = strict({
    documents: list([document], 'Documents'),
    activeDocument: document,
    textFonts: list([arial, wanted], 'TextFonts'),
  }, 'Application');
  return { globals: { app }, appliedFont: () => characterAttributes.textFont, wanted };
}

// InDesign: app.fonts is a collection (length, item(i)) of Font objects with
// postscriptName and fontFamily; selected text objects have appliedFont.
function inDesign(postscriptName, family) {
  const font = (ps, familyName) => strict({ name: `${familyName}\tRegular`, postscriptName: ps, fontFamily: familyName, fontStyleName: 'Regular' }, 'Font');
  const fonts = [font('Untouched-Regular', 'Untouched'), font(postscriptName, family)];
  const collection = strict({ length: fonts.length, item: (i) => fonts[i] }, 'Fonts');
  const text = strict({ contents: 'Headline', pointSize: 12, appliedFont: fonts[0] }, 'Text');
  const app = strict({
    documents: strict({ length: 1 }, 'Documents'),
    fonts: collection,
    selection: list([text], 'Selection'),
  }, 'Application');
  return { globals: { app }, appliedFont: () => text.appliedFont, wanted: fonts[1] };
}

// After Effects: the active composition's selected text layers; the layer's
// 'Source Text' property holds a TextDocument whose font takes a PostScript name.
function afterEffects() {
  class CompItem {}
  class TextLayer {}
  class AVLayer {}
  let stored = { text: 'Headline', font: 'Untouched-Regular', fontSize: 36 };
  const sourceText = strict({
    get value() { return strict({ ...stored }, 'TextDocument'); },
    setValue(doc) { stored = { text: doc.text, font: doc.font, fontSize: doc.fontSize }; },
  }, 'Property');
  const textLayer = strict(Object.assign(new TextLayer(), {
    name: 'Headline',
    property(name) {
      if (name !== 'Source Text') throw new TypeError(`no property ${name}`);
      return sourceText;
    },
  }), 'TextLayer');
  const solid = strict(Object.assign(new AVLayer(), { name: 'Background' }), 'AVLayer');
  const comp = strict(Object.assign(new CompItem(), { name: 'Main', selectedLayers: list([solid, textLayer], 'Layers') }), 'CompItem');
  let undoDepth = 0;
  const app = strict({
    project: strict({ activeItem: comp }, 'Project'),
    beginUndoGroup() { undoDepth += 1; },
    endUndoGroup() { undoDepth -= 1; },
  }, 'Application');
  return { globals: { app, CompItem, TextLayer, AVLayer }, appliedFont: () => stored.font, undoDepth: () => undoDepth };
}

// Runs a script in a fresh context that holds only the model's globals.
function run(script, model) {
  vm.runInNewContext(script, { ...model.globals }, { timeout: 2000 });
}

module.exports = { photoshop, illustrator, inDesign, afterEffects, run };
