// Capture with /x: each item's registry writes land in a registry file, never in the registry,
// and the scratch keys that took them are gone afterwards, whatever became of the item.
#include <windows.h>

#include "core/registration/status_texts.h"
#include "tests/batch/batch_run.h"
#include "tests/components/registry_overlay_probe.h"
#include "tests/components/registry_writes.h"

namespace {

const char SAMPLE_CLASS_KEY[] = "CLSID\\{68E2845A-D929-47E3-9A91-B81448E5A0BD}";

std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

bool keyExists(HKEY root, const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool scratchKeysLeft()
{
    return keyExists(HKEY_CURRENT_USER, "Software\\Plinthora");
}

void removeRegistryWrites()
{
    for (const auto& top : REGISTRY_WRITE_TOPS) RegDeleteTreeW(top.root, top.key), RegDeleteKeyW(top.root, top.key);
}

// The key of a row as it stands in the registry now: absent, or its value's type and bytes.
std::string registryState(const RegistryWrite& write)
{
    HKEY key;
    if (RegOpenKeyExW(write.root, write.key, 0, KEY_READ, &key) != ERROR_SUCCESS) return "absent";
    std::string state = "key";
    if (write.name != nullptr) {
        BYTE data[512];
        DWORD type = 0, size = sizeof data;
        if (RegQueryValueExW(key, write.name, nullptr, &type, data, &size) != ERROR_SUCCESS) size = 0;
        state += " type " + std::to_string(type) + " " + std::string((const char*)data, size);
    }
    RegCloseKey(key);
    return state;
}

std::string expectedState(const RegistryWrite& write)
{
    if (write.name == nullptr) return "key";
    return "key type " + std::to_string(write.type) + " " + std::string((const char*)write.data, write.size);
}

// Every key the registry-reading component touches, and what it plants there first.
const struct {
    HKEY root;
    const char* key;
} PROBE_KEYS[] = {
    {HKEY_LOCAL_MACHINE, overlay_probe::WRITTEN_KEY},
    {HKEY_CLASSES_ROOT, overlay_probe::CATEGORY_KEY},
    {HKEY_CLASSES_ROOT, overlay_probe::CLASS_KEY},
    {HKEY_CLASSES_ROOT, "PlinthoraOverlayProbe"},
    {HKEY_CURRENT_USER, overlay_probe::PLANTED_KEY},
};

void removeProbeKeys()
{
    for (const auto& probe : PROBE_KEYS) RegDeleteTreeA(probe.root, probe.key), RegDeleteKeyA(probe.root, probe.key);
}

void plantProbeKeys()
{
    removeProbeKeys();
    using namespace overlay_probe;
    RegSetKeyValueA(HKEY_CURRENT_USER, PLANTED_KEY, PLANTED_VALUE, REG_SZ, "planted", 8);
    RegSetKeyValueA(HKEY_CURRENT_USER, PLANTED_KEY, KEPT_VALUE, REG_SZ, "kept", 5);
    RegSetKeyValueA(HKEY_CURRENT_USER, PLANTED_SUBKEY, "", REG_SZ, "planted", 8);
}

// A key and everything below it, one line a key and one a value with its type and bytes.
std::string keyTree(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
    std::string tree = "[" + path + "]\n";
    char name[256];
    BYTE data[1024];
    for (DWORD index = 0;; index++) {
        DWORD nameLength = sizeof name, type = 0, size = sizeof data;
        if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        tree += std::string(name) + " " + std::to_string(type) + " " + std::string((const char*)data, size) + "\n";
    }
    for (DWORD index = 0;; index++) {
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        tree += keyTree(root, path + "\\" + name);
    }
    RegCloseKey(key);
    return tree;
}

std::string probeKeys()
{
    std::string trees;
    for (const auto& probe : PROBE_KEYS) trees += keyTree(probe.root, probe.key);
    return trees;
}

}  // namespace

TEST_F(BatchRun, CaptureWritesWhatTheSampleServerWouldRegisterToTheFileAndNothingToTheRegistry)
{
    std::string server = placeComponent("comp_sample_server.dll", scratch.file("server.dll"));
    // Scratch keys left by a run that was ended by force (no process has its id) go; those of
    // a run still going (this test's own id stands for one) stay.
    const std::string scratchParent = "Software\\Plinthora\\Capture\\";
    const std::string ended = scratchParent + "4294967292\\HKEY_CLASSES_ROOT\\Left";
    const std::string going = scratchParent + std::to_string(GetCurrentProcessId());
    for (const std::string& key : {ended, going}) RegSetValueA(HKEY_CURRENT_USER, key.c_str(), REG_SZ, "x", 1);
    // The same file twice: by default beside the program, then named; the second run appends.
    run("/s /l:run.log /x /i:abc .\\server.dll");
    run("/s /x:app\\capture.reg .\\server.dll");

    std::string block = "; " + server + " : " + STATUS_REGISTERED + "\r\n\r\n[HKEY_CLASSES_ROOT\\" + SAMPLE_CLASS_KEY +
                        "]\r\n@=\"Plinthora Sample Object (test build)\"\r\n\r\n[HKEY_CLASSES_ROOT\\" + SAMPLE_CLASS_KEY +
                        "\\InprocServer32]\r\n@=\"" + escaped(server) + "\"\r\n\"ThreadingModel\"=\"Apartment\"\r\n\r\n";
    EXPECT_EQ("\xFF\xFE" + utf16("Windows Registry Editor Version 5.00\r\n\r\n" + block + block),
              readFileBytes(besideProgram("capture.reg")));
    EXPECT_EQ(itemLine(server, "/i:abc", STATUS_REGISTERED), readFileBytes(scratch.file("run.log")));
    EXPECT_EQ((std::vector<std::string>{registered("server.dll"), installed("server.dll", 1, "abc"),
                                        registered("server.dll")}),
              calls.lines());
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, SAMPLE_CLASS_KEY));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, (scratchParent + "4294967292").c_str()));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, going.c_str()));
    RegDeleteKeyA(HKEY_CURRENT_USER, going.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, scratchParent.substr(0, scratchParent.size() - 1).c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Plinthora");
    EXPECT_FALSE(scratchKeysLeft());
}

