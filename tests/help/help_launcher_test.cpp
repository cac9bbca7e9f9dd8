#include "help/help_launcher.h"

#include <htmlhelp.h>

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/support/test_paths.h"

namespace {

// The launcher reads the control's location from here instead of from HKEY_CLASSES_ROOT,
// which Wine does not let a test change (it does not show HKCU\Software\Classes there).
const char TEST_KEY_ROOT[] = "Software\\Plinthora Tests";
const char TEST_LOCATION_KEY[] = "Software\\Plinthora Tests\\HelpControl\\InprocServer32";

// What the stand-in control answers (fake_help_control.cpp).
const HWND FAKE_HELP_WINDOW = (HWND)0x4F54;

std::string systemControl()
{
    return systemDirectory() + "\\hhctrl.ocx";
}

bool moduleLoaded(const std::string& path)
{
    return GetModuleHandleA(path.c_str()) != nullptr;
}

// By its name, which no copy made here shares: a 32-bit process finds the system's control
// under the 32-bit system folder, whatever path it asked for.
bool systemControlLoaded()
{
    return GetModuleHandleA("hhctrl.ocx") != nullptr;
}

std::string hex(ULONG_PTR value)
{
    char text[32];
    wsprintfA(text, "%lx", (unsigned long)value);
    return text;
}

class HelpLauncher : public ::testing::Test {
protected:
    ScratchDirectory scratch{"help_launcher"};
    CallRecord calls{scratch};

    void SetUp() override
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, TEST_KEY_ROOT);
        startAfresh(nullptr);
    }

    // Frees what the launcher loaded, so that the scratch folder can go and the next test
    // starts from an empty process-wide state.
    void TearDown() override
    {
        resetHelpLauncherForTests(nullptr, nullptr, nullptr);
        RegDeleteTreeA(HKEY_CURRENT_USER, TEST_KEY_ROOT);
    }

    // An empty launcher state; the fallback is the system's control unless a module is named.
    void startAfresh(const char* fallbackModule)
    {
        resetHelpLauncherForTests(HKEY_CURRENT_USER, TEST_LOCATION_KEY, fallbackModule);
    }

    void registerValue(const void* bytes, DWORD size, DWORD type = REG_SZ)
    {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, TEST_LOCATION_KEY, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "", 0, type, (const BYTE*)bytes, size));
        RegCloseKey(key);
    }

    void registerLocation(const std::string& path)
    {
        registerValue(path.c_str(), (DWORD)path.size() + 1);
    }

    // A copy of a module under a name of its own, so that the loader cannot mistake it for
    // another one already loaded.
    std::string copyOf(const std::string& module, const char* name)
    {
        std::string copy = scratch.file(name);
        EXPECT_TRUE(CopyFileA(module.c_str(), copy.c_str(), FALSE)) << module;
        return copy;
    }

    std::string fakeControl(const char* name)
    {
        return copyOf(componentPath("fake_help_control.dll"), name);
    }
};

}  // namespace

TEST_F(HelpLauncher, FindHelpControlReadsTheDefaultValueAsATerminatedPath)
{
    // The registry keeps a terminator that directly follows the bytes it is given, so texts
    // meant to be stored without one are followed by more text.
    const std::string longest(MAX_PATH - 1, 'a');
    const std::string tooLong(MAX_PATH + 1, 'b');
    const std::string overflowing(300, 'c');
    struct Row {
        const char* what;
        const void* bytes;
        DWORD size;
        DWORD type;
        bool found;
        std::string location;
    };
    const Row rows[] = {
        {"a path", "C:\\Tools\\hhctrl.ocx", 20, REG_SZ, true, "C:\\Tools\\hhctrl.ocx"},
        {"259 characters and the terminator", longest.c_str(), MAX_PATH, REG_SZ, true, longest},
        {"a text stored without its terminator", "C:\\x.ocx and more", 8, REG_SZ, true, "C:\\x.ocx"},
        {"260 characters without a terminator", tooLong.c_str(), MAX_PATH, REG_SZ, false, ""},
        {"a text longer than the buffer", overflowing.c_str(), 301, REG_SZ, false, ""},
        {"an empty text", "", 1, REG_SZ, false, ""},
    };
    for (const Row& row : rows) {
        registerValue(row.bytes, row.size, row.type);
        char buffer[HELP_CONTROL_PATH_CAPACITY + 1];
        buffer[HELP_CONTROL_PATH_CAPACITY] = 'Z';
        EXPECT_EQ(row.found, findHelpControl(buffer)) << row.what;
        EXPECT_EQ(row.location, row.found ? std::string(buffer) : std::string()) << row.what;
        EXPECT_LT(lstrlenA(buffer), (int)HELP_CONTROL_PATH_CAPACITY) << row.what << ": the buffer must end in it";
        EXPECT_EQ('Z', buffer[HELP_CONTROL_PATH_CAPACITY]) << row.what << ": written past the buffer";
    }

    RegDeleteTreeA(HKEY_CURRENT_USER, TEST_KEY_ROOT);
    char buffer[HELP_CONTROL_PATH_CAPACITY];
    EXPECT_FALSE(findHelpControl(buffer)) << "no registration";
}

TEST_F(HelpLauncher, LoadsTheControlFromItsRegisteredLocation)
{
    ASSERT_FALSE(systemControlLoaded()) << "the system's control is loaded before the test";
    std::string registered = copyOf(systemControl(), "registered_hhctrl.ocx");
    registerLocation(registered);

    callHtmlHelp(nullptr, nullptr, HH_CLOSE_ALL, 0);

    EXPECT_TRUE(moduleLoaded(registered)) << "the control was not loaded from " << registered;
    EXPECT_FALSE(systemControlLoaded()) << "the fallback was loaded although the registered control loads";
}

