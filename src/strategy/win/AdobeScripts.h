#pragma once

#include <string>

// The scripts that the design applications run to set the font of their text
// selection. Each is a fixed function definition (sources in scripts/, embedded
// at build time) followed by a call of that function with the font's names.
namespace AdobeScripts {

// The font names become JavaScript string content: every character outside
// [A-Za-z0-9 _.-] is written as \uXXXX (UTF-16 units; invalid UTF-8 bytes as
// U+FFFD). The script then sees exactly the original text, and the escaped text
// holds nothing that a VBScript string or a command line could misread.
std::string escapeForScript(const std::string &utf8);

std::string photoshopScript(const std::string &postscriptName);
std::string illustratorScript(const std::string &postscriptName, const std::string &family);
std::string inDesignScript(const std::string &postscriptName, const std::string &family);
std::string afterEffectsScript(const std::string &postscriptName);

// The VBScript file for InDesign: the prelude that defines `main`, then
// main("<javaScript>"). The JavaScript must come from inDesignScript, which
// holds no double quote and no line break.
std::string inDesignVbscript(const std::string &javaScript);

// Where the InDesign script file goes, below the temporary directory.
inline constexpr char kInDesignScriptDirectory[] = "VorlaInDesign";
inline constexpr char kInDesignScriptFile[] = "applyFont.vbs";

}  // namespace AdobeScripts
