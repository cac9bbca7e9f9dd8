// Capture to a side-by-side manifest: what the components registered, as an assembly a client
// creates every class through without their registration, and the components it cannot hold,
// each with its failure line.
#include <windows.h>
#include <objbase.h>

#include "core/registration/status_texts.h"
#include "tests/batch/batch_run.h"
#include "tests/components/manifest_classes.h"
#include "tests/support/xml_schema.h"

namespace {

const std::string SAMPLE_CLASS_ID = "{68E2845A-D929-47E3-9A91-B81448E5A0BD}";
const std::string TEST_LIBRARY_ID = manifest_classes::LIBRARY_ID;
const char OUTSIDE_FOLDER[] = "マニフェストのフォルダーかその下にないため、アセンブリに含められません";

std::string head(const std::string& name, const char* architecture)
{
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n") +
           "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
           "  <assemblyIdentity type=\"win32\" name=\"" + name + "\" version=\"1.0.0.0\" processorArchitecture=\"" +
           architecture + "\" />\r\n";
}

const char* ownArchitecture()
{
    return sizeof(void*) == 8 ? "amd64" : "x86";
}

std::string failureLine(const std::string& path, const std::string& status, const std::string& detail)
{
    return path + "\t\t" + status + "\t" + detail + "\r\n";
}

// The manifest's UTF-8 in the code page of the test's own texts.
std::string manifestText(const std::string& path)
{
    return ansi(wide(readFileBytes(path), CP_UTF8));
}

// What a client process with the manifest gets for the class, as it creates it.
HRESULT createdThroughManifest(const std::string& manifest, const std::string& classId)
{
    ACTCTXA context = {};
    context.cbSize = sizeof context;
    context.lpSource = manifest.c_str();
    HANDLE activation = CreateActCtxA(&context);
    if (activation == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
    ULONG_PTR cookie = 0;
    ActivateActCtx(activation, &cookie);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    WCHAR text[64];
    MultiByteToWideChar(CP_ACP, 0, classId.c_str(), -1, text, 64);
    CLSID identity = {};
    IIDFromString(text, &identity);
    IUnknown* object = nullptr;
    HRESULT result = CoCreateInstance(identity, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void**)&object);
    if (object != nullptr) object->Release();
    CoUninitialize();
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(activation);
    return result;
}

void expectValidManifest(const std::string& path)
{
    if (underEmulation()) return;  // the emulated 32-bit Wine's root has no xmllint
    std::string verdict = xmlSchemaVerdict(path, PLINTHORA_MANIFEST_SCHEMA);
    EXPECT_NE(std::string::npos, verdict.find(" validates\nexit 0\n")) << verdict;
}

// The manifests in the folder: the check's own file never stays.
int manifestsIn(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*.manifest").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do count++;
    while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

}  // namespace

TEST_F(BatchRun, AManifestCarriesWhatTheComponentsRegisteredAndAClientCreatesEachClassWithoutRegistration)
{
    using namespace manifest_classes;
    std::string server = placeComponent("comp_sample_server.dll", scratch.file("server.dll"));
    scratch.makeFolder("libraries");
    std::string library = placeComponent("test_library.tlb", scratch.file("libraries\\shades.tlb"));
    std::string classes = placeComponent("comp_manifest_classes.dll", scratch.file("classes.dll"));

    run("/s /l:run.log /x:controls.manifest .\\server.dll libraries\\shades.tlb .\\classes.dll");

    EXPECT_EQ(itemLine(server, "", STATUS_REGISTERED) + itemLine(library, "", STATUS_REGISTERED) +
                  itemLine(classes, "", STATUS_REGISTERED),
              readFileBytes(scratch.file("run.log")));
    std::string file = readFileBytes(scratch.file("controls.manifest"));
    EXPECT_EQ(0u, file.find(head("controls", ownArchitecture())));
    const std::string parts[] = {
        "  <file name=\"server.dll\">\r\n    <comClass clsid=\"" + SAMPLE_CLASS_ID +
            "\" threadingModel=\"Apartment\" description=\"Plinthora Sample Object (test build)\" />\r\n  </file>\r\n",
        "  <file name=\"libraries\\shades.tlb\">\r\n    <typelib tlbid=\"" + TEST_LIBRARY_ID +
            "\" version=\"1.2\" helpdir=\"libraries\" flags=\"HASDISKIMAGE\" />\r\n  </file>\r\n",
        "  <file name=\"classes.dll\">\r\n    <comClass clsid=\"" + std::string(CLASS_ID) + "\" threadingModel=\"Both\" progid=\"" +
            PROGID + "\" tlbid=\"" + TEST_LIBRARY_ID + "\" description=\"Plinthora manifest test &lt;&amp;&gt;\">\r\n      <progid>" +
            VERSION_INDEPENDENT_PROGID + "</progid>\r\n    </comClass>\r\n  </file>\r\n"
            "  <comInterfaceExternalProxyStub name=\"IPlinthoraAutomation\" iid=\"" + AUTOMATION_INTERFACE_ID + "\" tlbid=\"" +
            TEST_LIBRARY_ID + "\" proxyStubClsid32=\"{00020424-0000-0000-C000-000000000046}\" />\r\n</assembly>\r\n",
        // What a manifest cannot carry is named in a comment.
        "HKEY_CLASSES_ROOT\\CLSID\\" + std::string(CLASS_ID) + "\\Implemented Categories\\{40FC6ED5-2438-11CF-A3DB-080036F12502}",
        "HKEY_CLASSES_ROOT\\CLSID\\" + std::string(LOCAL_CLASS_ID) + "\\LocalServer32",
        "HKEY_CLASSES_ROOT\\Interface\\" + std::string(OWN_MARSHALLER_INTERFACE_ID),
        "HKEY_CLASSES_ROOT\\.plinthora-manifest-test",
    };
    for (const std::string& part : parts) EXPECT_NE(std::string::npos, file.find(part)) << part << "\nin\n" << file;
    EXPECT_EQ(std::string::npos, file.find(std::string("HKEY_CLASSES_ROOT\\") + PROGID)) << "the comClass carries its ProgID";
    EXPECT_EQ(1, manifestsIn(scratch.path()));
    expectValidManifest(scratch.file("controls.manifest"));

    for (const std::string& classId : {SAMPLE_CLASS_ID, std::string(CLASS_ID)}) {
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "CLSID\\" + classId));
        EXPECT_EQ(S_OK, createdThroughManifest(scratch.file("controls.manifest"), classId)) << classId;
    }
}

