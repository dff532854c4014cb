// InDesign: sets the applied font of the selected text. Text objects (text,
// words, characters, insertion points, text style ranges) take the font
// directly; a selected text frame passes it to all of its text.
// The library appends the call with the PostScript name and the family name.
function vorlaApplyInDesignFont(postScriptName, familyName) {
    var font = null;
    var i;
    for (i = 0; i < app.fonts.length && font === null; i++) {
        if (app.fonts.item(i).postscriptName == postScriptName) {
            font = app.fonts.item(i);
        }
    }
    for (i = 0; i < app.fonts.length && font === null; i++) {
        if (app.fonts.item(i).fontFamily == familyName) {
            font = app.fonts.item(i);
        }
    }
    if (font === null) {
        throw new Error('font not available: ' + postScriptName);
    }
    if (app.documents.length === 0) {
        throw new Error('no open document');
    }
    var selection = app.selection;
    var applied = 0;
    for (i = 0; i < selection.length; i++) {
        var item = selection[i];
        if (item.hasOwnProperty('appliedFont')) {
            item.appliedFont = font;
            applied++;
        } else if (item.hasOwnProperty('texts')) {
            item.texts.item(0).appliedFont = font;
            applied++;
        }
    }
    if (applied === 0) {
        throw new Error('no text selected');
    }
}
