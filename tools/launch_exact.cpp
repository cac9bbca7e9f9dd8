// launch_exact [--answer-boxes] [--window-handshake FOLDER] PROGRAM [ARGUMENT_TEXT]
//
// Starts PROGRAM with ARGUMENT_TEXT as its argument text exactly, quotes and blanks included:
// the command line is the quoted program path, one blank and the text (no text: the program
// path alone). Wine quotes the arguments it passes on, so the text arrives here as one
// argument and is unpacked by the platform's own rules. Waits for the program and exits
// with its exit code.
//
// --answer-boxes: for a run nobody can watch, prints each "Plinthora" message box and
//     answers it (OK, or No where there is no OK).
// --window-handshake FOLDER: creates FOLDER\shown once the program shows a window and has
//     drawn it (it waits for input again), and closes the program's windows once
//     FOLDER\close exists.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "tests/support/message_boxes.h"

namespace {

const char CAPTION[] = "Plinthora";
const DWORD POLL_MS = 50;
const DWORD BOX_PATIENCE_MS = 10000;
const DWORD CLOSE_PATIENCE_MS = 10000;

// Writes ANSI text to the standard output, as the console or a pipe wants it.
void say(const std::string& text)
{
    int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide((size_t)length, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], length);
    wide.resize(wide.size() - 1);
    wide += L"\n";
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode, written;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, wide.c_str(), (DWORD)wide.size(), &written, nullptr);
        return;
    }
    int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
    std::string utf8((size_t)bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), (int)wide.size(), &utf8[0], bytes, nullptr, nullptr);
    WriteFile(out, utf8.data(), (DWORD)utf8.size(), &written, nullptr);
}

std::string buttonName(int id)
{
    switch (id) {
    case IDOK: return "OK";
    case IDYES: return "Yes";
    case IDNO: return "No";
    default: return std::to_string(id);
    }
}

void answerBox(HWND box)
{
    SeenBox seen = readMessageBox(box, BOX_PATIENCE_MS);
    int answer = defaultAnswer(seen);
    std::string text = seen.text;
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at)) text.replace(at, 1, " / ");
    say(std::string("[message box, ") + iconName(seen.icon) + "] " + text + "  -> " + buttonName(answer));
    answerMessageBox(box, answer, BOX_PATIENCE_MS);
}

BOOL CALLBACK closeWindowOf(HWND window, LPARAM processId)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == (DWORD)processId && IsWindowVisible(window)) PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

bool fileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int usage()
{
    say("usage: launch_exact [--answer-boxes] [--window-handshake FOLDER] PROGRAM [ARGUMENT_TEXT]");
    return 2;
}

}  // namespace

int main()
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) return usage();
    bool answerBoxes = false;
    std::wstring handshake;
    int next = 1;
    for (; next < count && arguments[next][0] == L'-' && arguments[next][1] == L'-'; ++next) {
        std::wstring option = arguments[next];
        if (option == L"--answer-boxes") {
            answerBoxes = true;
        } else if (option == L"--window-handshake" && next + 1 < count) {
            handshake = arguments[++next];
        } else {
            return usage();
        }
    }
    if (next >= count || count > next + 2) return usage();
    std::wstring program = arguments[next];
    std::wstring commandLine = L"\"" + program + L"\"";
    if (next + 1 < count) commandLine += L" " + std::wstring(arguments[next + 1]);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        say("cannot start the program (error " + std::to_string(GetLastError()) + ")");
        return 1;
    }
    CloseHandle(process.hThread);

    bool shown = false;
    DWORD closeAsked = 0;
    while (WaitForSingleObject(process.hProcess, POLL_MS) == WAIT_TIMEOUT) {
        if (answerBoxes) {
            HWND box = findMessageBox(process.dwProcessId, CAPTION);
            if (box != nullptr) answerBox(box);
        }
        if (handshake.empty()) continue;
        if (!shown && hasOtherVisibleWindow(process.dwProcessId, CAPTION)) {
            WaitForInputIdle(process.hProcess, CLOSE_PATIENCE_MS);
            CloseHandle(CreateFileW((handshake + L"\\shown").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            shown = true;
        }
        if (closeAsked == 0 && fileExists(handshake + L"\\close")) {
            EnumWindows(closeWindowOf, (LPARAM)process.dwProcessId);
            closeAsked = GetTickCount();
        }
        if (closeAsked != 0 && GetTickCount() - closeAsked > CLOSE_PATIENCE_MS) {
            say("the program did not close; ending it");
            TerminateProcess(process.hProcess, 1);
        }
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    if (exitCode != 0) {
        char text[64];
        wsprintfA(text, "exit code 0x%08lX", exitCode);
        say(text);
    }
    return (int)exitCode;
}
