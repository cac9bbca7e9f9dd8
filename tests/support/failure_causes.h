// Why items fail, one row per cause, with the status it gives and how its detail begins:
// shared by the tests of failure details through the engine, the batch run and the window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/test_paths.h"

struct FailureCause {
    std::string path;
    BYTE unregister;
    BYTE install;
    const char* status;
    std::string detailStart;

    // The switches as a job line takes them.
    std::string switches() const { return unregister ? "/u" : install ? "/i" : ""; }
};

// The seconds config.ini gives a component in these tests, for the row that never returns.
const int FAILURE_ITEM_TIMEOUT = 2;

// A component whose first helper DLL lies beside it and whose second, of a name that fills a
// failure detail to its 255 bytes, lies nowhere the loader looks: placed in scratch.
FailureCause halfServedComponent(const ScratchDirectory& scratch);

// The causes, their components placed in scratch where they need a place of their own. The
// component built for the other architecture is taken from the other build beside this one,
// when there is one.
std::vector<FailureCause> failureCauses(const ScratchDirectory& scratch);

// config.ini beside this test program, where its workers read the item time limit, for the
// life of the object.
class ItemTimeoutConfig {
public:
    explicit ItemTimeoutConfig(int seconds = FAILURE_ITEM_TIMEOUT);
    ~ItemTimeoutConfig();
    void set(int seconds) const;

private:
    std::string path_;
};

// True when text begins with start.
bool beginsWith(const std::string& text, const std::string& start);
