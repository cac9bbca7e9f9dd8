#include "core/check/difference_text.h"

#include <stdio.h>
#include <string.h>

#include "core/jobs/text_copy.h"
#include "core/overlay/overlay_store.h"

const char TEXT_KEY_MISSING[] = "キーなし";
const char TEXT_VALUE_MISSING[] = "値なし";
const char TEXT_KEY_PRESENT[] = "キーあり";
const char TEXT_DELETED[] = "削除";

namespace {

const char* const ROOT_SHORT_NAMES[OVERLAY_ROOT_COUNT] = {"HKCR", "HKLM", "HKCU", "HKU", "HKCC"};
const char DIFFERENCE_FORMAT[] = "%s : %s (登録では %s)";
const char COUNT_FORMAT[] = "、相違 %lu 件";
const char LEFT_OUT_FORMAT[] = "%s毎回変わる値 %lu 件は比較せず";
// Room for a place, two values and the words between them before the cut to a detail.
const size_t PART_CAPACITY = 640;

// Appends wide text converted to the program's code page, cut by whole characters; a detail
// shows no more than its first characters anyway.
void appendWide(char* out, size_t capacity, const WCHAR* text, int length = -1)
{
    const int SHOWN_CHARACTERS = 300;
    if (length < 0) length = lstrlenW(text);
    if (length > SHOWN_CHARACTERS) length = SHOWN_CHARACTERS;
    char converted[SHOWN_CHARACTERS * 2 + 1];
    int written = length > 0 ? WideCharToMultiByte(CP_ACP, 0, text, length, converted, sizeof converted - 1, nullptr, nullptr) : 0;
    converted[written] = '\0';
    size_t used = strlen(out);
    copyText(out + used, capacity - used, converted);
}

void describeText(const WCHAR* text, DWORD characters, bool multiple, char* out, size_t capacity)
{
    while (characters > 0 && text[characters - 1] == L'\0') characters--;
    DWORD start = 0;
    for (DWORD index = 0; index <= characters; index++) {
        if (index < characters && text[index] != L'\0') continue;
        if (start > 0) copyText(out + strlen(out), capacity - strlen(out), "\\0");
        appendWide(out, capacity, text + start, (int)(index - start));
        start = index + 1;
        if (!multiple) break;
    }
}

}  // namespace

void describePlace(int root, const WCHAR* path, const WCHAR* name, char* out, size_t capacity)
{
    copyText(out, capacity, ROOT_SHORT_NAMES[root]);
    if (path[0] != L'\0') {
        copyText(out + strlen(out), capacity - strlen(out), "\\");
        appendWide(out, capacity, path);
    }
    if (name != nullptr && name[0] != L'\0') {
        copyText(out + strlen(out), capacity - strlen(out), " [");
        appendWide(out, capacity, name);
        copyText(out + strlen(out), capacity - strlen(out), "]");
    }
}

void describeData(DWORD type, const BYTE* data, DWORD size, char* out, size_t capacity)
{
    out[0] = '\0';
    DWORD number[2] = {};
    CopyMemory(number, data, size < sizeof number ? size : sizeof number);
    char composed[64];
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        describeText((const WCHAR*)data, size / sizeof(WCHAR), type == REG_MULTI_SZ, out, capacity);
        return;
    }
    if (type == REG_DWORD && size == 4) {
        snprintf(composed, sizeof composed, "dword:%08lx", number[0]);
    } else if (type == REG_QWORD && size == 8) {
        snprintf(composed, sizeof composed, "qword:%08lx%08lx", number[1], number[0]);
    } else {
        snprintf(composed, sizeof composed, "hex(%lx):", type);
        copyText(out, capacity, composed);
        for (DWORD index = 0; index < size && strlen(out) + 4 < capacity; index++) {
            snprintf(composed, sizeof composed, index > 0 ? ",%02x" : "%02x", data[index]);
            copyText(out + strlen(out), capacity - strlen(out), composed);
        }
        return;
    }
    copyText(out, capacity, composed);
}

void describeDifference(const char* place, const char* there, const char* written, char* out, size_t capacity)
{
    char composed[sizeof DIFFERENCE_FORMAT + 3 * PART_CAPACITY];
    snprintf(composed, sizeof composed, DIFFERENCE_FORMAT, place, there, written);
    copyText(out, capacity, composed);
}

void describeCheck(const char* difference, DWORD differences, DWORD leftOut, char* out, size_t capacity)
{
    char counts[128] = "";
    if (differences > 0) snprintf(counts, sizeof counts, COUNT_FORMAT, differences);
    if (leftOut > 0) {
        size_t used = strlen(counts);
        snprintf(counts + used, sizeof counts - used, LEFT_OUT_FORMAT, differences > 0 ? "、" : "", leftOut);
    }
    size_t room = capacity - strlen(counts);
    copyText(out, room, differences > 0 ? difference : "");
    copyText(out + strlen(out), capacity - strlen(out), counts);
}
