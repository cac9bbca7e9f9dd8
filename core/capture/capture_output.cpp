#include "core/capture/capture_output.h"

#include "core/capture/inno_setup_script.h"
#include "core/capture/registry_file.h"
#include "core/capture/side_by_side_manifest.h"
#include "core/capture/wix_source.h"
#include "core/jobs/heap.h"
#include "core/jobs/shell_paths.h"

const char CAPTURE_OPEN_FAILED[] = " がオープンできません";
const char CAPTURE_NOT_REGISTRY_FILE[] = " は UTF-16 の登録ファイルではないため追記できません";
const char CAPTURE_WRITE_FAILED[] = " に書き込めませんでした";

namespace {

struct CaptureFormat {
    const char* extension;  // null: any other name
    size_t writerSize;
    CaptureWriterVerbs verbs;
};

const CaptureFormat CAPTURE_FORMATS[] = {
    {".wxs", sizeof(WixSource), writerVerbs<WixSource>()},
    {".iss", sizeof(InnoSetupScript), writerVerbs<InnoSetupScript>()},
    {".manifest", sizeof(SideBySideManifest), writerVerbs<SideBySideManifest>()},
    {nullptr, sizeof(RegistryFile), writerVerbs<RegistryFile>()},
};

const CaptureFormat& formatOf(const char* path)
{
    // A dot is never the trail byte of a double-byte character.
    const char* extension = "";
    for (const char* c = shellPaths().PathFindFileNameA(path); *c != '\0'; c++) {
        if (*c == '.') extension = c;
    }
    const CaptureFormat* format = CAPTURE_FORMATS;
    while (format->extension != nullptr && lstrcmpiA(extension, format->extension) != 0) format++;
    return *format;
}

}  // namespace

const char* captureBeginFailure(DWORD error)
{
    return error == ERROR_BAD_FORMAT ? CAPTURE_NOT_REGISTRY_FILE : CAPTURE_OPEN_FAILED;
}

bool CaptureOutput::open(const char* path)
{
    const CaptureFormat& format = formatOf(path);
    *this = CaptureOutput{};
    writer = allocateZeroed(format.writerSize);
    if (writer == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    verbs = &format.verbs;
    if (verbs->open(writer, path)) return true;
    DWORD error = GetLastError();
    freeBlock(writer);
    *this = CaptureOutput{};
    SetLastError(error);
    return false;
}

bool CaptureOutput::close()
{
    if (writer == nullptr) return true;
    bool written = verbs->close(writer) && !incomplete;
    freeBlock(writer);
    *this = CaptureOutput{};
    return written;
}

SideBySideManifest* CaptureOutput::sideBySideManifest() const
{
    // A writer is known by its verbs.
    bool manifest = verbs != nullptr && verbs->open == writerVerbs<SideBySideManifest>().open;
    return manifest ? (SideBySideManifest*)writer : nullptr;
}
