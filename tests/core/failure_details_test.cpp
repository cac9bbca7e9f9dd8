// Every failure says why: the detail the engine gives each cause, performed in workers as a
// run performs them.
#include <gtest/gtest.h>

#include "core/worker/isolated_performer.h"
#include "tests/support/failure_causes.h"

TEST(FailureDetails, EachCauseGivesItsStatusAndDetailAndASuccessNone)
{
    ScratchDirectory scratch("details");
    ItemTimeoutConfig config;
    std::vector<FailureCause> causes = failureCauses(scratch);
    causes.push_back({componentPath("comp_ok.dll"), 0, 0, "登録完了", ""});
    IsolatedPerformer performer;
    performer.begin(nullptr);
    for (const FailureCause& cause : causes) {
        ComponentItem* item = newComponentItem();
        lstrcpyA(item->path, cause.path.c_str());
        item->switches.unregister = cause.unregister;
        item->switches.callInstall = cause.install;
        performer.perform(item);
        EXPECT_STREQ(cause.status, item->status) << cause.path;
        EXPECT_TRUE(beginsWith(item->detail, cause.detailStart)) << cause.path << ": " << item->detail;
        EXPECT_EQ(cause.detailStart.empty(), item->detail[0] == '\0') << cause.path;
        freeComponentItem(item);
    }
    performer.end();
}
