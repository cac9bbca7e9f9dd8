// Type libraries: a .tlb or .olb file is registered and unregistered as a type library, for the
// machine or with /c for the user alone, and a file of that name that is none says why.
#include <windows.h>

#include "core/registration/status_texts.h"
#include "tests/batch/batch_run.h"
#include "tests/support/failure_causes.h"

namespace {

// tests/components/test_library.idl: version 1.2, neutral locale.
const std::string LIBRARY_VERSION = "{5C3B6E2A-8F41-4D7B-9E0C-2A6D1F3B7C55}\\1.2";
const std::string LIBRARY_KEY = "TypeLib\\" + LIBRARY_VERSION;
const std::string LIBRARY_PATH_KEY = LIBRARY_KEY + (sizeof(void*) == 8 ? "\\0\\win64" : "\\0\\win32");

}  // namespace

TEST_F(BatchRun, ATypeLibraryInAFolderIsRegisteredWithItsPathAndFolderAndRemovedAgain)
{
    std::string folder = scratch.makeFolder("libraries");
    std::string library = placeComponent("test_library.tlb", folder + "\\shades.tlb");

    run("/s /l:run.log libraries\\");
    EXPECT_EQ(itemLine(library, "", STATUS_REGISTERED), readFileBytes(scratch.file("run.log")));
    EXPECT_EQ("Plinthora test type library", defaultValue(HKEY_CLASSES_ROOT, LIBRARY_KEY));
    EXPECT_EQ(library, defaultValue(HKEY_CLASSES_ROOT, LIBRARY_PATH_KEY));
    EXPECT_EQ(folder, defaultValue(HKEY_CLASSES_ROOT, LIBRARY_KEY + "\\HELPDIR"));

    // /n and /i change nothing for a type library; its switches are shown as given.
    run("/s /u /n /i:x /l:run.log libraries\\shades.tlb");
    EXPECT_EQ(itemLine(library, "/u /n /i:x", STATUS_UNREGISTERED), readFileBytes(scratch.file("run.log")));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, LIBRARY_KEY));

    run("/s /c /l:run.log libraries\\SHADES.TLB");
    EXPECT_EQ(folder + "\\SHADES.TLB", defaultValue(HKEY_CURRENT_USER, USER_CLASSES + LIBRARY_PATH_KEY));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, LIBRARY_KEY));
    run("/s /c /u /l:run.log libraries\\shades.tlb");
    EXPECT_EQ(itemLine(folder + "\\shades.tlb", "/c /u ", STATUS_UNREGISTERED), readFileBytes(scratch.file("run.log")));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, USER_CLASSES + LIBRARY_KEY));

    // Captured under the classes root (Wine writes "Typelib", Windows "TypeLib").
    run("/s /x:library.reg libraries\\shades.tlb");
    std::string captured = readFileBytes(scratch.file("library.reg"));
    EXPECT_NE(std::string::npos, captured.find(utf16("\r\n[HKEY_CLASSES_ROOT\\Type")));
    EXPECT_NE(std::string::npos, captured.find(utf16(LIBRARY_VERSION + "]\r\n@=\"Plinthora test type library\"")));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, LIBRARY_KEY));
}

TEST_F(BatchRun, AFileNamedAsATypeLibraryThatIsNoneFailsToLoadWithTheReason)
{
    writeFileBytes(scratch.file("notes.olb"), "not a type library");
    run("/s /v /l:run.log .\\notes.olb");
    std::string line = readFileBytes(scratch.file("run.log"));
    EXPECT_TRUE(beginsWith(line, scratch.file("notes.olb") + "\t\t" + STATUS_TYPELIB_LOAD_FAILED + "\tHRESULT 0x")) << line;
}
