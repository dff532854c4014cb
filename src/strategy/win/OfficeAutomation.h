#pragma once

#include <string>

// Automation walks shared by the office rows and their WPS counterparts; each
// raises the automation exceptions on failure.

// Word object model: application -> Application -> ActiveWindow, Activate it,
// -> Selection, read its Text, put Selection.Font.Name.
void setWordSelectionFont(const wchar_t *progId, const std::string &family);

// Excel object model: application -> Application; ActiveWorkbook of it and
// Activate that; ActiveCell of the same application object; put its Font.Name.
void setExcelActiveCellFont(const wchar_t *progId, const std::string &family);
