// The catalogue between listings (FontManager::FontCatalogue in the interaction object): the kept
// list while nothing changed, the faces' reads reused after a change, and at every step the
// records that a listing with nothing kept gives. The changes go through all-users entries,
// which Wine's DirectWrite lists; the seam (CatalogueSeam.h) shows which listings asked the font
// system and which faces they read afresh.
#include "fontmanager/FontCatalogue.h"

#include "common/Status.h"
#include "fontmanager/CatalogueSeam.h"
#include "fontmanager/FontSources.h"
#include "interactive/win/FontUtil.h"
#include "interactive/win/WindowsInterActive.h"
#include "support/CatalogueRecords.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace seam = FontManager::seam;
using catalogue::sameRecords;
using catalogue::uncached;
using FontManager::FontList;

// Waits until a change made now would give the sources stamps of their own: a list built from
// stamps closer than that to a change is not trusted (FontSources.h), and each step of these
// tests is to be judged by its own change alone.
void settle() {
    for (int i = 0; i < 100 && FontManager::readSourceStamps().tooRecent(); ++i) Sleep(20);
}

// Fonts installed for all users through the installation core, as Marlet installs them; what is
// left at the end is uninstalled.
class MachineFonts {
public:
    explicit MachineFonts(const testsupport::TempDir &dir) : dir_(dir) {}
    MachineFonts(const MachineFonts &) = delete;
    MachineFonts &operator=(const MachineFonts &) = delete;
    ~MachineFonts() {
        for (const Installed &font : installed_)
            persistentFontUnInstall(HKEY_LOCAL_MACHINE, font.family, font.postscriptName, font.path);
    }

    // The installed copy's path.
    std::string install(const std::string &family) {
        const std::string source = catalogue::writeFont(dir_ / (catalogue::postscriptNameOf(family) + ".ttf"), family);
        EXPECT_EQ(Status::kDone, persistentFontInstall(HKEY_LOCAL_MACHINE, family, source));
        const std::string name = catalogue::postscriptNameOf(family);
        const auto list = uncached("zh-CN");
        const auto *listed = catalogue::byPostScript(*list, name);
        EXPECT_NE(nullptr, listed) << family;
        if (!listed) return {};
        installed_.push_back({family, name, listed->path});
        return listed->path;
    }

    void uninstall(const std::string &path) {
        for (auto it = installed_.begin(); it != installed_.end(); ++it) {
            if (it->path != path) continue;
            EXPECT_EQ(Status::kDone, persistentFontUnInstall(HKEY_LOCAL_MACHINE, it->family, it->postscriptName, path));
            installed_.erase(it);
            return;
        }
        ADD_FAILURE() << "not installed here: " << path;
    }

private:
    struct Installed {
        std::string family, postscriptName, path;
    };
    const testsupport::TempDir &dir_;
    std::vector<Installed> installed_;
};

// A sequence of changes of every kind, each followed by a listing that must give, record for
// record, what a listing with nothing kept gives. Each step also says whether its listing may
// do without the font system, and whose faces it reads afresh.
TEST(FontCatalogueCache, CachedListingsMatchUncachedAtEveryStep) {
    enum class Fresh { None, All, Changed };
    struct Step {
        const char *what;
        const char *locale;
        bool asks;                            // the listing asks the font system
        Fresh fresh;                          // the faces read afresh: none, all, or only those of the changed file
        std::function<std::string()> change;  // the changed file, if any
    };
    const testsupport::TempDir dir("catalogue-cache");
    MachineFonts machine(dir);
    WindowsInterActive interactive;
    const std::string tag = catalogue::uniqueTag();
    std::string first, second, rewritten;
    const std::string tempFamily = "Vorla Cache Temp " + tag;
    const std::string tempPath = catalogue::writeFont(dir / "temp.ttf", tempFamily);
    const InteractiveFont temp{tempFamily, tempPath, {}, {}};
    std::vector<std::string> tempFiles;  // what the uncached listing must add

    const std::vector<Step> steps = {
        {"the first listing", "zh-CN", true, Fresh::All, [] { return std::string(); }},
        {"nothing changed", "zh-CN", false, Fresh::None, [] { return std::string(); }},
        {"an all-users install", "zh-CN", true, Fresh::Changed,
         [&] { return first = machine.install("Vorla Cache One " + tag); }},
        {"nothing changed after it", "zh-CN", false, Fresh::None, [] { return std::string(); }},
        {"a second all-users install", "zh-CN", true, Fresh::Changed,
         [&] { return second = machine.install("Vorla Cache Two " + tag); }},
        {"a temporary font of this process", "zh-CN", true, Fresh::Changed,
         [&] {
             EXPECT_EQ(Status::kDone, interactive.installTempFont(&temp));
             tempFiles = {tempPath};
             return tempPath;
         }},
        {"a font file written again in place, then its broadcast", "zh-CN", true, Fresh::Changed,
         [&] {
             // Neither the keys nor the folders show this (checked below): only the broadcast
             // that the bridge reports tells the catalogue.
             const FontManager::SourceStamps before = FontManager::readSourceStamps();
             rewritten = "Vorla Cache Rewritten " + tag;
             catalogue::writeFont(testsupport::pathOf(first), rewritten);
             EXPECT_TRUE(before.sameSources(FontManager::readSourceStamps()));
             interactive.markFontListStale();
             return first;
         }},
        {"another language", "en-us", true, Fresh::All, [] { return std::string(); }},
        {"the language back", "zh-CN", true, Fresh::All, [] { return std::string(); }},
        {"the temporary font removed", "zh-CN", true, Fresh::None,
         [&] {
             EXPECT_EQ(Status::kDone, interactive.uninstallTempFont(&temp));
             tempFiles.clear();
             return std::string();
         }},
        {"an all-users uninstall", "zh-CN", true, Fresh::None,
         [&] {
             machine.uninstall(second);
             return std::string();
         }},
        {"a broadcast with nothing changed", "zh-CN", true, Fresh::None,
         [&] {
             interactive.markFontListStale();
             return std::string();
         }},
        {"the first font uninstalled", "zh-CN", true, Fresh::None,
         [&] {
             machine.uninstall(first);
             return std::string();
         }},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        settle();
        const std::string changed = step.change();
        settle();
        seam::take();
        const auto cached = interactive.getAvailableFonts(step.locale);
        const auto listings = seam::take();
        EXPECT_TRUE(sameRecords(*uncached(step.locale, tempFiles), *cached));
        ASSERT_EQ(step.asks ? 1u : 0u, listings.size());
        if (!step.asks) continue;
        const std::set<std::string> read(listings[0].facesRead.begin(), listings[0].facesRead.end());
        if (step.fresh == Fresh::None) {
            EXPECT_TRUE(read.empty()) << read.size() << " files, " << *read.begin();
        } else if (step.fresh == Fresh::Changed) {
            EXPECT_EQ(std::set<std::string>{changed}, read);
        } else {
            EXPECT_LE(cached->size(), listings[0].facesRead.size());
        }
    }
    // The step that rewrote a file lists the new names under its path.
    EXPECT_FALSE(rewritten.empty());
}

