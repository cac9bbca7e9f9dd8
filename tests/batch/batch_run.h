// What the end-to-end tests of the command-line run share: each test gets a scratch folder
// with a copy of plinthora.exe in its "app" subfolder, so the files the program looks for
// next to itself (install.ini, uninstall.ini, config.ini, log.txt) belong to that test alone.
#pragma once

#include <gtest/gtest.h>
#include <string>

#include "tests/support/process_runner.h"
#include "tests/support/test_paths.h"

class BatchRun : public ::testing::Test {
protected:
    BatchRun();

    // Runs the copy with the argument text exactly as given after the quoted program path and
    // one blank; also checks that it ended by itself with exit code 0.
    ProcessRun run(const std::string& argumentText, const std::string& currentDirectory = "",
                   const RunSettings& settings = RunSettings());

    // Copies a built test component to the path and returns that path.
    std::string placeComponent(const char* component, const std::string& path) const;
    // Writes a file next to the program's copy.
    void placeBesideProgram(const std::string& name, const std::string& bytes) const;
    std::string besideProgram(const std::string& name) const { return appDir + "\\" + name; }
    // Puts the 64-bit build in the copy's place with this 32-bit build beside it as its
    // helper; returns why it cannot (empty when done): it runs only in the 32-bit suite, with
    // the 64-bit build beside this one.
    std::string use64BitProgramWith32BitHelper();

    // The exit code run() expects of the program.
    DWORD expectedExitCode = 0;
    ScratchDirectory scratch;
    CallRecord calls{scratch};
    std::string appDir;
    std::string program;
};

// A log line for an item, and an error line, as the program writes them.
std::string itemLine(const std::string& path, const std::string& options, const std::string& status);
std::string errorLine(const std::string& message);

// The result box text for a status and a path.
std::string resultText(const std::string& status, const std::string& path);

// "<dll>|DllRegisterServer|ole=1" and the like, as the test components record their calls.
std::string registered(const std::string& dll);
std::string unregistered(const std::string& dll);
// The text in UTF-16LE, as a registry file holds it.
std::string utf16(const std::string& text);
// Text between the code page given (the program's by default) and UTF-16.
std::wstring wide(const std::string& text, UINT codePage = CP_ACP);
std::string ansi(const std::wstring& text);
std::string installed(const std::string& dll, int install, const std::string& commandLine);

// The sample server's class and server keys below the classes root, and the user's classes below
// HKEY_CURRENT_USER.
// Inline, so that the constants of every test file built from them are made after them.
inline const std::string SAMPLE_CLASS_KEY = "CLSID\\{68E2845A-D929-47E3-9A91-B81448E5A0BD}";
inline const std::string SAMPLE_SERVER_KEY = SAMPLE_CLASS_KEY + "\\InprocServer32";
inline const std::string USER_CLASSES = "Software\\Classes\\";

// Deletes the key with everything below it.
void removeKey(HKEY root, const std::string& path);
// Imports a registry file with the registry editor, as a user would.
bool importedWithRegistryEditor(const std::string& file);

// A registry key as this test program's architecture sees it: whether it exists, and its
// default value ("" for none).
bool keyExists(HKEY root, const std::string& path);
std::string defaultValue(HKEY root, const std::string& path);
