// After Effects: sets the font of every selected text layer of the active
// composition, as one undo step. The script arrives on the command line, so
// a failure only ends the script; nothing is reported back.
// The library appends the call with the PostScript name as the only argument.
function vorlaApplyAfterEffectsFont(postScriptName) {
    var comp = app.project.activeItem;
    if (!(comp instanceof CompItem)) {
        return;
    }
    var layers = comp.selectedLayers;
    app.beginUndoGroup('Set font');
    for (var i = 0; i < layers.length; i++) {
        if (layers[i] instanceof TextLayer) {
            var sourceText = layers[i].property('Source Text');
            var textDocument = sourceText.value;
            textDocument.font = postScriptName;
            sourceText.setValue(textDocument);
        }
    }
    app.endUndoGroup();
}
