// Stands in for the HTML Help control in the help launcher's tests. Its HtmlHelpA entry (the
// .def file decides at which ordinal) appends one line per call to the file that
// PLINTHORA_CALL_LOG names, when it names one:
//
//   <path of this DLL>|<owner, hex>|<file or (null)>|<command>|<data, hex>
//
// and answers FAKE_HELP_WINDOW, so that a test can tell the control's answer from the
// launcher's own 0.
#include <windows.h>

// The base address of this DLL.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

const HWND FAKE_HELP_WINDOW = (HWND)0x4F54;

void appendLine(const char* line)
{
    char logPath[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("PLINTHORA_CALL_LOG", logPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    HANDLE log = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(log, line, (DWORD)lstrlenA(line), &written, nullptr);
    CloseHandle(log);
}

}  // namespace

extern "C" HWND WINAPI HtmlHelpA(HWND owner, LPCSTR file, UINT command, DWORD_PTR data)
{
    char self[MAX_PATH];
    GetModuleFileNameA((HMODULE)&__ImageBase, self, MAX_PATH);
    // wsprintfA writes at most 1024 bytes.
    char line[1024];
    wsprintfA(line, "%s|%lx|%s|%u|%lx\r\n", self, (unsigned long)(ULONG_PTR)owner,
              file != nullptr ? file : "(null)", command, (unsigned long)data);
    appendLine(line);
    return FAKE_HELP_WINDOW;
}
