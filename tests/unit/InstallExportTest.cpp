// The exports installFont and uninstallFont of VorlaNode.dll: record conversion,
// statuses, the exception boundary, and many threads at once.
#include "common/Status.h"
#include "interactive/win/FontUtil.h"
#include "support/CoreFixtures.h"
#include "VorlaNode.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

namespace fs = std::filesystem;
using namespace corefix;
using vorla::utf8ToWide;
using vorla::wideToUtf8;

namespace {

struct Form {
    std::string family, path, postscriptName, style;
    VorlaNode::FontForm record{};
    Form(std::string f, std::string p)
        : family(std::move(f)), path(std::move(p)), postscriptName("PS"), style("Regular") {
        record.family = family.data();
        record.path = path.data();
        record.postscriptName = postscriptName.data();
        record.style = style.data();
    }
};

// Every value of the per-user Fonts key, name -> data.
std::map<std::string, std::string> perUserEntries() {
    std::map<std::string, std::string> entries;
    winreg::KeyHandle key;
    if (key.open(HKEY_CURRENT_USER, kFontsKey) != ERROR_SUCCESS) return entries;
    for (const winreg::ValueEntry &v : key.listValues()) entries[v.name] = key.readString(v.name);
    return entries;
}

}  // namespace

TEST(InstallExports, InstallThenUninstall) {
    const std::string source = scratchFolder("export-roundtrip") + "\\VorlaExport.ttf";
    writeFile(source, renamedDejaVu("VorlaExport"));
    Form install("Caller", source);
    ASSERT_EQ(installFont(&install.record), Status::kDone);
    const RawValue value = readRawFontValue(HKEY_CURRENT_USER, "VorlaExport (TrueType)");
    ASSERT_TRUE(value.exists);
    EXPECT_EQ(value.text, localFontsFolder() + "VorlaExport.ttf");

    Form uninstall("", value.text);
    EXPECT_EQ(uninstallFont(&uninstall.record), Status::kDone);
    EXPECT_FALSE(exists(value.text));
    EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, "VorlaExport (TrueType)").exists);
    EXPECT_EQ(uninstallFont(&uninstall.record), Status::kNotFound);  // the file is gone
}

TEST(InstallExports, NullAndEmptyTexts) {
    VorlaNode::FontForm empty{};
    EXPECT_EQ(installFont(&empty), Status::kNotFound);
    EXPECT_EQ(uninstallFont(&empty), Status::kNotFound);
    char blank[] = "";
    empty.path = blank;
    EXPECT_EQ(installFont(&empty), Status::kNotFound);
    EXPECT_EQ(uninstallFont(&empty), Status::kNotFound);

    // A font file with null family, PostScript name and style: the name comes from the file.
    const std::string source = scratchFolder("export-nulls") + "\\VorlaNulls.ttf";
    writeFile(source, renamedDejaVu("VorlaNulls"));
    VorlaNode::FontForm onlyPath{};
    std::string path = source;
    onlyPath.path = path.data();
    EXPECT_EQ(installFont(&onlyPath), Status::kDone);
    std::string installed = readRawFontValue(HKEY_CURRENT_USER, "VorlaNulls (TrueType)").text;
    onlyPath.path = installed.data();
    EXPECT_EQ(uninstallFont(&onlyPath), Status::kDone);

    // A non-font file: refused, nothing left behind.
    const std::string text = scratchFolder("export-text") + "\\VorlaText.ttf";
    writeFile(text, "plain text");
    Form notFont("VorlaTextFamily", text);
    EXPECT_EQ(installFont(&notFont.record), Status::kPlatformRefusedFont);
    EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, "VorlaTextFamily (TrueType)").exists);
    EXPECT_FALSE(exists(localFontsFolder() + "VorlaText.ttf"));
}

// 8 threads install and uninstall their own fonts through the exports at once. Nothing
// is lost: every entry left names an existing file and every copy left has its entry.
TEST(InstallExports, ConcurrentInstallsAndUninstallsLoseNothing) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 4;
    const std::string folder = scratchFolder("export-threads");
    std::vector<std::string> sources;
    for (int t = 0; t < kThreads; ++t) {
        sources.push_back(folder + "\\VorlaThread" + std::to_string(t) + ".ttf");
        writeFile(sources.back(), renamedDejaVu("VorlaThread" + std::to_string(t)));
    }
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const std::string valueName = "VorlaThread" + std::to_string(t) + " (TrueType)";
            for (int round = 0; round < kRounds; ++round) {
                Form install("", sources[t]);
                if (installFont(&install.record) != Status::kDone) ++failures;
                // The last round leaves its font installed.
                if (round + 1 == kRounds) break;
                Form uninstall("", readRawFontValue(HKEY_CURRENT_USER, valueName).text);
                if (uninstallFont(&uninstall.record) != Status::kDone) ++failures;
            }
        });
    }
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);

    const std::map<std::string, std::string> entries = perUserEntries();
    std::set<std::string> named;
    for (const auto &entry : entries) {
        EXPECT_TRUE(exists(entry.second)) << entry.first << " -> " << entry.second;
        named.insert(toLower(entry.second));
    }
    std::error_code ec;
    for (const auto &file : fs::directory_iterator(utf8ToWide(localFontsFolder()), ec)) {
        const std::string path = wideToUtf8(file.path().wstring());
        EXPECT_TRUE(named.count(toLower(path))) << path << " has no entry";
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_TRUE(entries.count("VorlaThread" + std::to_string(t) + " (TrueType)")) << t;
    }

    // And all uninstalled at once.
    threads.clear();
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            Form uninstall("",
                           readRawFontValue(HKEY_CURRENT_USER, "VorlaThread" + std::to_string(t) + " (TrueType)").text);
            if (uninstallFont(&uninstall.record) != Status::kDone) ++failures;
        });
    }
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, "VorlaThread" + std::to_string(t) + " (TrueType)").exists);
    }
}
