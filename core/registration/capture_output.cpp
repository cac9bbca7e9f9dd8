#include "core/registration/capture_output.h"

#include "core/jobs/heap.h"
#include "core/jobs/shell_paths.h"

const char CAPTURE_OPEN_FAILED[] = " がオープンできません";
const char CAPTURE_NOT_REGISTRY_FILE[] = " は UTF-16 の登録ファイルではないため追記できません";
const char CAPTURE_WRITE_FAILED[] = " に書き込めませんでした";

const char* captureBeginFailure(DWORD error)
{
    return error == ERROR_BAD_FORMAT ? CAPTURE_NOT_REGISTRY_FILE : CAPTURE_OPEN_FAILED;
}

CaptureFormat captureFormatOf(const char* path)
{
    // A dot is never the trail byte of a double-byte character.
    const char* extension = "";
    for (const char* c = shellPaths().PathFindFileNameA(path); *c != '\0'; c++) {
        if (*c == '.') extension = c;
    }
    if (lstrcmpiA(extension, ".wxs") == 0) return CAPTURE_WIX_SOURCE;
    if (lstrcmpiA(extension, ".iss") == 0) return CAPTURE_INNO_SETUP_SCRIPT;
    return CAPTURE_REGISTRY_FILE;
}

bool CaptureOutput::open(const char* path)
{
    format = captureFormatOf(path);
    bool opened = false;
    if (format == CAPTURE_WIX_SOURCE && (wixSource = newZeroed<WixSource>()) != nullptr) {
        opened = wixSource->open(path);
    } else if (format == CAPTURE_INNO_SETUP_SCRIPT && (innoSetupScript = newZeroed<InnoSetupScript>()) != nullptr) {
        opened = innoSetupScript->open(path);
    } else if (format == CAPTURE_REGISTRY_FILE && (registryFile = newZeroed<RegistryFile>()) != nullptr) {
        opened = registryFile->open(path);
    } else {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    if (opened) return true;
    DWORD error = GetLastError();
    freeBlock(wixSource);
    freeBlock(innoSetupScript);
    freeBlock(registryFile);
    *this = CaptureOutput{};
    SetLastError(error);
    return false;
}

void CaptureOutput::beginItem(const char* path, const char* status)
{
    switch (format) {
    case CAPTURE_REGISTRY_FILE: {
        char comment[MAX_PATH + 64];
        wsprintfA(comment, "%s : %s", path, status);
        registryFile->writeComment(comment);
        break;
    }
    case CAPTURE_WIX_SOURCE: wixSource->beginItem(path, status); break;
    case CAPTURE_INNO_SETUP_SCRIPT: innoSetupScript->beginItem(path, status); break;
    }
}

void CaptureOutput::writeKey(const WCHAR* root, const WCHAR* path)
{
    switch (format) {
    case CAPTURE_REGISTRY_FILE: registryFile->writeKey(root, path); break;
    case CAPTURE_WIX_SOURCE: wixSource->writeKey(root, path); break;
    case CAPTURE_INNO_SETUP_SCRIPT: innoSetupScript->writeKey(root, path); break;
    }
}

void CaptureOutput::writeValue(const WCHAR* name, DWORD type, const BYTE* data, DWORD size)
{
    switch (format) {
    case CAPTURE_REGISTRY_FILE: registryFile->writeValue(name, type, data, size); break;
    case CAPTURE_WIX_SOURCE: wixSource->writeValue(name, type, data, size); break;
    case CAPTURE_INNO_SETUP_SCRIPT: innoSetupScript->writeValue(name, type, data, size); break;
    }
}

void CaptureOutput::endKey()
{
    switch (format) {
    case CAPTURE_REGISTRY_FILE: registryFile->endBlock(); break;
    case CAPTURE_WIX_SOURCE: wixSource->endKey(); break;
    case CAPTURE_INNO_SETUP_SCRIPT: innoSetupScript->endKey(); break;
    }
}

void CaptureOutput::writeKeyRemoval(const WCHAR* root, const WCHAR* path)
{
    switch (format) {
    case CAPTURE_REGISTRY_FILE:
        registryFile->writeKeyRemoval(root, path);
        registryFile->endBlock();
        break;
    case CAPTURE_WIX_SOURCE: wixSource->writeKeyRemoval(root, path); break;
    case CAPTURE_INNO_SETUP_SCRIPT: innoSetupScript->writeKeyRemoval(root, path); break;
    }
}

void CaptureOutput::beginValueRemovals(const WCHAR* root, const WCHAR* path)
{
    removalRoot = root;
    removalPath = path;
    if (format == CAPTURE_REGISTRY_FILE) registryFile->writeKey(root, path);
}

void CaptureOutput::writeValueRemoval(const WCHAR* name)
{
    switch (format) {
    case CAPTURE_REGISTRY_FILE: registryFile->writeValueRemoval(name); break;
    case CAPTURE_WIX_SOURCE: wixSource->writeValueRemoval(removalRoot, removalPath, name); break;
    case CAPTURE_INNO_SETUP_SCRIPT: innoSetupScript->writeValueRemoval(removalRoot, removalPath, name); break;
    }
}

void CaptureOutput::endValueRemovals()
{
    if (format == CAPTURE_REGISTRY_FILE) registryFile->endBlock();
}

// A registry file is written as each item ends, the installer sources at the end of the run.
void CaptureOutput::endItem()
{
    switch (format) {
    case CAPTURE_REGISTRY_FILE: registryFile->flush(); break;
    case CAPTURE_WIX_SOURCE: wixSource->endItem(); break;
    case CAPTURE_INNO_SETUP_SCRIPT: innoSetupScript->endItem(); break;
    }
}

bool CaptureOutput::close()
{
    if (registryFile == nullptr && wixSource == nullptr && innoSetupScript == nullptr) return true;
    bool written = true;
    switch (format) {
    case CAPTURE_REGISTRY_FILE:
        registryFile->close();
        written = !registryFile->writeFailed;
        break;
    case CAPTURE_WIX_SOURCE: written = wixSource->close(); break;
    case CAPTURE_INNO_SETUP_SCRIPT: written = innoSetupScript->close(); break;
    }
    freeBlock(wixSource);
    freeBlock(innoSetupScript);
    freeBlock(registryFile);
    *this = CaptureOutput{};
    return written;
}