// Every root, every value type and text that needs escaping survive the round trip through the
// registry editor; a component that crashes once it has written leaves nothing behind either.
TEST_F(BatchRun, ACapturedFileImportedWithTheRegistryEditorGivesBackWhatTheComponentWrote)
{
    removeRegistryWrites();
    std::string crash = placeComponent("comp_registry_writer_crash.dll", scratch.file("crash.dll"));
    std::string writer = placeComponent("comp_registry_writer.dll", scratch.file("writer.dll"));
    writeFileBytes(scratch.file("list.txt"), crash + "\r\n" + writer + "\r\n");

    run("/s /l:run.log /x:out.reg /f:list.txt");

    EXPECT_EQ(itemLine(crash, "", STATUS_REGISTER_FAILED) + itemLine(writer, "", STATUS_REGISTERED),
              readFileBytes(scratch.file("run.log")));
    for (const RegistryWrite& write : REGISTRY_WRITES) EXPECT_EQ("absent", registryState(write));
    EXPECT_FALSE(scratchKeysLeft());
    std::string file = readFileBytes(scratch.file("out.reg"));
    EXPECT_NE(std::string::npos, file.find(utf16("; " + crash + " : " + STATUS_REGISTER_FAILED + "\r\n")));

    RunSettings settings;
    ProcessRun imported = runProcess(systemDirectory() + "\\..\\regedit.exe",
                                     "regedit.exe /s \"" + scratch.file("out.reg") + "\"", settings);
    EXPECT_TRUE(imported.finished);
    for (const RegistryWrite& write : REGISTRY_WRITES) EXPECT_EQ(expectedState(write), registryState(write));
    removeRegistryWrites();
}

