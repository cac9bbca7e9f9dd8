#include "core/overlay/overlay_space.h"

#include <string.h>

namespace {

const WCHAR* const REAL_ROOT_NAMES[OVERLAY_ROOT_COUNT] = {
    L"\\Registry\\Machine\\Software\\Classes",
    L"\\Registry\\Machine",
    nullptr,  // the current user's key, known at run time
    L"\\Registry\\User",
    L"\\Registry\\Machine\\System\\CurrentControlSet\\Hardware Profiles\\Current",
};

// The native names that stand for a root or a key below one; the longest that matches is the
// one. The user's classes key, which the system links below the user's key, may be named by
// either.
struct PrefixShape {
    int root;
    const WCHAR* suffix;  // after the root's own name
    const WCHAR* path;    // below the root
};
const int NAMED_PREFIX_COUNT = 6;
// The named prefixes, then the two that links lead to.
static_assert(ROOT_PREFIX_COUNT == NAMED_PREFIX_COUNT + 2, "every root prefix has its place");
const PrefixShape PREFIX_SHAPES[NAMED_PREFIX_COUNT] = {
    {OVERLAY_CURRENT_CONFIG, L"", L""},
    {OVERLAY_CLASSES_ROOT, L"", L""},
    {OVERLAY_CURRENT_USER, L"_Classes", L"Software\\Classes"},
    {OVERLAY_CURRENT_USER, L"", L""},
    {OVERLAY_LOCAL_MACHINE, L"", L""},
    {OVERLAY_USERS, L"", L""},
};

const WCHAR CURRENT_CONTROL_SET[] = L"System\\CurrentControlSet";

const ACCESS_MASK WOW64_VIEWS = KEY_WOW64_64KEY | KEY_WOW64_32KEY;

void setText(WCHAR* out, const WCHAR* text)
{
    lstrcpynW(out, text, (int)OVERLAY_PATH_CAPACITY);
}

// text + "\" + path, the separator only between two non-empty parts; false when too long.
bool joinPath(WCHAR* out, const WCHAR* text, const WCHAR* path, size_t pathLength)
{
    size_t length = lstrlenW(text);
    if (length + 1 + pathLength >= OVERLAY_PATH_CAPACITY) return false;
    memmove(out + length + 1, path, pathLength * sizeof(WCHAR));
    if (out != text) memcpy(out, text, length * sizeof(WCHAR));
    if (length > 0 && pathLength > 0) {
        out[length++] = L'\\';
    } else {
        memmove(out + length, out + length + 1, pathLength * sizeof(WCHAR));
    }
    out[length + pathLength] = L'\0';
    return true;
}

// The part of name below prefix, or null when name is not prefix or below it.
const WCHAR* below(const WCHAR* name, size_t length, const WCHAR* prefix)
{
    size_t prefixLength = lstrlenW(prefix);
    if (prefixLength == 0 || prefixLength > length) return nullptr;
    if (CompareStringOrdinal(name, (int)prefixLength, prefix, (int)prefixLength, TRUE) != CSTR_EQUAL) return nullptr;
    if (prefixLength == length) return name + length;
    return name[prefixLength] == L'\\' ? name + prefixLength + 1 : nullptr;
}

void describeName(UNICODE_STRING* text, const WCHAR* name, size_t length)
{
    text->Buffer = (WCHAR*)name;
    text->Length = text->MaximumLength = (USHORT)(length * sizeof(WCHAR));
}

void describeKey(OBJECT_ATTRIBUTES* attributes, HANDLE parent, UNICODE_STRING* name)
{
    memset(attributes, 0, sizeof *attributes);
    attributes->Length = sizeof *attributes;
    attributes->RootDirectory = parent;
    attributes->ObjectName = name;
    attributes->Attributes = OBJ_CASE_INSENSITIVE;
}

}  // namespace

