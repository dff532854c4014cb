// Photoshop: sets the font of the active text layer of the active document.
// The library appends the call with the PostScript name as the only argument.
// These texts travel inside other quoting layers (automation strings, VBScript
// strings, command lines): no double quotes, no backslashes, and every
// statement ends with a semicolon because the lines are joined into one.
function vorlaApplyPhotoshopFont(postScriptName) {
    if (app.documents.length === 0) {
        throw new Error('no open document');
    }
    var layer = app.activeDocument.activeLayer;
    if (layer.kind != LayerKind.TEXT) {
        throw new Error('the active layer is not a text layer');
    }
    layer.textItem.font = postScriptName;
}
