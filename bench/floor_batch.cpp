// The floor of a batch run: the least a program can do for each component, with nothing of
// Plinthora's own. Each item gets an OLE session of its own, its module loaded, the register
// export called and the module freed. The ways to name the items, one per measured case:
//
//   floor_batch register FOLDER        every *.dll file directly in FOLDER, no log
//   floor_batch shared-session FOLDER  the same inside one OLE session for all files, to
//                                      show what a session of each item's own costs
//   floor_batch list LISTFILE LOGFILE   one full path per line of LISTFILE, a log line each
//   floor_batch tree FOLDER LOGFILE     every file under FOLDER, depth first, a log line each
//   floor_batch listed-tree FOLDER LOGFILE   the same, but a file its listing shows empty is
//                                      answered from the listing: it cannot load, and no load
//                                      need say so
//   floor_batch listed-files FOLDER LOGFILE  every *.dll file directly in FOLDER, answered as
//                                      listed-tree answers them, a log line each
//
// Log lines have the bytes of Plinthora's: path, TAB, TAB (no switches), result, CR LF, each
// written with one WriteFile. Runs on one thread; the exit code is 0, or 2 for bad arguments.
#include <windows.h>
#include <ole2.h>
#include <stdlib.h>
#include <string.h>

namespace {

typedef HRESULT(STDAPICALLTYPE* ServerEntry)();

const char RESULT_LOAD_FAILED[] = "コンポーネントのロード失敗";
const char RESULT_NO_ENTRY[] = "DllRegisterServerの取得失敗";
const char RESULT_CALL_FAILED[] = "DllRegisterServer失敗";
const char RESULT_REGISTERED[] = "登録完了";

// The longest line: a path, two TABs, the longest result and CR LF.
const int LINE_CAPACITY = MAX_PATH + 64;

HANDLE logFile = INVALID_HANDLE_VALUE;

const char* registerInSession(const char* path)
{
    const char* result = RESULT_LOAD_FAILED;
    HMODULE module = LoadLibraryA(path);
    if (module != nullptr) {
        ServerEntry server = (ServerEntry)(void*)GetProcAddress(module, "DllRegisterServer");
        if (server == nullptr) result = RESULT_NO_ENTRY;
        else result = FAILED(server()) ? RESULT_CALL_FAILED : RESULT_REGISTERED;
        FreeLibrary(module);
    }
    return result;
}

const char* registerOne(const char* path)
{
    OleInitialize(nullptr);
    const char* result = registerInSession(path);
    OleUninitialize();
    return result;
}

void writeLine(const char* path, const char* result)
{
    if (logFile == INVALID_HANDLE_VALUE) return;
    char line[LINE_CAPACITY];
    int length = wsprintfA(line, "%s\t\t%s\r\n", path, result);
    DWORD written;
    WriteFile(logFile, line, (DWORD)length, &written, nullptr);
}

void registerAndLog(const char* path)
{
    writeLine(path, registerOne(path));
}

// Calls visit with the path of each entry of folder, in the listing's order, and the entry.
template <typename Visit>
void listFolder(const char* folder, Visit visit)
{
    char pattern[MAX_PATH];
    wsprintfA(pattern, "%s\\*", folder);
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA(pattern, &entry);
    if (listing == INVALID_HANDLE_VALUE) return;
    do {
        if (lstrcmpA(entry.cFileName, ".") == 0 || lstrcmpA(entry.cFileName, "..") == 0) continue;
        char path[MAX_PATH];
        wsprintfA(path, "%s\\%s", folder, entry.cFileName);
        visit(path, entry);
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
}

bool hasDllExtension(const char* path)
{
    size_t length = strlen(path);
    return length > 4 && lstrcmpiA(path + length - 4, ".dll") == 0;
}

bool isFolder(const WIN32_FIND_DATAA& entry)
{
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// An empty file is no module: its load can only fail, as the listing already shows.
void registerListedAndLog(const char* path, const WIN32_FIND_DATAA& entry)
{
    if (entry.nFileSizeLow == 0 && entry.nFileSizeHigh == 0) writeLine(path, RESULT_LOAD_FAILED);
    else registerAndLog(path);
}

void registerFolder(const char* folder)
{
    listFolder(folder, [](const char* path, const WIN32_FIND_DATAA& entry) {
        if (!isFolder(entry) && hasDllExtension(path)) registerOne(path);
    });
}

void registerFolderInOneSession(const char* folder)
{
    OleInitialize(nullptr);
    listFolder(folder, [](const char* path, const WIN32_FIND_DATAA& entry) {
        if (!isFolder(entry) && hasDllExtension(path)) registerInSession(path);
    });
    OleUninitialize();
}

void registerTree(const char* folder)
{
    listFolder(folder, [](const char* path, const WIN32_FIND_DATAA& entry) {
        if (isFolder(entry)) registerTree(path);
        else registerAndLog(path);
    });
}

void registerListedTree(const char* folder)
{
    listFolder(folder, [](const char* path, const WIN32_FIND_DATAA& entry) {
        if (isFolder(entry)) registerListedTree(path);
        else registerListedAndLog(path, entry);
    });
}

void registerListedFiles(const char* folder)
{
    listFolder(folder, [](const char* path, const WIN32_FIND_DATAA& entry) {
        if (!isFolder(entry) && hasDllExtension(path)) registerListedAndLog(path, entry);
    });
}

// Each line of the file is one full path; a CR before the line feed is dropped.
void registerListed(const char* listPath)
{
    HANDLE file = CreateFileA(listPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD size = GetFileSize(file, nullptr);
    HANDLE mapping = size != 0 ? CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr) : nullptr;
    CloseHandle(file);
    if (mapping == nullptr) return;
    const char* text = (const char*)MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    CloseHandle(mapping);
    if (text == nullptr) return;
    const char* end = text + size;
    for (const char* line = text; line < end;) {
        const char* lineEnd = (const char*)memchr(line, '\n', (size_t)(end - line));
        if (lineEnd == nullptr) lineEnd = end;
        size_t length = (size_t)(lineEnd - line);
        if (length > 0 && line[length - 1] == '\r') --length;
        if (length > 0 && length < MAX_PATH) {
            char path[MAX_PATH];
            memcpy(path, line, length);
            path[length] = '\0';
            registerAndLog(path);
        }
        line = lineEnd + 1;
    }
    UnmapViewOfFile(text);
}

bool openLog(const char* path)
{
    logFile = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    return logFile != INVALID_HANDLE_VALUE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int argc = __argc;
    char** argv = __argv;
    if (argc == 3 && lstrcmpA(argv[1], "register") == 0) {
        registerFolder(argv[2]);
        return 0;
    }
    if (argc == 3 && lstrcmpA(argv[1], "shared-session") == 0) {
        registerFolderInOneSession(argv[2]);
        return 0;
    }
    if (argc != 4 || !openLog(argv[3])) return 2;
    if (lstrcmpA(argv[1], "list") == 0) registerListed(argv[2]);
    else if (lstrcmpA(argv[1], "tree") == 0) registerTree(argv[2]);
    else if (lstrcmpA(argv[1], "listed-tree") == 0) registerListedTree(argv[2]);
    else if (lstrcmpA(argv[1], "listed-files") == 0) registerListedFiles(argv[2]);
    CloseHandle(logFile);
    return 0;
}
