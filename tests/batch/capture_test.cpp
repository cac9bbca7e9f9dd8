// Capture with /x: each item's registry writes land in a registry file, never in the registry,
// and the scratch keys that took them are gone afterwards, whatever became of the item.
#include <windows.h>

#include <algorithm>
#include <set>

#include "core/registration/status_texts.h"
#include "tests/batch/batch_run.h"
#include "tests/components/registry_overlay_probe.h"
#include "tests/components/registry_writes.h"
#include "tests/support/xml_schema.h"

namespace {


std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
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

std::vector<std::string> registryStates()
{
    std::vector<std::string> states;
    for (const RegistryWrite& write : REGISTRY_WRITES) states.push_back(registryState(write));
    return states;
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
    {HKEY_CLASSES_ROOT, overlay_probe::LISTED_KEY},
};

void removeProbeKeys()
{
    for (const auto& probe : PROBE_KEYS) {
        removeKey(probe.root, probe.key);
        // Registered with /c, the classes are the user's.
        if (probe.root == HKEY_CLASSES_ROOT) removeKey(HKEY_CURRENT_USER, USER_CLASSES + probe.key);
    }
}

// What registering the component deletes: planted again, a registered component's capture
// starts where the first one did.
void plantWhatTheProbeDeletes()
{
    using namespace overlay_probe;
    RegSetKeyValueA(HKEY_CURRENT_USER, PLANTED_KEY, PLANTED_VALUE, REG_SZ, "planted", 8);
    RegSetKeyValueA(HKEY_CURRENT_USER, PLANTED_KEY, KEPT_VALUE, REG_SZ, "kept", 5);
    RegSetKeyValueA(HKEY_CURRENT_USER, PLANTED_SUBKEY, "", REG_SZ, "planted", 8);
    RegSetKeyValueA(HKEY_CLASSES_ROOT, SHARED_KEY, PLANTED_VALUE, REG_SZ, "planted", 8);
}

void plantProbeKeys()
{
    removeProbeKeys();
    plantWhatTheProbeDeletes();
    RegSetKeyValueA(HKEY_CLASSES_ROOT, overlay_probe::REAL_ONLY_KEY, "", REG_SZ, "planted", 8);
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
    // The same file twice: by default beside the program, then named; the second run appends,
    // with one worker capturing two items in a row.
    run("/s /l:run.log /x /i:abc .\\server.dll");
    run("/s /x:app\\capture.reg .\\server.dll .\\server.dll");
    // With /c the classes captured are those of the user.
    run("/s /c /x:user.reg .\\server.dll");
    run("/s /c /x:user.wxs .\\server.dll");
    run("/s /c /x:user.iss .\\server.dll");

    std::string block = "; " + server + " : " + STATUS_REGISTERED + "\r\n\r\n[HKEY_CLASSES_ROOT\\" + SAMPLE_CLASS_KEY +
                        "]\r\n@=\"Plinthora Sample Object (test build)\"\r\n\r\n[HKEY_CLASSES_ROOT\\" + SAMPLE_CLASS_KEY +
                        "\\InprocServer32]\r\n@=\"" + escaped(server) + "\"\r\n\"ThreadingModel\"=\"Apartment\"\r\n\r\n";
    EXPECT_EQ("\xFF\xFE" + utf16("Windows Registry Editor Version 5.00\r\n\r\n" + block + block + block),
              readFileBytes(besideProgram("capture.reg")));
    EXPECT_EQ(itemLine(server, "/i:abc", STATUS_REGISTERED), readFileBytes(scratch.file("run.log")));
    EXPECT_EQ((std::vector<std::string>{registered("server.dll"), installed("server.dll", 1, "abc"),
                                        registered("server.dll"), registered("server.dll"), registered("server.dll"),
                                        registered("server.dll"), registered("server.dll")}),
              calls.lines());
    EXPECT_NE(std::string::npos, readFileBytes(scratch.file("user.reg"))
                                     .find(utf16(std::string("\r\n[HKEY_CURRENT_USER\\Software\\Classes\\") + SAMPLE_CLASS_KEY + "]\r\n")));
    EXPECT_NE(std::string::npos, readFileBytes(scratch.file("user.wxs"))
                                     .find(std::string("<RegistryKey Root=\"HKCU\" Key=\"Software\\Classes\\") + SAMPLE_CLASS_KEY + "\">"));
    EXPECT_NE(std::string::npos, readFileBytes(scratch.file("user.iss"))
                                     .find(std::string("Root: HKCU") + (sizeof(void*) == 8 ? "64" : "32") +
                                           "; Subkey: \"Software\\Classes\\CLSID\\{{68E2845A-D929-47E3-9A91-B81448E5A0BD}\"; "
                                           "ValueType: string"));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, SAMPLE_CLASS_KEY));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, USER_CLASSES + SAMPLE_CLASS_KEY));
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
    RegSetKeyValueW(HKEY_CLASSES_ROOT, WRITER_CLASS_KEY, L"Old", REG_SZ, L"old", sizeof L"old");
    std::string crash = placeComponent("comp_registry_writer_crash.dll", scratch.file("crash.dll"));
    std::string writer = placeComponent("comp_registry_writer.dll", scratch.file("writer.dll"));
    writeFileBytes(scratch.file("list.txt"), crash + "\r\n" + writer + "\r\n");

    const std::vector<std::string> before = registryStates();
    run("/s /l:run.log /x:out.reg /f:list.txt");

    EXPECT_EQ(itemLine(crash, "", STATUS_REGISTER_FAILED) + itemLine(writer, "", STATUS_REGISTERED),
              readFileBytes(scratch.file("run.log")));
    EXPECT_EQ(before, registryStates());
    EXPECT_FALSE(scratchKeysLeft());
    std::string file = readFileBytes(scratch.file("out.reg"));
    EXPECT_NE(std::string::npos, file.find(utf16("; " + crash + " : " + STATUS_REGISTER_FAILED + "\r\n")));

    EXPECT_TRUE(importedWithRegistryEditor(scratch.file("out.reg")));
    for (const RegistryWrite& write : REGISTRY_WRITES) EXPECT_EQ(expectedState(write), registryState(write));
    EXPECT_NE(ERROR_SUCCESS, RegGetValueW(HKEY_CLASSES_ROOT, WRITER_CLASS_KEY, L"Old", RRF_RT_ANY, nullptr, nullptr, nullptr))
        << "the key the component deleted and wrote again keeps what it held before";
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
    // A file saved empty as Unicode holds only its byte-order mark: it gets the header.
    writeFileBytes(scratch.file("empty.reg"), "\xFF\xFE");
    run("/s /x:empty.reg ok.dll");
    EXPECT_EQ("\xFF\xFE" + utf16(std::string("Windows Registry Editor Version 5.00\r\n\r\n; ok.dll : ") + STATUS_REGISTERED +
                                 "\r\n\r\n"),
              readFileBytes(scratch.file("empty.reg")));
    EXPECT_EQ(std::vector<std::string>{registered("ok.dll")}, calls.lines());
    EXPECT_FALSE(fileExists(besideProgram("capture.reg")));
}

