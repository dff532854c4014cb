#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "common/Raii.h"

// Late-bound automation calls on running applications. Every failure raises one
// of the exceptions of interactive/win/InteractiveException.h. COM must already
// be initialised on the calling thread (the apply path does that).
namespace automation {

// Resolves `name` on `target` and invokes it with `kind` (DISPATCH_METHOD,
// DISPATCH_PROPERTYGET or DISPATCH_PROPERTYPUT). The arguments are placed in
// the order given; a property put carries DISPID_PROPERTYPUT as its one named
// argument. `result` may be null. Returns the (non-negative) HRESULT.
HRESULT dispatchInvoke(int kind, VARIANT *result, IDispatch *target, const wchar_t *name, int count = 0,
                       const VARIANT *args = nullptr);

// The running instance registered under the ProgID; never starts one.
vorla::ComPtr<IDispatch> connectToApplication(const wchar_t *progId);
vorla::ComPtr<IDispatch> getRunningApplication(const CLSID &clsid);

// Property get without arguments; the object it gave (null when none).
vorla::ComPtr<IDispatch> getDispatchProperty(IDispatch *target, const wchar_t *name);
// Property get whose value is discarded.
void readProperty(IDispatch *target, const wchar_t *name);
// Method call without arguments or result.
void callDispatchMethod(IDispatch *target, const wchar_t *name);
// Gets target's "Font" object and puts `property` on it to the UTF-8 text.
void setFontProperty(IDispatch *target, const wchar_t *property, const std::string &text);
// Property get of a string, as UTF-8 (empty for a null string).
std::string getStringProperty(IDispatch *target, const wchar_t *name);
// Calls "DoJavaScript" on the application object with the script as its one argument.
void doJavaScript(IDispatch *application, const std::string &script);

// UTF-8 <-> automation string. An empty text gives a null BSTR; a null or
// empty BSTR gives an empty text. Characters outside the basic plane travel
// as surrogate pairs; invalid UTF-8 becomes U+FFFD (common/Text.h).
BSTR utf8ToBstr(const std::string &text);
std::string bstrToUtf8(BSTR text);

}  // namespace automation
