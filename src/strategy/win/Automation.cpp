#include "strategy/win/Automation.h"

#include <cstdarg>
#include <cstdio>
#include <string_view>
#include <vector>

#include "common/Text.h"
#include "interactive/win/InteractiveException.h"

namespace automation {

using vorla::ComPtr;
using vorla::UniqueVariant;

namespace {

// Failure texts are formatted into a buffer of this many characters.
constexpr size_t kMessageSize = 1024;

// The compiler checks each pattern against its arguments.
__attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2))) std::string format(const char *pattern, ...) {
    char buffer[kMessageSize];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(buffer, sizeof buffer, pattern, args);
    va_end(args);
    return buffer;
}

}  // namespace

HRESULT dispatchInvoke(int kind, VARIANT *result, IDispatch *target, const wchar_t *name, int count,
                       const VARIANT *args) {
    if (target == nullptr) throw NullPointerException("pDisp is NULL");

    const std::string utf8Name = vorla::wideToUtf8(name);
    DISPID dispId = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = target->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispId);
    if (FAILED(hr)) {
        throw NotFoundInteractiveNameException(format("IDispatch::GetIDsOfNames(\"%s\") failed w/err 0x%08lx\n",
                                                      utf8Name.c_str(), static_cast<unsigned long>(hr)),
                                               comFailure("IDispatch::GetIDsOfNames", hr));
    }

    // One spare element, so that a call without arguments still has an array.
    std::vector<VARIANT> argArray(static_cast<size_t>(count) + 1);
    for (int i = 0; i < count; ++i) argArray[i] = args[i];

    DISPID namedPut = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.rgvarg = argArray.data();
    params.cArgs = static_cast<UINT>(count);
    if (kind & DISPATCH_PROPERTYPUT) {
        params.cNamedArgs = 1;
        params.rgdispidNamedArgs = &namedPut;
    }
    hr = target->Invoke(dispId, IID_NULL, LOCALE_SYSTEM_DEFAULT, static_cast<WORD>(kind), &params, result, nullptr,
                        nullptr);
    if (FAILED(hr)) {
        throw InteractiveInvokeException(
            format("IDispatch::Invoke(\"%s\"=%08lx) failed w/err 0x%08lx\n", utf8Name.c_str(),
                   static_cast<unsigned long>(dispId), static_cast<unsigned long>(hr)),
            comFailure("IDispatch::Invoke", hr));
    }
    return hr;
}

ComPtr<IDispatch> connectToApplication(const wchar_t *progId) {
    CLSID clsid{};
    const HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) {
        throw NotFoundInteractiveNameException(
            format("::CLSIDFromProgID(\"%s\") failed w/err 0x%08lx\n", vorla::wideToUtf8(progId).c_str(),
                   static_cast<unsigned long>(hr)),
            comFailure("CLSIDFromProgID", hr));
    }
    return getRunningApplication(clsid);
}

ComPtr<IDispatch> getRunningApplication(const CLSID &clsid) {
    ComPtr<IUnknown> running;
    HRESULT hr = GetActiveObject(clsid, nullptr, running.put());
    if (FAILED(hr)) throw NullPointerException("Defined app not found", comFailure("GetActiveObject", hr));
    ComPtr<IDispatch> dispatch;
    hr = running->QueryInterface(IID_IDispatch, dispatch.putVoid());
    if (FAILED(hr))
        throw InteractiveInvokeException("QueryInterface ERROR", comFailure("IUnknown::QueryInterface", hr));
    return dispatch;
}

ComPtr<IDispatch> getDispatchProperty(IDispatch *target, const wchar_t *name) {
    UniqueVariant result;
    dispatchInvoke(DISPATCH_PROPERTYGET, result.get(), target, name);
    ComPtr<IDispatch> object;
    if (V_VT(result.get()) == VT_DISPATCH && V_DISPATCH(result.get()) != nullptr) {
        V_DISPATCH(result.get())->AddRef();
        object = ComPtr<IDispatch>::attach(V_DISPATCH(result.get()));
    }
    return object;
}

void readProperty(IDispatch *target, const wchar_t *name) {
    UniqueVariant result;
    dispatchInvoke(DISPATCH_PROPERTYGET, result.get(), target, name);
}

void callDispatchMethod(IDispatch *target, const wchar_t *name) {
    dispatchInvoke(DISPATCH_METHOD, nullptr, target, name);
}

void setFontProperty(IDispatch *target, const wchar_t *property, const std::string &text) {
    const ComPtr<IDispatch> font = getDispatchProperty(target, L"Font");
    UniqueVariant value;
    V_VT(value.get()) = VT_BSTR;
    V_BSTR(value.get()) = utf8ToBstr(text);
    dispatchInvoke(DISPATCH_PROPERTYPUT, nullptr, font.get(), property, 1, value.get());
}

std::string getStringProperty(IDispatch *target, const wchar_t *name) {
    UniqueVariant result;
    dispatchInvoke(DISPATCH_PROPERTYGET, result.get(), target, name);
    if (V_VT(result.get()) != VT_BSTR) return {};
    return bstrToUtf8(V_BSTR(result.get()));
}

void doJavaScript(IDispatch *application, const std::string &script) {
    UniqueVariant argument;
    V_VT(argument.get()) = VT_BSTR;
    V_BSTR(argument.get()) = utf8ToBstr(script);
    UniqueVariant result;
    dispatchInvoke(DISPATCH_METHOD, result.get(), application, L"DoJavaScript", 1, argument.get());
}

BSTR utf8ToBstr(const std::string &text) {
    if (text.empty()) return nullptr;
    const std::wstring wide = vorla::utf8ToWide(text);  // refuses 2 GiB or more, so the length fits
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string bstrToUtf8(BSTR text) {
    if (text == nullptr) return {};
    return vorla::wideToUtf8(std::wstring_view(text, SysStringLen(text)));
}

}  // namespace automation