namespace {

#ifdef _WIN64
#define BITS L"64"
#define WIX_BITNESS L"always64"
#else
#define BITS L"32"
#define WIX_BITNESS L"always32"
#endif

size_t occurrences(const std::wstring& text, const std::wstring& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) count++;
    return count;
}

// XML forbids "--" inside a comment.
std::wstring commentText(std::wstring text)
{
    for (size_t at = text.find(L"--"); at != std::wstring::npos; at = text.find(L"--", at)) text.insert(at + 1, L" ");
    return text;
}

// The line that holds part, or npos.
size_t lineOf(const std::wstring& text, const std::wstring& part)
{
    size_t at = text.find(part);
    return at == std::wstring::npos ? at : std::count(text.begin(), text.begin() + at, L'\n');
}

struct InstallerLine {
    std::wstring wix;
    std::wstring inno;
};

// What the WiX source and the Inno Setup script hold of the registry writer's writes, each
// giving back its bytes: the component at writer, after the crashing one at crash.
std::vector<InstallerLine> installerLines(const std::string& crash, const std::string& writer)
{
    const std::wstring flags = L"; Flags: uninsdeletevalue uninsdeletekeyifempty";
    const std::wstring hkcr = L"Root: HKCR" BITS L"; Subkey: \"PlinthoraCaptureTest";
    const std::wstring hklm = L"Root: HKLM" BITS L"; Subkey: \"Software\\PlinthoraCaptureTest\"; ValueType: ";
    const std::wstring hkcu = L"Root: HKCU" BITS L"; Subkey: \"Software\\PlinthoraCaptureTest\"; ValueType: ";
    std::wstring wixHex, innoHex;
    for (size_t i = 0; i + 1 < sizeof registry_writes::BINARY; i++) {
        wchar_t pair[4];
        wsprintfW(pair, L"%02x", (BYTE)registry_writes::BINARY[i]);
        wixHex += pair;
        innoHex += (i > 0 ? L" " : L"") + std::wstring(pair);
    }
    return {
        {L"<!-- " + commentText(wide(crash)) + L" : DllRegisterServer失敗 -->", L"; " + wide(crash) + L" : DllRegisterServer失敗"},
        {L"<Component Id=\"PlinthoraComponent2_writer.dll\" Bitness=\"" WIX_BITNESS L"\">\r\n"
         L"        <File Id=\"PlinthoraFile2_writer.dll\" Source=\"" + wide(writer) + L"\" KeyPath=\"yes\" />",
         L"; " + wide(writer) + L" : 登録完了"},
        {L"<RegistryKey Root=\"HKCR\" Key=\"PlinthoraCaptureTest\">\r\n"
         L"          <RegistryValue Type=\"string\" Value=\"a &quot;quoted&quot; C:\\path\\ and 日本語\" />",
         hkcr + L"\"; ValueType: string; ValueName: \"\"; ValueData: \"a \"\"quoted\"\" C:\\path\\ and 日本語\"" + flags},
        {L"<RegistryKey Root=\"HKCR\" Key=\"PlinthoraCaptureTest\\空のキー\" ForceCreateOnInstall=\"yes\" />",
         hkcr + L"\\空のキー\"; Flags: uninsdeletekeyifempty"},
        {L"<RegistryKey Root=\"HKCR\" Key=\"PlinthoraCaptureTest\\InprocServer32\">\r\n"
         L"          <RegistryValue Type=\"string\" Value=\"[#PlinthoraFile2_writer.dll]\" />",
         hkcr + L"\\InprocServer32\"; ValueType: string; ValueName: \"\"; ValueData: \"{app}\\writer.dll\"" + flags},
        {L"<RegistryValue Name=\"Expandable\" Type=\"expandable\" Value=\"%SystemRoot%\\system32\\部品.dll\" />",
         hklm + L"expandsz; ValueName: \"Expandable\"; ValueData: \"%SystemRoot%\\system32\\部品.dll\"" + flags},
        {L"<RegistryValue Name=\"Multi &quot;名前&quot; a\\b\" Type=\"multiString\">\r\n"
         L"            <MultiStringValue Value=\"one\" />\r\n            <MultiStringValue Value=\"二つ目\" />\r\n"
         L"            <MultiStringValue Value=\"\\three&quot;\" />\r\n          </RegistryValue>",
         hklm + L"multisz; ValueName: \"Multi \"\"名前\"\" a\\b\"; ValueData: \"one{break}二つ目{break}\\three\"\"\"" + flags},
        {L"<RegistryValue Name=\"Multi with empty\" Type=\"multiString\">\r\n"
         L"            <MultiStringValue Value=\"one\" />\r\n            <MultiStringValue />\r\n"
         L"            <MultiStringValue Value=\"three\" />\r\n          </RegistryValue>",
         hklm + L"multisz; ValueName: \"Multi with empty\"; ValueData: \"one{break}{break}three\"" + flags},
        {L"<RegistryKey Root=\"HKCR\" Key=\"PlinthoraCaptureTest\\DefaultIcon\">\r\n"
         L"          <RegistryValue Type=\"string\" Value=\"[#PlinthoraFile2_writer.dll],1\" />",
         hkcr + L"\\DefaultIcon\"; ValueType: string; ValueName: \"\"; ValueData: \"{app}\\writer.dll,1\"" + flags},
        {L"<RegistryValue Type=\"string\" Value=\"&quot;[#PlinthoraFile2_writer.dll]&quot; /automation\" />",
         hkcr + L"\\LocalServer32\"; ValueType: string; ValueName: \"\"; ValueData: \"\"\"{app}\\writer.dll\"\" /automation\"" +
             flags},
        {L"<RegistryValue Name=\"Variables\" Type=\"string\" "
         L"Value=\"$$(var.Version) $$$$ $$5 !!(loc.Name) !!!(wix.Same) !(not.variable\" />",
         hkcu + L"string; ValueName: \"Variables\"; ValueData: \"$(var.Version) $$ $5 !(loc.Name) !!(wix.Same) !(not.variable\"" +
             flags},
        {L"<RegistryValue Name=\"Number\" Type=\"integer\" Value=\"1223629\" />",
         hkcu + L"dword; ValueName: \"Number\"; ValueData: \"$0012abcd\"" + flags},
        {L"<RegistryValue Name=\"Binary\" Type=\"binary\" Value=\"" + wixHex + L"\" />",
         hkcu + L"binary; ValueName: \"Binary\"; ValueData: \"" + innoHex + L"\"" + flags},
        {L"<RegistryValue Name=\"Formatted\" Type=\"string\" "
         L"Value=\"#[\\[]Property[\\]] [\\{]braces[\\}] [\\[]~[\\]] [\\[]#file[\\]] [\\{][\\{]x[\\}][\\}]\" />",
         hkcu + L"string; ValueName: \"Formatted\"; ValueData: \"#[Property] {{braces} [~] [#file] {{{{x}}\"" + flags},
        {L"<!-- 値 \"Big\" (種類 11) は WiX で表せないため省略 -->",
         hkcu + L"qword; ValueName: \"Big\"; ValueData: \"$0123456789abcdef\"" + flags},
        {L"<RegistryKey Root=\"HKLM\" Key=\"SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\"
         L"PlinthoraCaptureTest\">\r\n          <RegistryValue Name=\"Profile\" Type=\"string\" Value=\"current\" />",
         L"Root: HKCC" BITS L"; Subkey: \"Software\\PlinthoraCaptureTest\"; ValueType: string; ValueName: \"Profile\"; "
         L"ValueData: \"current\"" + flags},
        {L"<RegistryValue Name=\"Two lines\" Type=\"string\" Value=\"first&#13;&#10;second\" />",
         L"; 値 \"Two lines\" (種類 1) は Inno Setup で表せないため省略"},
    };
}

