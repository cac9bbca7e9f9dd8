#include "tests/support/test_paths.h"

#include <windows.h>
#include <shlwapi.h>

namespace {

std::string directoryOf(std::string path)
{
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

std::string executableDirectory()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return directoryOf(path);
}

std::string buildDirectory()
{
    return directoryOf(executableDirectory());
}

std::string plinthoraExePath()
{
    return buildDirectory() + "\\plinthora.exe";
}

std::string componentPath(const char* fileName)
{
    return buildDirectory() + "\\components\\" + fileName;
}

std::string systemDirectory()
{
    char path[MAX_PATH];
    GetSystemDirectoryA(path, MAX_PATH);
    return path;
}

std::string currentDirectory()
{
    char path[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, path);
    return path;
}

bool writeFileBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string readFileBytes(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, &bytes[0], (DWORD)bytes.size(), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

bool fileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void removeTree(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(child);
            else DeleteFileA(child.c_str());
        } while (FindNextFileA(listing, &entry));
        FindClose(listing);
    }
    RemoveDirectoryA(path.c_str());
}

ScratchDirectory::ScratchDirectory(const char* name)
{
    std::string root = buildDirectory() + "\\scratch";
    CreateDirectoryA(root.c_str(), nullptr);
    path_ = root + "\\" + name;
    removeTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchDirectory::~ScratchDirectory()
{
    removeTree(path_);
}

std::string ScratchDirectory::makeFolder(const std::string& relative) const
{
    std::string folder = file(relative);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

CallRecord::CallRecord(const ScratchDirectory& scratch) : path_(scratch.file("calls.txt"))
{
    clear();
    SetEnvironmentVariableA("PLINTHORA_CALL_LOG", path_.c_str());
}

CallRecord::~CallRecord()
{
    SetEnvironmentVariableA("PLINTHORA_CALL_LOG", nullptr);
}

void CallRecord::clear() const
{
    DeleteFileA(path_.c_str());
}

std::vector<std::string> CallRecord::lines() const
{
    std::vector<std::string> result;
    std::string bytes = readFileBytes(path_);
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        result.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return result;
}

bool underEmulation()
{
    char value[8];
    return GetEnvironmentVariableA("PLINTHORA_X86_EMULATED", value, sizeof value) != 0;
}