bool OverlaySpace::prepare(const OverlayStore* overlayStore)
{
    store = *overlayStore;
    BOOL wow64 = FALSE;
    underWow64 = IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
    deletions = 0;
    generation = 0;
    WCHAR user[OVERLAY_PATH_CAPACITY];
    if (!currentUserKeyName(user, OVERLAY_PATH_CAPACITY - 16)) return false;
    for (int root = 0; root < OVERLAY_ROOT_COUNT; root++) {
        setText(realRoots[root], root == OVERLAY_CURRENT_USER ? user : REAL_ROOT_NAMES[root]);
    }
    for (int index = 0; index < NAMED_PREFIX_COUNT; index++) {
        const PrefixShape& shape = PREFIX_SHAPES[index];
        RootPrefix& prefix = prefixes[index];
        setText(prefix.name, realRoots[shape.root]);
        lstrcatW(prefix.name, shape.suffix);
        prefix.root = shape.root;
        prefix.path = shape.path;
    }
    // Windows names a key opened through a link by the key the link leads to; Wine by the link.
    WCHAR controlSet[OVERLAY_PATH_CAPACITY];
    joinPath(controlSet, realRoots[OVERLAY_LOCAL_MACHINE], CURRENT_CONTROL_SET, lstrlenW(CURRENT_CONTROL_SET));
    linkPrefix(&prefixes[NAMED_PREFIX_COUNT], OVERLAY_LOCAL_MACHINE, CURRENT_CONTROL_SET, controlSet);
    linkPrefix(&prefixes[NAMED_PREFIX_COUNT + 1], OVERLAY_CURRENT_CONFIG, L"", realRoots[OVERLAY_CURRENT_CONFIG]);
    return true;
}

void OverlaySpace::linkPrefix(RootPrefix* prefix, int root, const WCHAR* path, const WCHAR* link) const
{
    prefix->root = root;
    prefix->path = path;
    setText(prefix->name, link);
    HANDLE key;
    if (open(nullptr, link, lstrlenW(link), KEY_QUERY_VALUE, &key) != NT_OK) return;
    size_t length;
    if (nameOf(key, prefix->name, &length) != NT_OK) setText(prefix->name, link);
    nt.close(key);
}

NTSTATUS OverlaySpace::nameOf(HANDLE key, WCHAR* name, size_t* length) const
{
    return readKeyName(nt, key, name, OVERLAY_PATH_CAPACITY, length);
}

KeyPlace OverlaySpace::locate(HANDLE parent, const UNICODE_STRING* name, OverlayKey* key) const
{
    WCHAR full[OVERLAY_PATH_CAPACITY];
    size_t length = 0;
    if (parent != nullptr) {
        NTSTATUS status = nameOf(parent, full, &length);
        if (status == NT_BUFFER_OVERFLOW) return PLACE_TOO_LONG;
        if (status != NT_OK) return PLACE_OUTSIDE;
    }
    if (name != nullptr && name->Length > 0) {
        size_t added = name->Length / sizeof(WCHAR);
        if (length + 1 + added >= OVERLAY_PATH_CAPACITY) return PLACE_TOO_LONG;
        if (length > 0) full[length++] = L'\\';
        memcpy(full + length, name->Buffer, added * sizeof(WCHAR));
        length += added;
    }
    while (length > 0 && full[length - 1] == L'\\') length--;
    full[length] = L'\0';

    const WCHAR* rest = nullptr;
    const WCHAR* pathStart = L"";
    key->inStore = false;
    for (int root = 0; root < OVERLAY_ROOT_COUNT && rest == nullptr; root++) {
        rest = below(full, length, store.roots[root].writes);
        key->root = root;
        key->inStore = rest != nullptr;
    }
    // The longer a prefix, the further on the rest starts.
    for (int index = 0; index < ROOT_PREFIX_COUNT && !key->inStore; index++) {
        const WCHAR* after = below(full, length, prefixes[index].name);
        if (after == nullptr || (rest != nullptr && after <= rest)) continue;
        rest = after;
        key->root = prefixes[index].root;
        pathStart = prefixes[index].path;
    }
    if (rest == nullptr || store.roots[key->root].writes[0] == L'\0') return PLACE_OUTSIDE;
    setText(key->path, pathStart);
    if (!joinPath(key->path, key->path, rest, full + length - rest)) return PLACE_TOO_LONG;
    key->length = lstrlenW(key->path);
    dropRedirection(key);
    return PLACE_OVERLAID;
}

