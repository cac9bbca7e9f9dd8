// /c: items registered for the current user alone, in HKEY_CURRENT_USER\Software\Classes,
// with no right over the machine's classes asked for.
#include <windows.h>
#include <sddl.h>

#include "core/registration/status_texts.h"
#include "tests/batch/batch_run.h"
#include "tests/support/failure_causes.h"
#include "tests/components/category_registrar.h"

namespace {


// For its life the machine's classes refuse writes, as they do to a user without
// administrator rights: everyone may read them and give their security back, nothing else.
struct MachineClassesReadOnly {
    MachineClassesReadOnly() { setAccess("D:(A;;KRWD;;;WD)"); }
    ~MachineClassesReadOnly() { setAccess("D:(A;;KA;;;WD)"); }

    static void setAccess(const char* dacl)
    {
        HKEY key;
        PSECURITY_DESCRIPTOR descriptor;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes", 0, WRITE_DAC, &key));
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(dacl, SDDL_REVISION_1, &descriptor, nullptr));
        EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor));
        LocalFree(descriptor);
        RegCloseKey(key);
    }
};

}  // namespace

// Wine keeps the user's classes out of HKEY_CLASSES_ROOT (it shows the machine's alone), so a
// class registered for the user cannot be created here: the test reads its key instead.
TEST_F(BatchRun, WithCAServerIsRegisteredForTheUserAloneAndNeedsNoRightOverTheMachinesClasses)
{
    std::string server = placeComponent("comp_sample_server.dll", scratch.file("server.dll"));
    placeBesideProgram("config.ini", "[RegCheck]\r\nCheckType=1\r\n");
    MachineClassesReadOnly readOnly;

    // The check does refuse: without /c the run stops at it.
    ProcessRun refused = run("/s /l:run.log .\\server.dll");
    ASSERT_EQ(1u, refused.boxes.size());
    EXPECT_TRUE(beginsWith(refused.boxes[0].text, "ユーザ")) << refused.boxes[0].text;
    EXPECT_TRUE(calls.lines().empty());

    ProcessRun perUser = run("/s /c /l:run.log .\\server.dll");
    EXPECT_TRUE(perUser.boxes.empty());
    EXPECT_EQ(itemLine(server, "/c ", STATUS_REGISTERED), readFileBytes(scratch.file("run.log")));
    EXPECT_EQ(server, defaultValue(HKEY_CURRENT_USER, USER_CLASSES + SAMPLE_SERVER_KEY));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, USER_CLASSES + SAMPLE_SERVER_KEY));

    run("/s /c /u /l:run.log .\\server.dll");
    EXPECT_EQ(itemLine(server, "/c /u ", STATUS_UNREGISTERED), readFileBytes(scratch.file("run.log")));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, USER_CLASSES + SAMPLE_SERVER_KEY));
    EXPECT_EQ((std::vector<std::string>{registered("server.dll"), unregistered("server.dll")}), calls.lines());
}

// The categories manager is the system's, and Wine's opens the machine's classes by their
// native name: the worker keeps those writes to the user's classes as well.
TEST_F(BatchRun, WithCAComponentsCategoriesAreRegisteredForTheUserToo)
{
    std::string component = placeComponent("comp_category_registrar.dll", scratch.file("category.dll"));
    run("/s /c /l:run.log .\\category.dll");
    EXPECT_EQ(itemLine(component, "/c ", STATUS_REGISTERED), readFileBytes(scratch.file("run.log")));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, USER_CLASSES + CATEGORY_CLASS_KEY));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, USER_CLASSES + CATEGORY_IMPLEMENTED_KEY));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, USER_CLASSES + CATEGORY_KEY));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, USER_CLASSES + CATEGORY_CLASS_KEY));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, USER_CLASSES + CATEGORY_KEY));

    run("/s /c /u /l:run.log .\\category.dll");
    EXPECT_EQ(itemLine(component, "/c /u ", STATUS_UNREGISTERED), readFileBytes(scratch.file("run.log")));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, USER_CLASSES + CATEGORY_CLASS_KEY));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, USER_CLASSES + CATEGORY_KEY));
}

// /c /u removes the user's registration alone where the machine has the same class, which
// then shows through again; the machine's goes with /u.
TEST_F(BatchRun, WithCAndUTheUsersRegistrationGoesAndTheMachinesSameClassStays)
{
    std::string server = placeComponent("comp_sample_server.dll", scratch.file("server.dll"));
    run("/s /c .\\server.dll");
    run("/s .\\server.dll");
    run("/s /v /c /u /l:run.log .\\server.dll");
    EXPECT_EQ(itemLine(server, "/c /u ", STATUS_UNREGISTERED), readFileBytes(scratch.file("run.log")));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, USER_CLASSES + SAMPLE_SERVER_KEY));
    EXPECT_EQ(server, defaultValue(HKEY_LOCAL_MACHINE, USER_CLASSES + SAMPLE_SERVER_KEY));
    run("/s /u .\\server.dll");
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, USER_CLASSES + SAMPLE_SERVER_KEY));
}
