#include "tests/support/failure_causes.h"

#include "core/registration/status_texts.h"

FailureCause halfServedComponent(const ScratchDirectory& scratch)
{
    std::string path = scratch.makeFolder("half") + "\\needs_two.dll";
    CopyFileA(componentPath("comp_needs_two_dependencies.dll").c_str(), path.c_str(), FALSE);
    CopyFileA(componentPath("comp_dependency.dll").c_str(), scratch.file("half\\comp_dependency.dll").c_str(), FALSE);
    return {path, 0, 0, STATUS_LOAD_FAILED, std::string("必要な DLL が見つかりません : ") + LONG_DEPENDENCY_NAME};
}

std::vector<FailureCause> failureCauses(const ScratchDirectory& scratch)
{
    std::string lonely = scratch.makeFolder("lonely") + "\\needs.dll";
    CopyFileA(componentPath("comp_needs_dependency.dll").c_str(), lonely.c_str(), FALSE);
    const std::string failed = "HRESULT 0x80004005";  // E_FAIL
    // An empty file is answered without a worker, a file with other content by the worker's
    // load: both as the loader answers.
    writeFileBytes(scratch.file("empty.dll"), "");
    writeFileBytes(scratch.file("text.dll"), "not an image\r\n");
    std::vector<FailureCause> causes = {
        {scratch.file("missing.dll"), 0, 0, STATUS_LOAD_FAILED, "エラー 126 : "},
        {scratch.file("empty.dll"), 0, 0, STATUS_LOAD_FAILED, "エラー 193 : "},
        {scratch.file("text.dll"), 0, 0, STATUS_LOAD_FAILED, "エラー 193 : "},
        {lonely, 0, 0, STATUS_LOAD_FAILED, "必要な DLL が見つかりません : comp_dependency.dll"},
        halfServedComponent(scratch),
        {componentPath("comp_fail_load.dll"), 0, 0, STATUS_LOAD_FAILED, "エラー 1114 : "},
        {componentPath("comp_no_server.dll"), 0, 0, STATUS_NO_REGISTER_ENTRY, "エラー 127 : "},
        {componentPath("comp_server_fails.dll"), 0, 0, STATUS_REGISTER_FAILED, failed},
        {componentPath("comp_server_fails.dll"), 1, 0, STATUS_UNREGISTER_FAILED, failed},
        {componentPath("comp_install_fails.dll"), 0, 1, STATUS_INSTALL_FAILED, failed},
        {componentPath("comp_crash_register.dll"), 0, 0, STATUS_REGISTER_FAILED, "例外 0xC0000005 "},
        {componentPath("comp_exit_register.dll"), 0, 0, STATUS_REGISTER_FAILED,
         "コンポーネントがプロセスを終了しました (終了コード 3)"},
        {componentPath("comp_hang_register.dll"), 0, 0, STATUS_REGISTER_FAILED,
         "時間制限 (" + std::to_string(FAILURE_ITEM_TIMEOUT) + " 秒)"},
    };
    const char* other = sizeof(void*) == 8 ? "x86" : "x64";
    char foreign[MAX_PATH];
    GetFullPathNameA((buildDirectory() + "\\..\\" + other + "\\components\\comp_ok.dll").c_str(), MAX_PATH, foreign, nullptr);
    if (fileExists(foreign)) {
        causes.push_back({foreign, 0, 0, STATUS_LOAD_FAILED,
                          sizeof(void*) == 8 ? "32 ビット用のコンポーネント" : "64 ビット用のコンポーネント"});
    }
    return causes;
}

ItemTimeoutConfig::ItemTimeoutConfig(int seconds) : path_(executableDirectory() + "\\config.ini")
{
    set(seconds);
}

ItemTimeoutConfig::~ItemTimeoutConfig()
{
    DeleteFileA(path_.c_str());
}

void ItemTimeoutConfig::set(int seconds) const
{
    writeFileBytes(path_, "[Run]\r\nItemTimeout=" + std::to_string(seconds) + "\r\n");
}

bool beginsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}
