// The automation call helper (text conversion, failure messages) and window
// activation, called directly.
#include <gtest/gtest.h>
#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "support/OfficeFixture.h"
#include "interactive/win/InteractiveException.h"
#include "interactive/win/WindowDiscovery.h"
#include "strategy/win/Automation.h"

using office::App;
using office::Options;

namespace {

std::vector<unsigned> unitsOf(BSTR text) {
    std::vector<unsigned> units;
    for (UINT i = 0; text && i < SysStringLen(text); ++i) units.push_back(text[i]);
    return units;
}

template <class Exception, class Call>
std::string messageOf(Call call) {
    try {
        call();
    } catch (const Exception &e) {
        return e.what();
    } catch (const std::exception &e) {
        return std::string("unexpected exception: ") + e.what();
    }
    return "no exception";
}

// COM objects end in their own Release, never by a delete through an interface pointer: the interfaces
// have no virtual destructor by their binary contract, so that warning cannot apply here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// A COM object that offers IUnknown and nothing else; it lives on the test's stack.
class UnknownOnly final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override {
        *out = nullptr;
        if (iid != IID_IUnknown) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};
#pragma GCC diagnostic pop

// COM for the test thread, as the apply path has it.
struct MultithreadedApartment {
    MultithreadedApartment() { EXPECT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
    ~MultithreadedApartment() { CoUninitialize(); }
};

}  // namespace

TEST(AutomationText, Utf8ToBstrAndBack) {
    struct Case {
        std::string utf8;
        std::vector<unsigned> units;
    };
    const std::vector<Case> cases = {
        {"Arial", {'A', 'r', 'i', 'a', 'l'}},
        {"\xE5\xAE\x8B\xE4\xBD\x93", {0x5B8B, 0x4F53}},  // 宋体
        {"\xC3\xA9", {0x00E9}},                          // é
        {"A\xF0\x9D\x94\x89"
         "B",
         {'A', 0xD835, 0xDD09, 'B'}},                                            // U+1D509 as a pair
        {"\xF0\x9F\x98\x80\xF0\xA0\x80\x8B", {0xD83D, 0xDE00, 0xD840, 0xDC0B}},  // two in a row
        {"24.0.1", {'2', '4', '.', '0', '.', '1'}},
    };
    for (const Case &c : cases) {
        vorla::UniqueBstr bstr(automation::utf8ToBstr(c.utf8));
        ASSERT_NE(bstr.get(), nullptr) << c.utf8;
        EXPECT_EQ(unitsOf(bstr.get()), c.units) << c.utf8;
        EXPECT_EQ(automation::bstrToUtf8(bstr.get()), c.utf8);
    }
    EXPECT_EQ(automation::utf8ToBstr(""), nullptr);
    EXPECT_EQ(automation::bstrToUtf8(nullptr), "");
    vorla::UniqueBstr empty(SysAllocString(L""));
    EXPECT_EQ(automation::bstrToUtf8(empty.get()), "");
    // Bytes that are not UTF-8 each become U+FFFD; nothing after them is lost.
    vorla::UniqueBstr cut(
        automation::utf8ToBstr("ab\xE5\xAE"
                               "c\xFF"));
    EXPECT_EQ(unitsOf(cut.get()), (std::vector<unsigned>{'a', 'b', 0xFFFD, 0xFFFD, 'c', 0xFFFD}));
}

TEST(AutomationCalls, NullTargetFailsBeforeAnyNameIsResolved) {
    EXPECT_EQ(messageOf<NullPointerException>(
                  [] { automation::dispatchInvoke(DISPATCH_METHOD, nullptr, nullptr, L"Activate"); }),
              "Error : pDisp is NULL");
    EXPECT_EQ(messageOf<NullPointerException>([] { automation::setFontProperty(nullptr, L"Name", "Arial"); }),
              "Error : pDisp is NULL");
}

TEST(AutomationCalls, FailureMessagesAndCalls) {
    MultithreadedApartment com;
    EXPECT_EQ(
        messageOf<NotFoundInteractiveNameException>([] { automation::connectToApplication(L"No.Such.Application"); }),
        "Error : ::CLSIDFromProgID(\"No.Such.Application\") failed w/err 0x800401f3\n");
    // Registered for the stand-ins, but no such object is running.
    EXPECT_EQ(messageOf<NullPointerException>([] { automation::connectToApplication(L"Excel.Application"); }),
              "Error : Defined app not found");
    {
        // A running object without IDispatch.
        const CLSID clsid = {0x5f1c2a3e, 0x7d41, 0x4b6a, {0x9e, 0x12, 0x3c, 0x55, 0x0a, 0x7b, 0x8d, 0x61}};
        UnknownOnly object;
        DWORD cookie = 0;
        ASSERT_EQ(S_OK, RegisterActiveObject(&object, clsid, ACTIVEOBJECT_STRONG, &cookie));
        EXPECT_EQ(messageOf<InteractiveInvokeException>([&] { automation::getRunningApplication(clsid); }),
                  "Error : QueryInterface ERROR");
        try {
            automation::getRunningApplication(clsid);
        } catch (const InteractiveInvokeException &e) {  // the call and its HRESULT go on with the text
            EXPECT_STREQ(e.call(), "IUnknown::QueryInterface");
            EXPECT_EQ(e.platformCode(), static_cast<std::uint32_t>(E_NOINTERFACE));
        }
        RevokeActiveObject(cookie, nullptr);
    }

    App word(office::program("WINWORD.EXE"),
             Options{{L"Word.Application"}, {{L"OpusApp", L"Report"}}, {L"ActiveWindow"}});
    const auto app = automation::connectToApplication(L"Word.Application");
    ASSERT_TRUE(app);
    EXPECT_EQ(messageOf<NotFoundInteractiveNameException>(
                  [&] { automation::getDispatchProperty(app.get(), L"NoSuchMember"); }),
              "Error : IDispatch::GetIDsOfNames(\"NoSuchMember\") failed w/err 0x80020006\n");
    EXPECT_EQ(
        messageOf<InteractiveInvokeException>([&] { automation::getDispatchProperty(app.get(), L"ActiveWindow"); }),
        "Error : IDispatch::Invoke(\"ActiveWindow\"=00000002) failed w/err 0x80020009\n");
    EXPECT_EQ(automation::getStringProperty(app.get(), L"Version"), "16.0.1");
    automation::doJavaScript(app.get(), "setFont('Caf\xC3\xA9-Bold')");
    EXPECT_EQ(word.calls(),
              (std::vector<std::string>{"Word.Application GET ActiveWindow (failed)", "Word.Application GET Version",
                                        "Word.Application CALL DoJavaScript = setFont('Caf\xC3\xA9-Bold')"}));
}

TEST(WindowActivation, StaleHandlePrintsBothErrorsAndReturnsOne) {
    const HWND window = CreateWindowExW(0, L"STATIC", L"gone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    DestroyWindow(window);

    testing::internal::CaptureStdout();
    const int result = activateWindow(window);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(printed, "BringWindowToTop Error 1400/nSetForegroundWindow Error 1400/n");
}