TEST_F(BatchRun, CaptureRefusesUnregisteringAndAFileItWouldSpoilPerformingNothing)
{
    placeComponent("comp_ok.dll", scratch.file("ok.dll"));
    ProcessRun refused = run("/x /u /l:run.log ok.dll ok.dll");
    ASSERT_EQ(1u, refused.boxes.size());
    EXPECT_EQ("/x と /u は同時に指定できません", refused.boxes[0].text);
    EXPECT_EQ(errorLine("/x と /u は同時に指定できません"), readFileBytes(scratch.file("run.log")));

    writeFileBytes(scratch.file("notes.reg"), "REGEDIT4\r\n");
    run("/s /l:run.log /x:notes.reg ok.dll");
    EXPECT_EQ(errorLine("notes.reg は UTF-16 の登録ファイルではないため追記できません"),
              readFileBytes(scratch.file("run.log")));
    EXPECT_EQ("REGEDIT4\r\n", readFileBytes(scratch.file("notes.reg")));
    EXPECT_TRUE(calls.lines().empty());
    EXPECT_FALSE(fileExists(besideProgram("capture.reg")));
}

// A component that reads while it registers finds the real registry with its own writes and
// deletions laid over it, through the registry functions and through the system's category
// manager; the file, imported, makes what registering it for real makes.
TEST_F(BatchRun, ACapturedComponentReadsTheRealRegistryAndItsDeletionsAreCaptured)
{
    using namespace overlay_probe;
    plantProbeKeys();
    const std::string planted = probeKeys();
    std::string probe = placeComponent("comp_registry_overlay_probe.dll", scratch.file("probe.dll"));

    run("/s /l:run.log /x:out.reg .\\probe.dll");

    EXPECT_EQ(itemLine(probe, "", STATUS_REGISTERED), readFileBytes(scratch.file("run.log")));
    EXPECT_EQ(planted, probeKeys());
    EXPECT_FALSE(scratchKeysLeft());
    char programFiles[MAX_PATH] = {};
    DWORD size = sizeof programFiles;
    RegGetValueA(HKEY_LOCAL_MACHINE, READ_KEY, READ_VALUE, RRF_RT_REG_SZ, nullptr, programFiles, &size);
    std::string file = readFileBytes(scratch.file("out.reg"));
    for (const std::string& block :
         {"[HKEY_CLASSES_ROOT\\" + std::string(CATEGORY_KEY) + "]\r\n\"409\"=\"Plinthora overlay probe\"\r\n\r\n",
          "[HKEY_CLASSES_ROOT\\" + std::string(CLASS_KEY) + "\\Implemented Categories\\" + strchr(CATEGORY_KEY, '{') +
              "]\r\n\r\n",
          "[HKEY_LOCAL_MACHINE\\" + std::string(WRITTEN_KEY) + "]\r\n\"" + WRITTEN_VALUE + "\"=\"" +
              escaped(programFiles + std::string(SUFFIX)) + "\"\r\n\r\n",
          "[-HKEY_CURRENT_USER\\" + std::string(PLANTED_SUBKEY) + "]\r\n\r\n",
          "[HKEY_CURRENT_USER\\" + std::string(PLANTED_KEY) + "]\r\n\"" + PLANTED_VALUE + "\"=-\r\n\r\n"}) {
        EXPECT_NE(std::string::npos, file.find(utf16(block))) << "the capture lacks " << block;
    }
    EXPECT_EQ(std::string::npos, file.find(utf16("HKEY_CLASSES_ROOT\\PlinthoraOverlayProbe")))
        << "a key made and deleted again is captured";

    RunSettings settings;
    runProcess(systemDirectory() + "\\..\\regedit.exe", "regedit.exe /s \"" + scratch.file("out.reg") + "\"", settings);
    const std::string imported = probeKeys();
    plantProbeKeys();
    run("/s .\\probe.dll");
    EXPECT_EQ(probeKeys(), imported);
    removeProbeKeys();
}