void expectValidWixSource(const std::string& path)
{
    if (underEmulation()) return;  // the emulated 32-bit Wine's root has no xmllint
    std::string verdict = xmlSchemaVerdict(path, PLINTHORA_WIX_SCHEMA);
    EXPECT_NE(std::string::npos, verdict.find(" validates\nexit 0\n")) << verdict;
}

}  // namespace

// The format follows the file name: the same capture as WiX source and as an Inno Setup
// script, each replacing what the file held, with every value in its type and text that
// installs byte for byte as captured; the component that crashed is only named.
TEST_F(BatchRun, CaptureToWixSourceAndInnoSetupScriptGivesEveryWriteOfTheComponentThatSucceeded)
{
    removeRegistryWrites();
    // The class key the component deletes before writing it again.
    RegSetKeyValueW(HKEY_CLASSES_ROOT, WRITER_CLASS_KEY, L"Old", REG_SZ, L"old", sizeof L"old");
    std::string crash = placeComponent("comp_registry_writer_crash.dll", scratch.makeFolder("build--x64") + "\\crash.dll");
    std::string writer = placeComponent("comp_registry_writer.dll", scratch.file("writer.dll"));
    writeFileBytes(scratch.file("list.txt"), crash + "\r\n" + writer + "\r\n");
    // The format is that of the last extension.
    for (const char* name : {"out.v2.wxs", "app.x64.iss"}) writeFileBytes(scratch.file(name), std::string(100000, 'x'));

    const std::vector<std::string> before = registryStates();
    run("/s /l:run.log /x:out.v2.wxs /f:list.txt");
    run("/s /x:app.x64.iss /f:list.txt");

    EXPECT_EQ(itemLine(crash, "", STATUS_REGISTER_FAILED) + itemLine(writer, "", STATUS_REGISTERED),
              readFileBytes(scratch.file("run.log")));
    EXPECT_EQ(before, registryStates());
    EXPECT_FALSE(scratchKeysLeft());
    std::string wixBytes = readFileBytes(scratch.file("out.v2.wxs"));
    std::string innoBytes = readFileBytes(scratch.file("app.x64.iss"));
    std::wstring wix = wide(wixBytes, CP_UTF8);
    std::wstring inno = wide(innoBytes, CP_UTF8);
    EXPECT_EQ(0u, wixBytes.find("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Wix xmlns=\"http://wixtoolset.org/schemas/v4/wxs\">"));
    EXPECT_EQ(wixBytes.size() - 8, wixBytes.rfind("</Wix>\r\n"));
    EXPECT_EQ(0u, innoBytes.find("\xEF\xBB\xBF[Registry]\r\n"));
    EXPECT_EQ(std::string::npos, innoBytes.find("xxx"));
    for (const InstallerLine& line : installerLines(crash, writer)) {
        EXPECT_NE(std::wstring::npos, wix.find(line.wix)) << ansi(line.wix);
        EXPECT_NE(std::wstring::npos, inno.find(line.inno + L"\r\n")) << ansi(line.inno);
    }
    EXPECT_EQ(1u, occurrences(wix, L"PlinthoraCaptureTest\\空のキー"));
    EXPECT_EQ(1u, occurrences(inno, L"PlinthoraCaptureTest\\空のキー"));
    // The deleted key is deleted before it is written again.
    EXPECT_LT(lineOf(wix, L"<RemoveRegistryKey Root=\"HKCR\" Key=\"PlinthoraCaptureTest\" Action=\"removeOnInstall\" />"),
              lineOf(wix, L"<RegistryKey Root=\"HKCR\" Key=\"PlinthoraCaptureTest\">"));
    EXPECT_LT(lineOf(inno, L"Root: HKCR" BITS L"; Subkey: \"PlinthoraCaptureTest\"; Flags: deletekey"),
              lineOf(inno, L"Root: HKCR" BITS L"; Subkey: \"PlinthoraCaptureTest\"; ValueType:"));
    expectValidWixSource(scratch.file("out.v2.wxs"));
    removeRegistryWrites();
}

