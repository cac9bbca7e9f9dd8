#include "tests/components/call_record.h"

#include <objbase.h>

// The base address of whichever DLL this file is linked into.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

// A growable byte buffer on the process heap, just enough to compose one line.
struct Line {
    char* text = nullptr;
    size_t length = 0;
    size_t capacity = 0;
    bool failed = false;

    ~Line()
    {
        if (text != nullptr) HeapFree(GetProcessHeap(), 0, text);
    }

    char* reserve(size_t extra)
    {
        if (failed) return nullptr;
        if (length + extra > capacity) {
            size_t wanted = (length + extra) * 2;
            void* grown = text == nullptr ? HeapAlloc(GetProcessHeap(), 0, wanted)
                                          : HeapReAlloc(GetProcessHeap(), 0, text, wanted);
            if (grown == nullptr) {
                failed = true;
                return nullptr;
            }
            text = (char*)grown;
            capacity = wanted;
        }
        return text + length;
    }

    void append(const char* s)
    {
        size_t n = lstrlenA(s);
        char* at = reserve(n);
        if (at == nullptr) return;
        CopyMemory(at, s, n);
        length += n;
    }

    // Appends UTF-16 text (which may be empty) as UTF-8.
    void appendWide(const WCHAR* s)
    {
        int bytes = WideCharToMultiByte(CP_UTF8, 0, s, -1, nullptr, 0, nullptr, nullptr);
        if (bytes <= 1) return;
        char* at = reserve((size_t)bytes);
        if (at == nullptr) return;
        length += WideCharToMultiByte(CP_UTF8, 0, s, -1, at, bytes, nullptr, nullptr) - 1;
    }
};

// Asking for a multithreaded apartment is refused with RPC_E_CHANGED_MODE exactly when the
// thread already sits in a single-threaded one. Any apartment this probe creates is undone.
bool singleThreadedApartmentActive()
{
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (hr == RPC_E_CHANGED_MODE) return true;
    if (SUCCEEDED(hr)) CoUninitialize();
    return false;
}

// Starts a line with "<dll name>|<export>|ole=<0|1>". The name is taken in UTF-16 so that a
// copy renamed to any name still logs it faithfully.
void beginLine(Line& line, const char* exportName)
{
    WCHAR path[MAX_PATH * 2];
    DWORD n = GetModuleFileNameW((HMODULE)&__ImageBase, path, ARRAYSIZE(path));
    if (n == 0 || n == ARRAYSIZE(path)) {
        line.append("?");
    } else {
        const WCHAR* name = path;
        for (const WCHAR* p = path; *p != L'\0'; ++p) {
            if (*p == L'\\' || *p == L'/') name = p + 1;
        }
        line.appendWide(name);
    }
    line.append("|");
    line.append(exportName);
    line.append(singleThreadedApartmentActive() ? "|ole=1" : "|ole=0");
}

// The log file named by PLINTHORA_CALL_LOG; false when the variable is unset or empty.
bool callLogPath(WCHAR* path, DWORD capacity)
{
    DWORD n = GetEnvironmentVariableW(L"PLINTHORA_CALL_LOG", path, capacity);
    return n != 0 && n < capacity;
}

// An append-only handle should make every write land at the end of the file, but under Wine
// processes appending at the same moment lose and garble each other's lines. A named mutex
// serialises the writers of all components.
void writeLine(const WCHAR* logPath, Line& line)
{
    line.append("\r\n");
    if (line.failed) return;

    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"PlinthoraCallLogWriter");
    if (mutex != nullptr) WaitForSingleObject(mutex, INFINITE);
    HANDLE file = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(file, line.text, (DWORD)line.length, &written, nullptr);
        CloseHandle(file);
    }
    if (mutex != nullptr) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
}

} // namespace

void recordServerCall(const char* exportName)
{
    WCHAR logPath[MAX_PATH * 2];
    if (!callLogPath(logPath, ARRAYSIZE(logPath))) return;
    Line line;
    beginLine(line, exportName);
    writeLine(logPath, line);
}

void recordInstallCall(BOOL install, LPCWSTR commandLine)
{
    WCHAR logPath[MAX_PATH * 2];
    if (!callLogPath(logPath, ARRAYSIZE(logPath))) return;
    Line line;
    beginLine(line, "DllInstall");
    line.append(install ? "|1|" : "|0|");
    if (commandLine == nullptr) {
        line.append("(null)");
    } else {
        line.appendWide(commandLine);
    }
    writeLine(logPath, line);
}
