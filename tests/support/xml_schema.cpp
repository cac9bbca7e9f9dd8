#include "tests/support/xml_schema.h"

#include <windows.h>

#include "tests/support/test_paths.h"
#include "tests/support/wait_until.h"

std::string xmlSchemaVerdict(const std::string& path, const char* schema)
{
    typedef char*(CDECL * UnixFileName)(const WCHAR*);
    auto unixFileName = (UnixFileName)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    if (unixFileName == nullptr) return "not under Wine";
    WCHAR widePath[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
    char* unixPath = unixFileName(widePath);
    std::string file = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    std::string verdict = path + ".verdict";
    std::string command = "/bin/sh -c \"xmllint --noout --schema '" + std::string(schema) + "' '" + file + "' >'" + file +
                          ".part' 2>&1; echo exit $? >>'" + file + ".part'; mv '" + file + ".part' '" + file + ".verdict'\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA("Z:\\bin\\sh", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return "xmllint could not be started";
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!waitUntil([&] { return fileExists(verdict); }, 60000)) return "no verdict from xmllint";
    return readFileBytes(verdict);
}