// Identifiers come from file names, which may repeat in other folders and hold anything.
TEST_F(BatchRun, WixIdentifiersAreValidAndUniqueWhateverTheComponentsAreNamed)
{
    std::vector<std::string> components = {scratch.makeFolder("a") + "\\x.dll", scratch.makeFolder("b") + "\\x.dll",
                                           scratch.file("部品 (1)-v2&.dll"), scratch.file(std::string(90, 'L') + ".dll")};
    std::string arguments = "/s /x:ids.wxs";
    for (const std::string& component : components) arguments += " \"" + placeComponent("comp_ok.dll", component) + "\"";
    run(arguments);

    std::string file = readFileBytes(scratch.file("ids.wxs"));
    std::set<std::string> identifiers;
    for (size_t at = file.find(" Id=\""); at != std::string::npos; at = file.find(" Id=\"", at + 1)) {
        std::string identifier = file.substr(at + 5, file.find('"', at + 5) - at - 5);
        EXPECT_TRUE(identifiers.insert(identifier).second) << identifier;
        EXPECT_GE(72u, identifier.size()) << identifier;
        EXPECT_EQ(std::string::npos, identifier.find_first_not_of(
                                         "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_.")) << identifier;
        EXPECT_TRUE(isalpha((unsigned char)identifier[0]) || identifier[0] == '_') << identifier;
    }
    EXPECT_EQ(1 + 2 * components.size(), identifiers.size());
    expectValidWixSource(scratch.file("ids.wxs"));
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
          "[HKEY_CURRENT_USER\\" + std::string(PLANTED_KEY) + "]\r\n\"" + PLANTED_VALUE + "\"=-\r\n\r\n",
          "[HKEY_CLASSES_ROOT\\" + std::string(CLASS_KEY) + "\\Control]\r\n\r\n",
          "[HKEY_CLASSES_ROOT\\" + std::string(SHARED_KEY) + "]\r\n\"" + PLANTED_VALUE + "\"=-\r\n\r\n",
          "[HKEY_CLASSES_ROOT\\" + std::string(ADDED_KEY) + "]\r\n\r\n"}) {
        EXPECT_NE(std::string::npos, file.find(utf16(block))) << "the capture lacks " << block;
    }
    for (const std::string& left : {std::string("HKEY_CLASSES_ROOT\\PlinthoraOverlayProbe]"), std::string("HKEY_CLASSES_ROOT\\PlinthoraOverlayProbe\\"),
                                     "[-HKEY_CLASSES_ROOT\\" + std::string(LISTED_KEY), std::string(READ_KEY) + "]"}) {
        EXPECT_EQ(std::string::npos, file.find(utf16(left)))
            << left << " is captured: it was made and deleted again, refused deletion, or only opened";
    }

    // As installer source the deletions are made on installation.
    run("/s /x:out.wxs .\\probe.dll");
    run("/s /x:out.iss .\\probe.dll");
    expectValidWixSource(scratch.file("out.wxs"));
    const std::string wix = readFileBytes(scratch.file("out.wxs"));
    const std::string inno = readFileBytes(scratch.file("out.iss"));
    const std::string innoRoot = std::string("Root: HKCU") + (sizeof(void*) == 8 ? "64" : "32") + "; Subkey: \"";
    for (const std::string& line :
         {"<RemoveRegistryKey Root=\"HKCU\" Key=\"" + std::string(PLANTED_SUBKEY) + "\" Action=\"removeOnInstall\" />",
          "<RemoveRegistryValue Root=\"HKCU\" Key=\"" + std::string(PLANTED_KEY) + "\" Name=\"" + PLANTED_VALUE + "\" />"}) {
        EXPECT_NE(std::string::npos, wix.find(line)) << line;
    }
    for (const std::string& line : {innoRoot + PLANTED_SUBKEY + "\"; Flags: deletekey\r\n",
                                     innoRoot + PLANTED_KEY + "\"; ValueType: none; ValueName: \"" + PLANTED_VALUE +
                                         "\"; Flags: deletevalue\r\n"}) {
        EXPECT_NE(std::string::npos, inno.find(line)) << line;
    }

    EXPECT_TRUE(importedWithRegistryEditor(scratch.file("out.reg")));
    const std::string imported = probeKeys();
    plantProbeKeys();
    run("/s .\\probe.dll");
    EXPECT_EQ(probeKeys(), imported);

    // Captured again where it is registered, it gives the same files: the keys it creates
    // without values are captured whether or not they were there.
    plantWhatTheProbeDeletes();
    for (const std::string format : {".reg", ".wxs", ".iss"}) {
        run("/s /x:again" + format + " .\\probe.dll");
        EXPECT_EQ(readFileBytes(scratch.file("out" + format)), readFileBytes(scratch.file("again" + format))) << format;
    }
    removeProbeKeys();
}