// The stamps' own rule: a stamp closer to the moment they were read than the stamps'
// resolution could hide a change made right after; so could one in the future.
TEST(FontCatalogueCache, StampsTooCloseToTheirReadingAreNotTrusted) {
    using FontManager::kStampResolution;
    const std::uint64_t at = 133000000000000000ull;
    struct Case {
        std::uint64_t machineKey;
        bool tooRecent;
    };
    for (const Case &c : {Case{0, false}, Case{at - 2 * kStampResolution, false}, Case{at - kStampResolution, false},
                          Case{at - kStampResolution / 2, true}, Case{at, true}, Case{at + kStampResolution, true}}) {
        FontManager::SourceStamps stamps;
        stamps.readAt = at;
        stamps.machineKey.written = c.machineKey;
        stamps.userFolder = at - 3 * kStampResolution;
        EXPECT_EQ(c.tooRecent, stamps.tooRecent()) << (static_cast<std::int64_t>(at - c.machineKey));
    }
}

// Several threads at once. After one change, calls that start together make one listing of the
// font system: the others wait for it and take its list. Then, while another thread marks the
// list stale and registers and removes a temporary font, every listing is one of the two right
// lists.
TEST(FontCatalogueCache, ListingsFromSeveralThreadsAtOnce) {
    const testsupport::TempDir dir("catalogue-threads");
    const std::string family = "Vorla Cache Threads " + catalogue::uniqueTag();
    const std::string file = catalogue::writeFont(dir / "threads.ttf", family);
    const auto without = uncached("zh-CN"), with = uncached("zh-CN", {file});
    ASSERT_EQ(without->size() + 1, with->size());
    FontManager::FontCatalogue catalogue;
    constexpr int kThreads = 4;

    settle();
    catalogue.list("zh-CN");
    catalogue.markStale();
    seam::take();
    std::atomic<int> waiting{kThreads};
    std::vector<std::shared_ptr<const FontList>> together(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (--waiting; waiting > 0;) std::this_thread::yield();
            together[t] = catalogue.list("zh-CN");
        });
    for (std::thread &t : threads) t.join();
    EXPECT_EQ(1u, seam::take().size());
    for (const auto &list : together) EXPECT_EQ(together[0], list);

    std::atomic<int> wrong{0};
    std::atomic<bool> done{false};
    threads.clear();
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            do {
                const auto list = catalogue.list("zh-CN");
                if (!sameRecords(*without, *list) && !sameRecords(*with, *list)) ++wrong;
            } while (!done);
        });
    for (int round = 0; round < 10; ++round) {
        catalogue.temporaryFontAdded(file);
        Sleep(30);
        catalogue.markStale();
        Sleep(30);
        catalogue.temporaryFontRemoved(file);
        Sleep(30);
    }
    done = true;
    for (std::thread &t : threads) t.join();
    EXPECT_EQ(0, wrong.load());
    EXPECT_TRUE(sameRecords(*without, *catalogue.list("zh-CN")));
}

}  // namespace
