#include "core/registration/registration_engine.h"

#include <objbase.h>

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "core/registration/status_texts.h"
#include "tests/support/test_paths.h"

namespace {

struct EngineRow {
    const char* component;
    BYTE unregister, noRegister, install;
    const char* commandLine;
    const char* expectedStatus;
    std::vector<std::string> expectedCalls;
};

// True when this thread has no COM apartment left: perform must undo its own session.
bool threadHasNoApartment()
{
    HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(result)) CoUninitialize();
    return result == S_OK;
}

class RegistrationEngine : public ::testing::Test {
protected:
    ScratchDirectory scratch{"engine"};
    CallRecord calls{scratch};

    std::string performed(const char* component, BYTE unregister, BYTE noRegister, BYTE install, const char* commandLine)
    {
        ComponentItem* item = newComponentItem();
        lstrcpyA(item->path, componentPath(component).c_str());
        item->switches.unregister = unregister;
        item->switches.noRegisterServer = noRegister;
        item->switches.callInstall = install;
        lstrcpyA(item->switches.installCmdLine, commandLine);
        PerformTrace trace;
        performInThisProcess(item, &trace);
        std::string status = item->status;
        freeComponentItem(item);
        return status;
    }
};

}  // namespace

TEST_F(RegistrationEngine, ExportsCalledFollowTheSwitches)
{
    const EngineRow rows[] = {
        {"comp_ok.dll", 0, 0, 0, "", STATUS_REGISTERED, {"comp_ok.dll|DllRegisterServer|ole=1"}},
        {"comp_ok.dll", 1, 0, 0, "", STATUS_UNREGISTERED, {"comp_ok.dll|DllUnregisterServer|ole=1"}},
        {"comp_ok.dll", 0, 0, 1, "x", STATUS_REGISTERED,
         {"comp_ok.dll|DllRegisterServer|ole=1", "comp_ok.dll|DllInstall|ole=1|1|x"}},
        {"comp_ok.dll", 1, 0, 1, "x", STATUS_UNREGISTERED,
         {"comp_ok.dll|DllUnregisterServer|ole=1", "comp_ok.dll|DllInstall|ole=1|0|x"}},
        {"comp_ok.dll", 0, 1, 0, "y", STATUS_REGISTERED, {"comp_ok.dll|DllInstall|ole=1|1|y"}},
        {"comp_ok.dll", 1, 1, 1, "", STATUS_UNREGISTERED, {"comp_ok.dll|DllInstall|ole=1|0|(null)"}},
        {"comp_register_returns_one.dll", 0, 0, 0, "", STATUS_REGISTERED,
         {"comp_register_returns_one.dll|DllRegisterServer|ole=1"}},
        {"comp_server_fails.dll", 0, 0, 1, "", STATUS_REGISTER_FAILED, {"comp_server_fails.dll|DllRegisterServer|ole=1"}},
        {"comp_server_fails.dll", 1, 0, 0, "", STATUS_UNREGISTER_FAILED,
         {"comp_server_fails.dll|DllUnregisterServer|ole=1"}},
        {"comp_no_server.dll", 0, 0, 1, "", STATUS_NO_REGISTER_ENTRY, {}},
        {"comp_no_server.dll", 1, 0, 1, "", STATUS_NO_UNREGISTER_ENTRY, {}},
        {"comp_no_server.dll", 0, 1, 0, "", STATUS_REGISTERED, {"comp_no_server.dll|DllInstall|ole=1|1|(null)"}},
        {"comp_no_install.dll", 0, 0, 1, "", STATUS_NO_INSTALL_ENTRY, {"comp_no_install.dll|DllRegisterServer|ole=1"}},
        {"comp_no_install.dll", 0, 1, 0, "", STATUS_NO_INSTALL_ENTRY, {}},
        {"comp_install_fails.dll", 0, 0, 1, "", STATUS_INSTALL_FAILED,
         {"comp_install_fails.dll|DllRegisterServer|ole=1", "comp_install_fails.dll|DllInstall|ole=1|1|(null)"}},
        {"missing.dll", 0, 0, 1, "", STATUS_LOAD_FAILED, {}},
        // Its helper DLL lies beside it, not beside this program or in the current directory.
        {"comp_needs_dependency.dll", 0, 0, 0, "", STATUS_REGISTERED, {"comp_needs_dependency.dll|DllRegisterServer|ole=1"}},
    };
    for (const EngineRow& row : rows) {
        calls.clear();
        std::string status = performed(row.component, row.unregister, row.noRegister, row.install, row.commandLine);
        std::string which = std::string(row.component) + " u" + std::to_string(row.unregister) + " n" +
                            std::to_string(row.noRegister) + " i" + std::to_string(row.install);
        EXPECT_EQ(row.expectedStatus, status) << which;
        EXPECT_EQ(row.expectedCalls, calls.lines()) << which;
        EXPECT_TRUE(threadHasNoApartment()) << which;
    }
}

TEST_F(RegistrationEngine, CommandLineIsUnquotedAndUnescapedBeforeTheCall)
{
    const struct {
        const char* stored;
        const char* received;
    } rows[] = {
        {"", "(null)"},
        {"\"\"", "(null)"},
        {"\"a b\"", "a b"},
        {"\\\"word\\\"", "\"word\""},
        {"a\\\\\"b", "a\\\\\"b"},
        {"a\\x", "a\\x"},
        {"end\\", "end\\"},
        {"日本語", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
    };
    for (const auto& row : rows) {
        calls.clear();
        EXPECT_EQ(STATUS_REGISTERED, performed("comp_ok.dll", 0, 1, 1, row.stored));
        std::vector<std::string> expected = {std::string("comp_ok.dll|DllInstall|ole=1|1|") + row.received};
        EXPECT_EQ(expected, calls.lines()) << row.stored;
    }
}

TEST_F(RegistrationEngine, FailedLoadStillLeavesNoOleSessionBehind)
{
    EXPECT_EQ(STATUS_LOAD_FAILED, performed("no_such_component.dll", 0, 0, 0, ""));
    EXPECT_TRUE(threadHasNoApartment());
    // With an apartment of the caller's own, perform's session nests inside it and leaves it open.
    ASSERT_EQ(S_OK, OleInitialize(nullptr));
    EXPECT_EQ(STATUS_LOAD_FAILED, performed("no_such_component.dll", 0, 0, 0, ""));
    EXPECT_EQ(STATUS_REGISTERED, performed("comp_ok.dll", 0, 0, 0, ""));
    EXPECT_EQ(S_FALSE, OleInitialize(nullptr));
    OleUninitialize();
    OleUninitialize();
    EXPECT_TRUE(threadHasNoApartment());
}

TEST_F(RegistrationEngine, EveryPerformLoadsAndFreesTheModule)
{
    std::string path = componentPath("comp_ok.dll");
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(STATUS_REGISTERED, performed("comp_ok.dll", 0, 0, 0, ""));
        EXPECT_EQ(nullptr, GetModuleHandleA(path.c_str())) << "round " << round;
    }
    EXPECT_EQ(2u, calls.lines().size());
}
