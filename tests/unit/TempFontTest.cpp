// Temporary fonts on the real font table of the test prefix: statuses, log lines, the
// WM_FONTCHANGE broadcast (seen by a hidden top-level window of the test) and the file.
#include "interactive/win/WindowsInterActive.h"

#include "common/Status.h"
#include "interactive/win/FontUtil.h"
#include "support/FontChangeWatcher.h"
#include "support/CatalogueFixtures.h"
#include "support/FileHolder.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

using testsupport::FontChangeWatcher;

// A copy of DejaVu Sans under a family name that no other test or run uses.
std::string makeFont(const TempDir &dir, const std::string &stem, std::string *family) {
    *family = "Vorla Temp " + stem + " " + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(GetTickCount64());
    FontFixtures::FontEdits edits;
    const std::u16string name(family->begin(), family->end());
    FontFixtures::addNames(edits, FontFixtures::kEnUs, name, u"Regular");
    const std::string source = testsupport::readFile(
        testsupport::pathOf(std::string(CatalogueFixtures::kDejaVuFolder) + "DejaVuSans.ttf"));
    const fs::path file = dir / (stem + ".ttf");
    testsupport::writeFile(file, FontFixtures::renameFont(source, edits));
    return testsupport::textOf(file);
}

InteractiveFont fontOf(const std::string &family, const std::string &path) { return {family, path, {}, {}}; }

class TempFont : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(watcher.ready()); }
    TempDir dir{"tempfont"};
    WindowsInterActive interactive;
    FontChangeWatcher watcher;
    LogCapture log;
};

TEST_F(TempFont, InstallThenUninstallDeletesTheFileAndASecondUninstallFindsNoFile) {
    std::string family;
    const std::string path = makeFont(dir, "cycle", &family);
    const InteractiveFont font = fontOf(family, path);

    EXPECT_EQ(Status::kDone, interactive.installTempFont(&font));
    EXPECT_GE(watcher.count(), 1);
    EXPECT_EQ((std::vector<std::string>{"install Temp Font family:" + family + " path:" + path,
                                        "install Temp Font SUCCESS to family:" + family + " path:" + path}),
              log.messages());

    EXPECT_EQ(Status::kDone, interactive.uninstallTempFont(&font));
    EXPECT_FALSE(fs::exists(testsupport::pathOf(path)));
    EXPECT_GE(watcher.count(), 1);
    EXPECT_EQ("文件\t[删除]\t[成功]\t(" + path + ")", log.at(el::Level::Debug).back());

    EXPECT_EQ(Status::kNotFound, interactive.uninstallTempFont(&font));
    EXPECT_EQ(0, watcher.count());
    EXPECT_EQ((std::vector<std::string>{"未找到字体文件. family:" + family + " path:" + path}),
              log.at(el::Level::Error));
}

// Loads count (Wine 8 counts them too): a file activated twice is removed wholly by one uninstall,
// which deletes it, so no load of a deleted file is left in the session.
TEST_F(TempFont, AFileActivatedTwiceIsRemovedWhollyByOneUninstall) {
    std::string family;
    const std::string path = makeFont(dir, "twice", &family);
    const InteractiveFont font = fontOf(family, path);
    ASSERT_EQ(Status::kDone, interactive.installTempFont(&font));
    ASSERT_EQ(Status::kDone, interactive.installTempFont(&font));

    EXPECT_EQ(Status::kDone, interactive.uninstallTempFont(&font));
    EXPECT_FALSE(fs::exists(testsupport::pathOf(path)));
    EXPECT_FALSE(removeFontResource(path)) << "a load of the deleted file was left";
}

// A file the platform does not register: a missing file (1005), a file that is not a font (1007).
TEST_F(TempFont, InstallOfAFileThePlatformCannotRegisterFailsWithoutBroadcast) {
    struct Case {
        const char *name;
        bool writeText;  // write a non-font file at the path
        int status;
        const char *errorStart;
        const char *debug;  // the platform's code after the error line, or nullptr
    };
    const Case cases[] = {
        {"missing.ttf", false, Status::kNotFound, "install Temp Font Fail. Not Found FontFile to family:", nullptr},
        {"notafont.ttf", true, Status::kPlatformRefusedFont,
         "install Temp Font Fail. Platform refused FontFile to family:",
         "[平台调用]\t[AddFontResourceW]\t(error 0, 0x00000000)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture caseLog;
        const std::string path = testsupport::textOf(dir / c.name);
        if (c.writeText) testsupport::writeFile(dir / c.name, "this is not a font\r\n");
        const InteractiveFont font{std::nullopt, path, {}, {}};  // a null family is logged as ""
        EXPECT_EQ(c.status, interactive.installTempFont(&font));
        EXPECT_EQ(0, watcher.count());
        const auto all = caseLog.all();
        ASSERT_EQ(c.debug != nullptr ? 3u : 2u, all.size());
        EXPECT_EQ(el::Level::Debug, all[0].level);
        EXPECT_EQ("install Temp Font family: path:" + path, all[0].message);
        EXPECT_EQ(el::Level::Error, all[1].level);
        EXPECT_EQ(std::string(c.errorStart) + " path:" + path, all[1].message);
        if (c.debug != nullptr) {
            EXPECT_EQ(el::Level::Debug, all[2].level);
            EXPECT_EQ(c.debug, all[2].message);
        }
        EXPECT_EQ(c.writeText, fs::exists(dir / c.name));
    }
}

TEST_F(TempFont, UninstallOfAFileNeverRegisteredIsRefusedAndKeepsTheFile) {
    std::string family;
    const std::string path = makeFont(dir, "never", &family);
    const InteractiveFont font = fontOf(family, path);
    EXPECT_EQ(Status::kTempRemoveRefused, interactive.uninstallTempFont(&font));
    EXPECT_TRUE(fs::exists(testsupport::pathOf(path)));
    EXPECT_GE(watcher.count(), 1);
    EXPECT_EQ((std::vector<std::string>{"[系统列表]\t[卸载]\t[失败]\t(" + path + ")"}), log.messages());
}

TEST_F(TempFont, FileHeldOpenByAnotherProcessIsUnregisteredButKept) {
    std::string family;
    const std::string path = makeFont(dir, "held", &family);
    const InteractiveFont font = fontOf(family, path);
    ASSERT_EQ(Status::kDone, interactive.installTempFont(&font));

    const testsupport::FileHolder holder(path);
    ASSERT_TRUE(holder.holding()) << "the holder did not open the file";

    watcher.count();
    EXPECT_EQ(Status::kDone, interactive.uninstallTempFont(&font));
    EXPECT_TRUE(fs::exists(testsupport::pathOf(path)));
    EXPECT_GE(watcher.count(), 1);
    EXPECT_EQ((std::vector<std::string>{"文件被占用\t[删除]\t[失败]\t(" + path + ")"}), log.at(el::Level::Warning));
    EXPECT_FALSE(removeFontResource(path)) << "the resource was removed by the uninstall";
}

}  // namespace