// With /c the component's classes go to the user's, while what it writes and deletes outside
// them reaches the registry as usual; the next item of the same worker, without /c, registers
// in the machine's classes again.
TEST_F(BatchRun, WithCTheProbeWritesOutsideTheClassesAsUsualAndTheNextItemRegistersForTheMachine)
{
    using namespace overlay_probe;
    plantProbeKeys();
    // A value of the machine's classes cannot be deleted for the user alone: the user's hold it.
    RegDeleteKeyValueA(HKEY_CLASSES_ROOT, SHARED_KEY, PLANTED_VALUE);
    RegSetKeyValueA(HKEY_CURRENT_USER, (USER_CLASSES + SHARED_KEY).c_str(), PLANTED_VALUE, REG_SZ, "planted", 8);
    std::string probe = placeComponent("comp_registry_overlay_probe.dll", scratch.file("probe.dll"));
    std::string server = placeComponent("comp_sample_server.dll", scratch.file("server.dll"));
    writeFileBytes(scratch.file("list.txt"), "/c .\\probe.dll\r\n.\\server.dll\r\n");

    run("/s /l:run.log /f:list.txt");

    EXPECT_EQ(itemLine(probe, "/c ", STATUS_REGISTERED) + itemLine(server, "", STATUS_REGISTERED),
              readFileBytes(scratch.file("run.log")));
    char written[MAX_PATH + sizeof SUFFIX] = {};
    DWORD size = sizeof written;
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_LOCAL_MACHINE, WRITTEN_KEY, WRITTEN_VALUE, RRF_RT_REG_SZ, nullptr, written, &size));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, PLANTED_SUBKEY));
    for (const std::string& key : {std::string(CLASS_KEY) + "\\Control", std::string(CATEGORY_KEY), std::string(ADDED_KEY)}) {
        EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, USER_CLASSES + key)) << key;
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, key)) << key;
    }
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, SAMPLE_CLASS_KEY));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, USER_CLASSES + SAMPLE_CLASS_KEY));
    removeProbeKeys();
    removeKey(HKEY_CLASSES_ROOT, SAMPLE_CLASS_KEY);
}
