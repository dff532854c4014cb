// Illustrator: sets the font of the selected text. The selection is either a
// text range (text selected with the type tool) or a list of page items whose
// text frames receive the font as a whole.
// The library appends the call with the PostScript name and the family name.
function vorlaApplyIllustratorFont(postScriptName, familyName) {
    var fonts = app.textFonts;
    var font = null;
    var i;
    for (i = 0; i < fonts.length && font === null; i++) {
        if (fonts[i].name == postScriptName) {
            font = fonts[i];
        }
    }
    for (i = 0; i < fonts.length && font === null; i++) {
        if (fonts[i].family == familyName) {
            font = fonts[i];
        }
    }
    if (font === null) {
        throw new Error('font not available: ' + postScriptName);
    }
    if (app.documents.length === 0) {
        throw new Error('no open document');
    }
    var selection = app.activeDocument.selection;
    if (selection.typename == 'TextRange') {
        selection.characterAttributes.textFont = font;
        return;
    }
    var applied = 0;
    for (i = 0; i < selection.length; i++) {
        if (selection[i].typename == 'TextFrame') {
            selection[i].textRange.characterAttributes.textFont = font;
            applied++;
        }
    }
    if (applied === 0) {
        throw new Error('no text selected');
    }
}
