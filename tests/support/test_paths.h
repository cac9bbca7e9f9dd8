// Where the tests find the built program and components, and scratch folders of their own.
#pragma once

#include <string>
#include <vector>

// The folder this program runs from, and the build folder above it.
std::string executableDirectory();
std::string buildDirectory();
std::string plinthoraExePath();
std::string componentPath(const char* fileName);
std::string systemDirectory();
std::string currentDirectory();
// True where 32-bit code runs emulated (tools/x86-emulated.sh), about four times slower: the
// few tests whose size is a matter of load, not of what they check, do less there.
bool underEmulation();

bool writeFileBytes(const std::string& path, const std::string& bytes);
std::string readFileBytes(const std::string& path);
bool fileExists(const std::string& path);

// A fresh, empty folder for one test, removed with everything in it afterwards.
class ScratchDirectory {
public:
    explicit ScratchDirectory(const char* name);
    ~ScratchDirectory();
    const std::string& path() const { return path_; }
    std::string file(const std::string& relative) const { return path_ + "\\" + relative; }
    std::string makeFolder(const std::string& relative) const;

private:
    std::string path_;
};

void removeTree(const std::string& path);

// Components record their calls in the file PLINTHORA_CALL_LOG names; this points it at a
// fresh file for the life of the object.
class CallRecord {
public:
    explicit CallRecord(const ScratchDirectory& scratch);
    ~CallRecord();
    std::vector<std::string> lines() const;
    void clear() const;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};
