// The library frame: hand-off protocol, record conversion, exception boundary, log file names.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <system_error>

#include "Boundary.h"
#include "HandOff.h"
#include "InitLog.h"
#include "Records.h"
#include "VorlaNode.h"
#include "easylogging++.h"
#include "interactive/win/FontUtil.h"
#include "interactive/win/InteractiveException.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"

using namespace VorlaNode;
using testsupport::TempDir;

namespace {

// Counts the texts made and freed through the library's text heap while it is alive.
class CountingTextHeap {
public:
    CountingTextHeap() : saved_(textHeap()) {
        live() = 0;
        made() = 0;
        textHeap() = TextHeap{&CountingTextHeap::allocate, &CountingTextHeap::release};
    }
    ~CountingTextHeap() { textHeap() = saved_; }
    static int &live() {
        static int n = 0;
        return n;
    }
    static int &made() {
        static int n = 0;
        return n;
    }

private:
    static void *allocate(std::size_t size) {
        ++live();
        ++made();
        return std::malloc(size);
    }
    static void release(void *block) {
        --live();
        std::free(block);
    }
    TextHeap saved_;
};

std::string today() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    return stamp;
}

}  // namespace

TEST(HandOff, EmptyArrayIsNonNullAndReleasesCleanly) {
    CountingTextHeap heap;
    FontData *fonts = handOff<FontData>(0, [](FontData &, std::size_t) {});
    ASSERT_NE(fonts, nullptr);
    EXPECT_EQ(handOffCount(fonts), 0);
    releaseArray(fonts);
    releaseFontData(nullptr);  // the exports: null does nothing
    releaseWindowData(nullptr);
    releaseVPermission(nullptr);
    EXPECT_EQ(CountingTextHeap::live(), 0);
}

TEST(HandOff, ReleaseFreesEveryTextOfEveryElement) {
    CountingTextHeap heap;
    FontData *fonts = handOff<FontData>(3, [](FontData &f, std::size_t i) {
        f.path = copyText("C:\\Fonts\\" + std::to_string(i) + ".ttf");
        f.postscriptName = copyText("PS" + std::to_string(i));
        f.family = copyText("宋体");
        f.style = copyText("Regular");
        f.weight = 400 + static_cast<int>(i);
    });
    // Count in the 8 bytes in front of the first element, elements back to back.
    EXPECT_EQ(*reinterpret_cast<std::int64_t *>(reinterpret_cast<char *>(fonts) - 8), 3);
    EXPECT_STREQ(fonts[2].path, "C:\\Fonts\\2.ttf");
    EXPECT_EQ(fonts[1].weight, 401);
    EXPECT_EQ(CountingTextHeap::live(), 12);

    WindowData *windows = handOff<WindowData>(2, [](WindowData &w, std::size_t i) {
        w.exeName = copyText("WINWORD.EXE");
        w.title = i == 0 ? copyText("文档1") : nullptr;  // empty title stays null
        w.processId = 42;
    });
    VPermission *permissions = handOff<VPermission>(1, [](VPermission &p, std::size_t) {
        p.name = copyText("runAdmin");
        p.granted = 1;
    });
    EXPECT_EQ(CountingTextHeap::live(), 12 + 3 + 1);

    // The release pattern of the three release exports (here the test program's own copy, so the
    // counting heap sees the frees).
    releaseArray(fonts);
    releaseArray(windows);
    releaseArray(permissions);
    EXPECT_EQ(CountingTextHeap::live(), 0);
    EXPECT_EQ(CountingTextHeap::made(), 16);
}

TEST(HandOff, FailureWhileFillingFreesWhatWasMade) {
    CountingTextHeap heap;
    EXPECT_THROW(handOff<FontData>(4,
                                   [](FontData &f, std::size_t i) {
                                       f.family = copyText("family");
                                       if (i == 2) throw std::runtime_error("no memory for the third face");
                                   }),
                 std::runtime_error);
    EXPECT_EQ(CountingTextHeap::live(), 0);

    int count = -1;
    FontData *fallback = handOffList<FontData>(&count,
                                               []() -> FontData * { throw std::runtime_error("enumeration failed"); });
    ASSERT_NE(fallback, nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(handOffCount(fallback), 0);
    releaseArray(fallback);
}

TEST(Records, FontFormCopiesTextsAndKeepsNullsNull) {
    char family[] = "思源黑体";
    char path[] = "C:\\fonts\\a.otf";
    FontForm form{family, path, nullptr, nullptr};
    auto font = form.toInteractiveFont();
    family[0] = 'X';  // the copy does not alias the caller's buffer
    ASSERT_TRUE(font->family.has_value());
    EXPECT_EQ(*font->family, std::string("思源黑体"));
    EXPECT_EQ(*font->path, "C:\\fonts\\a.otf");
    EXPECT_FALSE(font->postscriptName.has_value());
    EXPECT_FALSE(font->style.has_value());
    EXPECT_EQ(textOf(font->style), "");

    char empty[] = "";
    FontForm blank{empty, empty, empty, empty};
    auto blankFont = blank.toInteractiveFont();
    ASSERT_TRUE(blankFont->style.has_value());
    EXPECT_EQ(*blankFont->style, "");
}

TEST(ExceptionBoundary, StandardExceptionBecomes1111WithOneErrorLine) {
    TempDir dir("boundary");
    VorlaConfig config{};
    const std::string prefix = dir.prefix();
    config.logPath = prefix.c_str();
    config.logName = "boundary";
    initLog(config);

    EXPECT_EQ(guarded([]() -> int { throw std::runtime_error("copy refused: 字体"); }), Status::kException);
    EXPECT_EQ(guarded([]() -> int { return 1005; }), 1005);
    EXPECT_EQ(guarded([]() -> int { throw 7; }), Status::kException);
    el::Loggers::flushAll();

    const auto lines = testsupport::lines(testsupport::readFile(dir / ("boundary_" + today() + ".log")));
    std::vector<std::string> errors;
    for (const auto &line : lines) {
        if (line.rfind("[ERROR", 0) == 0) errors.push_back(line);
    }
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[0].find("| copy refused: 字体"), std::string::npos) << errors[0];
    EXPECT_EQ(errors[0].substr(errors[0].size() - std::string("copy refused: 字体").size()), "copy refused: 字体");
}

