#include "tests/batch/batch_run.h"

#include <windows.h>

namespace {

const char* currentTestName()
{
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

}  // namespace

BatchRun::BatchRun() : scratch(currentTestName())
{
    appDir = scratch.makeFolder("app");
    program = appDir + "\\plinthora.exe";
    CopyFileA(plinthoraExePath().c_str(), program.c_str(), FALSE);
}

ProcessRun BatchRun::run(const std::string& argumentText, const std::string& currentDirectory, const RunSettings& settings)
{
    RunSettings used = settings;
    used.currentDirectory = currentDirectory.empty() ? scratch.path() : currentDirectory;
    ProcessRun result = runProcess(program, "\"" + program + "\" " + argumentText, used);
    EXPECT_TRUE(result.started) << "could not start " << program;
    EXPECT_TRUE(result.finished) << "still running after " << used.timeoutMs << " ms: [" << argumentText << "]";
    if (result.finished) {
        EXPECT_EQ(expectedExitCode, result.exitCode) << "[" << argumentText << "]";
    }
    return result;
}

std::string BatchRun::use64BitProgramWith32BitHelper()
{
    if (sizeof(void*) != 4) return "runs in the 32-bit suite";
    std::string program64 = buildDirectory() + "\\..\\x64\\plinthora.exe";
    if (!fileExists(program64)) return "the 64-bit build is not beside this one";
    CopyFileA(program64.c_str(), program.c_str(), FALSE);
    CopyFileA(plinthoraExePath().c_str(), besideProgram("plinthora32.exe").c_str(), FALSE);
    return "";
}

std::string BatchRun::placeComponent(const char* component, const std::string& path) const
{
    CopyFileA(componentPath(component).c_str(), path.c_str(), FALSE);
    return path;
}

void BatchRun::placeBesideProgram(const std::string& name, const std::string& bytes) const
{
    writeFileBytes(besideProgram(name), bytes);
}

std::string itemLine(const std::string& path, const std::string& options, const std::string& status)
{
    return path + "\t" + options + "\t" + status + "\r\n";
}

std::string errorLine(const std::string& message)
{
    return "[エラー]\t" + message + "\t\r\n";
}

std::string resultText(const std::string& status, const std::string& path)
{
    return "状態 : " + status + "\nファイル : " + path;
}

std::string registered(const std::string& dll)
{
    return dll + "|DllRegisterServer|ole=1";
}

std::string unregistered(const std::string& dll)
{
    return dll + "|DllUnregisterServer|ole=1";
}

std::wstring wide(const std::string& text, UINT codePage)
{
    int length = MultiByteToWideChar(codePage, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring out(length, L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), (int)text.size(), &out[0], length);
    return out;
}

std::string ansi(const std::wstring& text)
{
    int length = WideCharToMultiByte(CP_ACP, 0, text.data(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string out(length, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), (int)text.size(), &out[0], length, nullptr, nullptr);
    return out;
}

std::string utf16(const std::string& text)
{
    std::wstring characters = wide(text);
    return std::string((const char*)characters.data(), characters.size() * sizeof(wchar_t));
}

void removeKey(HKEY root, const std::string& path)
{
    RegDeleteTreeA(root, path.c_str());
    RegDeleteKeyA(root, path.c_str());
}

bool importedWithRegistryEditor(const std::string& file)
{
    ProcessRun editor = runProcess(systemDirectory() + "\\..\\regedit.exe", "regedit.exe /s \"" + file + "\"", RunSettings());
    return editor.finished;
}

bool keyExists(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::string defaultValue(HKEY root, const std::string& path)
{
    char value[MAX_PATH] = "";
    LONG size = sizeof value;
    return RegQueryValueA(root, path.c_str(), value, &size) == ERROR_SUCCESS ? value : "";
}

std::string installed(const std::string& dll, int install, const std::string& commandLine)
{
    return dll + "|DllInstall|ole=1|" + std::to_string(install) + "|" + commandLine;
}
