#include "core/registration/failure_details.h"

#include <stdio.h>

#include "core/jobs/text_copy.h"

namespace {

const char SYSTEM_ERROR_FORMAT[] = "エラー %lu : %s";
const char SYSTEM_ERROR_ONLY_FORMAT[] = "エラー %lu";
const char RESULT_FORMAT[] = "HRESULT 0x%08lX : %s";
const char RESULT_ONLY_FORMAT[] = "HRESULT 0x%08lX";
const char MISSING_IMPORT_FORMAT[] = "必要な DLL が見つかりません : %s";
const char BUILT_FOR_32_BIT[] = "32 ビット用のコンポーネント";
const char BUILT_FOR_64_BIT[] = "64 ビット用のコンポーネント";
const char EXCEPTION_FORMAT[] = "例外 0x%08lX で異常終了しました";
const char EXIT_FORMAT[] = "コンポーネントがプロセスを終了しました (終了コード %lu)";
const char TIMEOUT_FORMAT[] = "時間制限 (%lu 秒) を過ぎたため打ち切りました";

// The system's message for a code in the system's language, without its line end; false when
// it has none.
bool systemMessage(DWORD code, char* out, size_t capacity)
{
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, out,
                                  (DWORD)capacity, nullptr);
    while (length > 0 && (out[length - 1] == '\r' || out[length - 1] == '\n' || out[length - 1] == ' ')) length--;
    out[length] = '\0';
    return length > 0;
}

// Formats with one number and one text, cut to capacity on a whole character.
void formatDetail(char* out, size_t capacity, const char* format, DWORD number, const char* text)
{
    // The longest format, a number and the longest text that fits a detail.
    char composed[64 + 512];
    snprintf(composed, sizeof composed, format, number, text);
    copyText(out, capacity, composed);
}

void describeNumbered(const char* withMessage, const char* alone, DWORD code, char* out, size_t capacity)
{
    char message[512];
    if (systemMessage(code, message, sizeof message)) formatDetail(out, capacity, withMessage, code, message);
    else formatDetail(out, capacity, alone, code, "");
}

}  // namespace

void describeSystemError(DWORD code, char* out, size_t capacity)
{
    describeNumbered(SYSTEM_ERROR_FORMAT, SYSTEM_ERROR_ONLY_FORMAT, code, out, capacity);
}

void describeResult(HRESULT result, char* out, size_t capacity)
{
    describeNumbered(RESULT_FORMAT, RESULT_ONLY_FORMAT, (DWORD)result, out, capacity);
}

void describeMissingImport(const char* dll, char* out, size_t capacity)
{
    char composed[sizeof MISSING_IMPORT_FORMAT + MAX_PATH];
    snprintf(composed, sizeof composed, MISSING_IMPORT_FORMAT, dll);
    copyText(out, capacity, composed);
}

bool describeMachine(WORD machine, char* out, size_t capacity)
{
    if (machine == IMAGE_FILE_MACHINE_I386) copyText(out, capacity, BUILT_FOR_32_BIT);
    else if (machine == IMAGE_FILE_MACHINE_AMD64) copyText(out, capacity, BUILT_FOR_64_BIT);
    else return false;
    return true;
}

void describeException(DWORD code, char* out, size_t capacity)
{
    formatDetail(out, capacity, EXCEPTION_FORMAT, code, "");
}

void describeExit(DWORD exitCode, char* out, size_t capacity)
{
    formatDetail(out, capacity, EXIT_FORMAT, exitCode, "");
}

void describeTimeout(DWORD seconds, char* out, size_t capacity)
{
    formatDetail(out, capacity, TIMEOUT_FORMAT, seconds, "");
}