// In a 32-bit process on a 64-bit system, the system names a key of the 32-bit view with the
// Wow6432Node it keeps it under, though the process opened it without: the key is named as the
// process names it, so that the store holds one key for both, and the system finds the 32-bit
// key again when the overlay opens it by that name.
void OverlaySpace::dropRedirection(OverlayKey* key) const
{
    const WCHAR NODE[] = L"Wow6432Node";
    const size_t nodeLength = sizeof NODE / sizeof NODE[0] - 1;
    for (size_t start = 0; underWow64 && start + nodeLength <= key->length; start++) {
        if (start > 0 && key->path[start - 1] != L'\\') continue;
        size_t end = start + nodeLength;
        if (end < key->length && key->path[end] != L'\\') continue;
        if (CompareStringOrdinal(key->path + start, (int)nodeLength, NODE, (int)nodeLength, TRUE) != CSTR_EQUAL) continue;
        if (end < key->length) end++;
        else if (start > 0) start--;
        memmove(key->path + start, key->path + end, (key->length - end + 1) * sizeof(WCHAR));
        key->length -= end - start;
        return;
    }
}

bool OverlaySpace::parentOf(const OverlayKey* key, OverlayKey* parent) const
{
    if (key->length == 0) return false;
    *parent = *key;
    while (parent->length > 0 && parent->path[parent->length - 1] != L'\\') parent->length--;
    if (parent->length > 0) parent->length--;
    parent->path[parent->length] = L'\0';
    return true;
}

bool OverlaySpace::realName(const OverlayKey* key, WCHAR* name) const
{
    return joinPath(name, realRoots[key->root], key->path, key->length);
}

bool OverlaySpace::treeName(const OverlayKey* key, OverlayTree tree, WCHAR* name) const
{
    const OverlayStoreRoot& root = store.roots[key->root];
    const WCHAR* top = tree == TREE_WRITES ? root.writes : tree == TREE_DELETED_KEYS ? root.deletedKeys : root.deletedValues;
    return top[0] != L'\0' && joinPath(name, top, key->path, key->length);
}

NTSTATUS OverlaySpace::open(HANDLE parent, const WCHAR* name, size_t length, ACCESS_MASK access, HANDLE* key) const
{
    UNICODE_STRING text;
    describeName(&text, name, length);
    OBJECT_ATTRIBUTES attributes;
    describeKey(&attributes, parent, &text);
    *key = nullptr;
    return nt.openKey(key, access, &attributes);
}

NTSTATUS OverlaySpace::create(const WCHAR* name, ACCESS_MASK access, ULONG options, HANDLE* key) const
{
    UNICODE_STRING text;
    OBJECT_ATTRIBUTES attributes;
    describeKey(&attributes, nullptr, &text);
    size_t length = lstrlenW(name);
    describeName(&text, name, length);
    NTSTATUS status = nt.createKey(key, access, &attributes, 0, nullptr, options, nullptr);
    if (status != NT_NAME_NOT_FOUND) return status;
    // The system makes one key at a time: the missing ones above it first.
    for (size_t end = lstrlenW(L"\\Registry\\"); end < length; end++) {
        if (name[end] != L'\\') continue;
        describeName(&text, name, end);
        HANDLE above;
        if (nt.createKey(&above, KEY_CREATE_SUB_KEY, &attributes, 0, nullptr, 0, nullptr) == NT_OK) nt.close(above);
    }
    describeName(&text, name, length);
    return nt.createKey(key, access, &attributes, 0, nullptr, options, nullptr);
}

NTSTATUS OverlaySpace::openReal(const OverlayKey* key, ACCESS_MASK access, HANDLE* handle) const
{
    WCHAR name[OVERLAY_PATH_CAPACITY];
    if (!realName(key, name)) return NT_NAME_TOO_LONG;
    ACCESS_MASK view = access & WOW64_VIEWS;
    NTSTATUS status = open(nullptr, name, lstrlenW(name), KEY_READ | view, handle);
    if (status != NT_ACCESS_DENIED) return status;
    ACCESS_MASK reading = access & (KEY_READ | view);
    if ((reading & ~view) == 0) reading |= KEY_QUERY_VALUE;
    return open(nullptr, name, lstrlenW(name), reading, handle);
}

