// The harness's recovery from a fixture that does not start, as a test program meets it; run only by
// tests/harness/fixture-recovery-test.sh, which names the marker (VORLA_FIRST_START_MARKER) and how the
// first start of the office stand-in fails (VORLA_FIRST_START: "hang", it withholds its ready file, or
// "crash"). The launcher gives up and tells the guard, the guard starts a new session and runs the
// program again, and the second start comes up.
#include <gtest/gtest.h>

#include "support/OfficeFixture.h"
#include "support/TestSupport.h"

TEST(HarnessRecovery, AFixtureThatDidNotStartIsStartedAgainInANewSession) {
    const std::string marker = testsupport::env("VORLA_FIRST_START_MARKER");
    const std::string how = testsupport::env("VORLA_FIRST_START");
    if (marker.empty()) GTEST_SKIP() << "run by tests/harness/fixture-recovery-test.sh";
    office::Options options;
    options.windows = {{L"OpusApp", L"Recovery"}};
    (how == "crash" ? options.crashOnce : options.withholdReadyOnce) = testsupport::pathOf(marker).wstring();
    options.comeUpSeconds = 5;
    const office::App app(office::program("WINWORD.EXE"), options);
    EXPECT_TRUE(testsupport::exists(marker)) << "the first start made the marker";
    EXPECT_GT(app.processId(), 0);
}