// A marker at the head of the thread's handler list (a head that is not the list's end, so that
// hiding and putting back are both visible), and the original head back at the end of the test.
struct MarkedHandlerList {
    NT_TIB *const tib = VorlaNode::currentTib();
    EXCEPTION_REGISTRATION_RECORD *const hidden = reinterpret_cast<EXCEPTION_REGISTRATION_RECORD *>(-1);
    EXCEPTION_REGISTRATION_RECORD *const original = tib->ExceptionList;
    EXCEPTION_REGISTRATION_RECORD marker{};
    MarkedHandlerList() {
        marker.Next = original;
        tib->ExceptionList = &marker;
    }
    ~MarkedHandlerList() { tib->ExceptionList = original; }
};

// The handler list of the thread is hidden for the length of a call and put back on every way out,
// also when an exception leaves the scope, and under nesting; the platform's own handled faults and
// the library's own try/catch work meanwhile.
TEST(ExceptionBoundary, HandlerListHiddenForTheCallAndPutBackOnEveryWayOut) {
    MarkedHandlerList list;
    NT_TIB *const tib = list.tib;
    EXCEPTION_REGISTRATION_RECORD *const hidden = list.hidden;
    EXCEPTION_REGISTRATION_RECORD &marker = list.marker;

    {
        const HandlerListHidden outer;
        EXPECT_EQ(tib->ExceptionList, hidden);
        {
            const HandlerListHidden inner;
            EXPECT_EQ(tib->ExceptionList, hidden);
        }
        EXPECT_EQ(tib->ExceptionList, hidden);
        EXPECT_NE(IsBadReadPtr(nullptr, 1), FALSE);  // a fault the platform handles inside
        EXPECT_EQ(guarded([]() -> int { throw std::runtime_error("inside"); }), Status::kException);
        EXPECT_EQ(tib->ExceptionList, hidden);
    }
    EXPECT_EQ(tib->ExceptionList, &marker);

    try {
        const HandlerListHidden scope;
        throw std::runtime_error("leaves the scope");
    } catch (const std::runtime_error &) {
        EXPECT_EQ(tib->ExceptionList, &marker);
    }
    EXPECT_EQ(tib->ExceptionList, &marker);
}

// The frames the exports go through (guarded, handOffList) hide the handler list while their
// body runs, on success and on failure, and put it back afterwards.
TEST(ExceptionBoundary, ExportFramesRunTheirBodyWithTheHandlerListHidden) {
    MarkedHandlerList list;
    NT_TIB *const tib = list.tib;
    EXCEPTION_REGISTRATION_RECORD *const hidden = list.hidden;
    EXCEPTION_REGISTRATION_RECORD &marker = list.marker;

    std::vector<EXCEPTION_REGISTRATION_RECORD *> seen;
    const auto look = [&] { seen.push_back(tib->ExceptionList); };
    EXPECT_EQ(guarded([&] {
                  look();
                  return 0;
              }),
              0);
    EXPECT_EQ(guarded([&]() -> int {
                  look();
                  throw std::runtime_error("status export");
              }),
              Status::kException);
    int count = -1;
    releaseArray(handOffList<VPermission>(&count, [&] {
        look();
        return handOff<VPermission>(0, [](VPermission &, std::size_t) {});
    }));
    releaseArray(handOffList<VPermission>(&count, [&]() -> VPermission * {
        look();
        throw std::runtime_error("list export");
    }));
    EXPECT_EQ(tib->ExceptionList, &marker);
    EXPECT_EQ(seen, std::vector<EXCEPTION_REGISTRATION_RECORD *>(4, hidden));
}