NTSTATUS OverlaySpace::openIn(const OverlayKey* key, OverlayTree tree, ACCESS_MASK access, HANDLE* handle) const
{
    WCHAR name[OVERLAY_PATH_CAPACITY];
    *handle = nullptr;
    if (!treeName(key, tree, name)) return NT_NAME_NOT_FOUND;
    return open(nullptr, name, lstrlenW(name), access & ~WOW64_VIEWS, handle);
}

NTSTATUS OverlaySpace::createIn(const OverlayKey* key, OverlayTree tree, ACCESS_MASK access, ULONG options,
                                HANDLE* handle) const
{
    WCHAR name[OVERLAY_PATH_CAPACITY];
    *handle = nullptr;
    if (!treeName(key, tree, name)) return NT_ACCESS_DENIED;
    return create(name, access & ~WOW64_VIEWS, options, handle);
}

void OverlaySpace::removeTree(HANDLE key) const
{
    union {
        KeyBasicRecord record;
        BYTE bytes[RECORD_CAPACITY];
    } answer;
    ULONG needed;
    while (nt.enumerateKey(key, 0, KEY_BASIC_INFORMATION, &answer, sizeof answer, &needed) == NT_OK) {
        HANDLE child;
        if (open(key, answer.record.name, answer.record.nameLength / sizeof(WCHAR), KEY_ALL_ACCESS, &child) != NT_OK) break;
        removeTree(child);
        nt.close(child);
    }
    nt.deleteKey(key);
}

bool OverlaySpace::keepsDeletions(const OverlayKey* key, OverlayTree tree) const
{
    const OverlayStoreRoot& root = store.roots[key->root];
    return (tree == TREE_DELETED_KEYS ? root.deletedKeys : root.deletedValues)[0] != L'\0';
}

bool OverlaySpace::hasValue(HANDLE key, const UNICODE_STRING* name) const
{
    union {
        ValueBasicRecord record;
        BYTE bytes[RECORD_CAPACITY];
    } answer;
    ULONG needed;
    NTSTATUS status = nt.queryValueKey(key, (UNICODE_STRING*)name, VALUE_BASIC_INFORMATION, &answer, sizeof answer, &needed);
    return status == NT_OK || status == NT_BUFFER_OVERFLOW;
}

bool OverlaySpace::hasChild(HANDLE key, const WCHAR* name, size_t length) const
{
    HANDLE child;
    if (open(key, name, length, KEY_QUERY_VALUE, &child) != NT_OK) return false;
    nt.close(child);
    return true;
}

bool OverlaySpace::markedDeleted(HANDLE key) const
{
    UNICODE_STRING unnamed = {};
    return hasValue(key, &unnamed);
}

bool OverlaySpace::keyDeleted(const OverlayKey* key) const
{
    WCHAR name[OVERLAY_PATH_CAPACITY];
    if (deletions == 0 || !treeName(key, TREE_DELETED_KEYS, name)) return false;
    // Each key from the top down: a mark on any of them hides the real key.
    size_t length = lstrlenW(name);
    size_t start = length - key->length;
    for (size_t end = start; end <= length; end++) {
        if (end < length && (end == start || name[end] != L'\\')) continue;
        HANDLE marks;
        if (open(nullptr, name, end, KEY_QUERY_VALUE, &marks) != NT_OK) return false;
        bool marked = markedDeleted(marks);
        nt.close(marks);
        if (marked) return true;
    }
    return false;
}

bool OverlaySpace::valueDeleted(const OverlayKey* key, const UNICODE_STRING* name) const
{
    HANDLE marks;
    if (deletions == 0 || openIn(key, TREE_DELETED_VALUES, KEY_QUERY_VALUE, &marks) != NT_OK) return false;
    bool marked = hasValue(marks, name);
    nt.close(marks);
    return marked;
}

bool OverlaySpace::existsInReal(const OverlayKey* key) const
{
    HANDLE real;
    if (keyDeleted(key) || openReal(key, KEY_QUERY_VALUE, &real) != NT_OK) return false;
    nt.close(real);
    return true;
}

bool OverlaySpace::overlaid(const OverlayKey* key) const
{
    if (key->inStore || deletions > 0) return true;
    HANDLE written;
    if (openIn(key, TREE_WRITES, KEY_QUERY_VALUE, &written) != NT_OK) return false;
    nt.close(written);
    return true;
}

void OverlaySpace::changed()
{
    InterlockedIncrement(&generation);
}