// The assembly's files are named relative to its folder; a component that failed is only named.
TEST_F(BatchRun, AComponentOutsideTheManifestsFolderAndOneThatFailedAreNamedWithTheirFailure)
{
    scratch.makeFolder("manifests");
    std::string outside = placeComponent("comp_sample_server.dll", scratch.file("server.dll"));
    std::string failing = placeComponent("comp_server_fails.dll", scratch.file("manifests\\fails.dll"));
    std::string inside = placeComponent("comp_sample_server.dll", scratch.file("manifests\\inside.dll"));

    run("/s /v /l:run.log /x:manifests\\m.manifest .\\server.dll manifests\\fails.dll manifests\\inside.dll");

    std::string log = readFileBytes(scratch.file("run.log"));
    EXPECT_EQ(0u, log.find(failureLine(outside, STATUS_MANIFEST_CREATE_FAILED, OUTSIDE_FOLDER) + failing + "\t\t" +
                           STATUS_REGISTER_FAILED + "\t"))
        << log;
    EXPECT_EQ(log.size() - itemLine(inside, "", STATUS_REGISTERED).size(), log.find(itemLine(inside, "", STATUS_REGISTERED)));
    std::string file = manifestText(scratch.file("manifests\\m.manifest"));
    EXPECT_NE(std::string::npos, file.find("  <!-- " + outside + " : " + STATUS_MANIFEST_CREATE_FAILED + " : " + OUTSIDE_FOLDER +
                                           " -->\r\n  <!-- " + failing + " : " + STATUS_REGISTER_FAILED + " : "))
        << file;
    EXPECT_NE(std::string::npos, file.find("<file name=\"inside.dll\">"));
    EXPECT_EQ(std::string::npos, file.find("<file name=\"server.dll\">"));
}

// One assembly serves one architecture: a 32-bit component, checked by plinthora32.exe beside
// the 64-bit program, makes an x86 assembly, and the 64-bit one after it is refused. Needs both
// builds, so it runs in the 32-bit suite, with the 64-bit build beside this one.
TEST_F(BatchRun, AManifestHoldsComponentsOfOneBitnessAndTheHelperChecksThe32BitOnes)
{
    std::string unavailable = use64BitProgramWith32BitHelper();
    if (!unavailable.empty()) GTEST_SKIP() << unavailable;
    std::string server32 = placeComponent("comp_sample_server.dll", scratch.file("server32.dll"));
    std::string server64 = scratch.file("server64.dll");
    CopyFileA((buildDirectory() + "\\..\\x64\\components\\comp_sample_server.dll").c_str(), server64.c_str(), FALSE);

    run("/s /v /l:run.log /x:mixed.manifest .\\server32.dll .\\server64.dll");

    EXPECT_EQ(itemLine(server32, "", STATUS_REGISTERED) +
                  failureLine(server64, STATUS_MANIFEST_CREATE_FAILED, "64 ビット用のコンポーネントは 32 ビット用のアセンブリに含められません"),
              readFileBytes(scratch.file("run.log")));
    std::string file = manifestText(scratch.file("mixed.manifest"));
    EXPECT_EQ(0u, file.find(head("mixed", "x86")));
    EXPECT_NE(std::string::npos, file.find("<file name=\"server32.dll\">"));
    EXPECT_EQ(std::string::npos, file.find("<file name=\"server64.dll\">"));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, SAMPLE_CLASS_KEY));
}