// The one status frame: what it stops, and the one error line it writes for each failure (its
// entry text made only then). The handlers and the installer's steps stop standard exceptions
// only; the exports stop every exception.
TEST(StatusFrame, StopsStandardOrEveryExceptionWithOneErrorLine) {
    LogCapture log;
    int entries = 0;
    const auto entry = [&] {
        ++entries;
        return std::string("[entry]\t");
    };
    const auto standard = []() -> int { throw std::runtime_error("disk full"); };
    const auto other = []() -> int { throw 7; };

    EXPECT_EQ(vorla::statusFrame([] { return 1005; }, entry), 1005);
    EXPECT_EQ(vorla::statusFrame(standard, entry), Status::kException);
    EXPECT_THROW(vorla::statusFrame(other, entry), int);
    EXPECT_EQ(vorla::statusFrame<vorla::Stops::Everything>([] { return 0; }, entry), 0);
    EXPECT_EQ(vorla::statusFrame<vorla::Stops::Everything>(standard, entry), Status::kException);
    EXPECT_EQ(vorla::statusFrame<vorla::Stops::Everything>(other, entry), Status::kException);
    static_assert(noexcept(vorla::statusFrame<vorla::Stops::Everything>(other, entry)), "the exports' frame");

    int count = -1;
    VPermission *empty = handOffList<VPermission>(&count, []() -> VPermission * { throw 7; });
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(count, 0);
    releaseArray(empty);

    EXPECT_EQ(entries, 3);
    EXPECT_EQ(log.at(el::Level::Error), (std::vector<std::string>{"[entry]\tdisk full", "[entry]\tdisk full",
                                                                  "[entry]\tunknown exception", "unknown exception"}));
}

// An exception that carries a platform code adds one DEBUG line with the call and the code
// right after the frame's ERROR line, whose text stays the exception's own; one without a
// code adds nothing.
TEST(StatusFrame, PlatformCodeOfTheExceptionFollowsTheErrorLine) {
    struct Case {
        std::function<void()> raise;
        const char *debug;  // nullptr: no DEBUG line
    };
    const Case cases[] = {
        {[] { throw winreg::RegException(ERROR_ACCESS_DENIED, "RegSetValueExW", "write refused"); },
         "[平台调用]\t[RegSetValueExW]\t(error 5, 0x00000005)"},
        {[] {
             throw InteractiveInvokeException("QueryInterface ERROR",
                                              comFailure("IUnknown::QueryInterface", E_NOINTERFACE));
         },
         "[平台调用]\t[IUnknown::QueryInterface]\t(HRESULT 0x80004002)"},
        {[] { throw winreg::RegException(ERROR_FILE_NOT_FOUND, "no call named"); },
         "[平台调用]\t[system]\t(error 2, 0x00000002)"},
        {[] {
             throw std::filesystem::filesystem_error("cannot read",
                                                     std::error_code(ERROR_PATH_NOT_FOUND, std::system_category()));
         },
         "[平台调用]\t[system]\t(error 3, 0x00000003)"},
        {[] { throw InteractiveInvokeException("不支持当前版本!version:9"); }, nullptr},
        {[] { throw std::runtime_error("disk full"); }, nullptr},
    };
    for (const Case &c : cases) {
        std::string what;
        try {
            c.raise();
        } catch (const std::exception &e) {
            what = e.what();
        }
        LogCapture log;
        EXPECT_EQ(vorla::statusFrame(
                      [&]() -> int {
                          c.raise();
                          return 0;
                      },
                      [] { return std::string("[entry]\t"); }),
                  Status::kException);
        std::vector<std::string> expected = {"ERROR " + ("[entry]\t" + what)};
        if (c.debug != nullptr) expected.push_back(std::string("DEBUG ") + c.debug);
        std::vector<std::string> seen;
        for (const CapturedLine &line : log.all()) {
            seen.push_back(std::string(line.level == el::Level::Error   ? "ERROR "
                                       : line.level == el::Level::Debug ? "DEBUG "
                                                                        : "OTHER ") +
                           line.message);
        }
        EXPECT_EQ(seen, expected) << what;
    }
}

TEST(LogSetup, FileLandsInAFolderOutsideTheAnsiCodePage) {
    // Under code page 1252 these characters cannot pass through the library's narrow file name.
    TempDir dir("日志-𠀋");
    VorlaConfig config{};
    const std::string prefix = dir.prefix();
    config.logPath = prefix.c_str();
    config.logName = "应用";
    initLog(config);
    LOG(INFO) << "after the set-up";
    el::Loggers::flushAll();

    const auto file = dir / ("应用_" + today() + ".log");
    ASSERT_TRUE(std::filesystem::exists(file)) << testsupport::textOf(file);
    const std::string text = testsupport::readFile(file);
    EXPECT_NE(text.find("(logPath:" + prefix + "应用)"), std::string::npos) << text;
    EXPECT_NE(text.find("after the set-up"), std::string::npos);
}
