#include "strategy/win/Automation.h"

#include <cstdio>
#include <vector>

#include "common/Text.h"
#include "interactive/win/InteractiveException.h"

namespace automation {

using vorla::ComPtr;
using vorla::UniqueVariant;

namespace {

// Failure texts are formatted into a buffer of this many characters.
constexpr size_t kMessageSize = 1024;

template <typename... Args>
std::string format(const char *pattern, Args... args) {
    char buffer[kMessageSize];
    std::snprintf(buffer, sizeof buffer, pattern, args...);
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
                                                      utf8Name.c_str(), static_cast<unsigned long>(hr)));
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
        throw InteractiveInvokeException(format("IDispatch::Invoke(\"%s\"=%08lx) failed w/err 0x%08lx\n",
                                                utf8Name.c_str(), static_cast<unsigned long>(dispId),
                                                static_cast<unsigned long>(hr)));
    }
    return hr;
}

ComPtr<IDispatch> connectToApplication(const wchar_t *progId) {
    CLSID clsid{};
    const HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) {
        throw NotFoundInteractiveNameException(format("::CLSIDFromProgID(\"%s\") failed w/err 0x%08lx\n",
                                                      vorla::wideToUtf8(progId).c_str(), static_cast<unsigned long>(hr)));
    }
    return getRunningApplication(clsid);
}

ComPtr<IDispatch> getRunningApplication(const CLSID &clsid) {
    ComPtr<IUnknown> running;
    if (FAILED(GetActiveObject(clsid, nullptr, running.put()))) throw NullPointerException("Defined app not found");
    ComPtr<IDispatch> dispatch;
    if (FAILED(running->QueryInterface(IID_IDispatch, dispatch.putVoid()))) {
        throw InteractiveInvokeException("QueryInterface ERROR");
    }
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
    std::vector<OLECHAR> units;
    units.reserve(text.size());
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    const size_t size = text.size();
    size_t i = 0;
    // Continuation bytes are taken as they come; a sequence cut short by the end
    // of the text, or a lead byte that cannot start one, ends the decoding.
    while (i < size) {
        const unsigned char lead = bytes[i];
        size_t length;
        unsigned long codePoint;
        if (lead <= 0x7F) {
            length = 1;
            codePoint = lead;
        } else if (lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1Fu;
        } else if (lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0Fu;
        } else if (lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07u;
        } else {
            break;
        }
        if (i + length > size) break;
        for (size_t k = 1; k < length; ++k) codePoint = (codePoint << 6) | (bytes[i + k] & 0x3Fu);
        if (codePoint > 0x10FFFF) break;
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            units.push_back(static_cast<OLECHAR>(0xD800 + (codePoint >> 10)));
            units.push_back(static_cast<OLECHAR>(0xDC00 + (codePoint & 0x3FF)));
        } else {
            units.push_back(static_cast<OLECHAR>(codePoint));
        }
        i += length;
    }
    return SysAllocStringLen(units.data(), static_cast<UINT>(units.size()));
}

std::string bstrToUtf8(BSTR text) {
    const UINT length = text == nullptr ? 0 : SysStringLen(text);
    std::string out;
    out.reserve(3 * static_cast<size_t>(length) + 4);
    for (UINT i = 0; i < length; ++i) {
        unsigned long unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            // A surrogate pair is one character: four bytes.
            const unsigned long codePoint = 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            out += static_cast<char>(0xF0 | (codePoint >> 18));
            out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (codePoint & 0x3F));
            ++i;
        } else if (unit < 0x80) {
            out += static_cast<char>(unit);
        } else if (unit < 0x800) {
            out += static_cast<char>(0xC0 | (unit >> 6));
            out += static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (unit >> 12));
            out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    return out;
}

}  // namespace automation
