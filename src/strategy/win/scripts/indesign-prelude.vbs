' Runs the JavaScript passed as the only argument inside InDesign. CreateObject
' connects to the running instance (or starts one) through its automation server.
Sub main(script)
    Dim inDesign
    Set inDesign = CreateObject("InDesign.Application")
    ' 1246973031 selects JavaScript as the language of DoScript.
    inDesign.DoScript script, 1246973031
End Sub