TEST_F(HelpLauncher, FallsBackToTheSystemControlWhenTheRegisteredOneDoesNotLoad)
{
    std::string notAModule = scratch.file("not_a_module.ocx");
    ASSERT_TRUE(writeFileBytes(notAModule, "this is text, not a module"));
    const std::string cutOff(MAX_PATH + 1, 'a');
    struct Row {
        const char* what;
        std::string value;  // empty: no registration at all
        DWORD size;
    };
    const Row rows[] = {
        {"no registration", "", 0},
        {"a registered file that is missing", scratch.file("missing.ocx"), 0},
        {"a registered file that is not a module", notAModule, 0},
        {"a registered text without room for its terminator", cutOff, MAX_PATH},
    };
    for (const Row& row : rows) {
        startAfresh(nullptr);
        RegDeleteTreeA(HKEY_CURRENT_USER, TEST_KEY_ROOT);
        if (!row.value.empty()) {
            registerValue(row.value.c_str(), row.size != 0 ? row.size : (DWORD)row.value.size() + 1);
        }
        ASSERT_FALSE(systemControlLoaded()) << row.what << ": loaded before the request";

        callHtmlHelp(nullptr, nullptr, HH_CLOSE_ALL, 0);

        EXPECT_TRUE(systemControlLoaded()) << row.what << ": the system's control was not tried";
    }
}

TEST_F(HelpLauncher, TheFallbackIsNeverAControlLyingBesideTheProgram)
{
    // The loader's search for a bare name starts in the program's folder, where anyone who can
    // put a file next to a downloaded program could have their code run.
    std::string planted = executableDirectory() + "\\hhctrl.ocx";
    ASSERT_TRUE(CopyFileA(componentPath("fake_help_control.dll").c_str(), planted.c_str(), FALSE));
    startAfresh(nullptr);

    callHtmlHelp(nullptr, "a.chm", HH_CLOSE_ALL, 0);

    bool plantedLoaded = moduleLoaded(planted);
    resetHelpLauncherForTests(HKEY_CURRENT_USER, TEST_LOCATION_KEY, nullptr);
    DeleteFileA(planted.c_str());
    EXPECT_FALSE(plantedLoaded);
    EXPECT_TRUE(calls.lines().empty()) << "the planted control was called";
}

TEST_F(HelpLauncher, ShowHelpOpensTheContentsAtTheStartPageOwnedByTheDesktop)
{
    std::string control = fakeControl("fake_help_control.dll");
    registerLocation(control);

    showHelp();

    std::vector<std::string> expected = {
        control + "|" + hex((ULONG_PTR)GetDesktopWindow()) + "|" + executableDirectory() +
        "\\plinthora.chm::/index.html|1|0"};
    EXPECT_EQ(expected, calls.lines());
}

TEST_F(HelpLauncher, TwoRequestsLoadTheControlOnceAndPassEachRequestThrough)
{
    std::string first = fakeControl("first_control.dll");
    std::string second = fakeControl("second_control.dll");
    registerLocation(first);
    EXPECT_EQ(FAKE_HELP_WINDOW, callHtmlHelp((HWND)0x1234, "a.chm", HH_DISPLAY_TOPIC, 0x55));

    // The location is read on the first request only.
    registerLocation(second);
    EXPECT_EQ(FAKE_HELP_WINDOW, callHtmlHelp((HWND)0x5678, "b.chm::/x.html", HH_DISPLAY_TOC, 0));

    std::vector<std::string> expected = {first + "|1234|a.chm|0|55", first + "|5678|b.chm::/x.html|1|0"};
    EXPECT_EQ(expected, calls.lines());
    EXPECT_FALSE(moduleLoaded(second));

    // One FreeLibrary undoes one LoadLibrary: a second load would keep the module in.
    resetHelpLauncherForTests(HKEY_CURRENT_USER, TEST_LOCATION_KEY, nullptr);
    EXPECT_FALSE(moduleLoaded(first)) << "the control was loaded more than once";
}

TEST_F(HelpLauncher, AfterTheControlFailedToLoadNothingIsShownAndNothingTriedAgain)
{
    std::string registered = scratch.file("registered_control.dll");
    std::string fallback = scratch.file("fallback_control.dll");
    startAfresh(fallback.c_str());
    registerLocation(registered);

    EXPECT_EQ(nullptr, callHtmlHelp(nullptr, "a.chm", HH_DISPLAY_TOC, 0));

    // Both would load now; neither may be tried again.
    ASSERT_TRUE(CopyFileA(componentPath("fake_help_control.dll").c_str(), registered.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(componentPath("fake_help_control.dll").c_str(), fallback.c_str(), FALSE));
    showHelp();
    EXPECT_EQ(nullptr, callHtmlHelp(nullptr, "a.chm", HH_DISPLAY_TOC, 0));

    EXPECT_TRUE(calls.lines().empty());
    EXPECT_FALSE(moduleLoaded(registered));
    EXPECT_FALSE(moduleLoaded(fallback));
}

TEST_F(HelpLauncher, AControlWithoutTheEntryShowsNothingAndIsNotReplacedByTheFallback)
{
    std::string control = copyOf(componentPath("fake_help_control_without_entry.dll"), "no_entry_control.dll");
    registerLocation(control);

    EXPECT_EQ(nullptr, callHtmlHelp(nullptr, "a.chm", HH_DISPLAY_TOC, 0));
    EXPECT_EQ(nullptr, callHtmlHelp(nullptr, "a.chm", HH_DISPLAY_TOC, 0));

    EXPECT_TRUE(calls.lines().empty()) << "the export at another ordinal was called";
    EXPECT_TRUE(moduleLoaded(control));
    EXPECT_FALSE(systemControlLoaded());
}
