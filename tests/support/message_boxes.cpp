#include "tests/support/message_boxes.h"

#include <limits.h>
#include <stdlib.h>

#include "tests/support/top_level_windows.h"
#include "tests/support/wait_until.h"

namespace {

// The text control of a system message box has this id on every version of the platform.
const int TEXT_CONTROL_ID = 0xFFFF;

struct KnownIcon {
    UINT style;
    LPCSTR resource;
};

const KnownIcon KNOWN_ICONS[] = {
    {MB_ICONINFORMATION, IDI_ASTERISK},
    {MB_ICONWARNING, IDI_EXCLAMATION},
    {MB_ICONQUESTION, IDI_QUESTION},
    {MB_ICONERROR, IDI_HAND},
};

std::string windowText(HWND window)
{
    char text[256];
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string className(HWND window)
{
    char name[64];
    GetClassNameA(window, name, sizeof name);
    return name;
}

bool isBoxWithCaption(HWND window, const char* caption)
{
    return className(window) == "#32770" && windowText(window) == caption;
}

BOOL CALLBACK visitChild(HWND child, LPARAM parameter)
{
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if (!IsWindowVisible(child) || (style & SS_TYPEMASK) != SS_ICON || className(child) != "Static") return TRUE;
    *(HWND*)parameter = child;
    return FALSE;
}

HWND iconControl(HWND box)
{
    HWND found = nullptr;
    EnumChildWindows(box, visitChild, (LPARAM)&found);
    return found;
}

// A top-down 32-bit picture of w by h pixels, drawn into by the callback.
template <typename Draw>
std::vector<DWORD> picture(int w, int h, Draw draw)
{
    std::vector<DWORD> pixels;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC memory = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memory != nullptr && bitmap != nullptr) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        draw(memory, (DWORD*)bits);
        GdiFlush();
        pixels.assign((DWORD*)bits, (DWORD*)bits + (size_t)w * h);
        SelectObject(memory, previous);
    }
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (memory != nullptr) DeleteDC(memory);
    return pixels;
}

long difference(const std::vector<DWORD>& a, const std::vector<DWORD>& b)
{
    long sum = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8)
            sum += labs((long)((a[i] >> shift) & 0xFF) - (long)((b[i] >> shift) & 0xFF));
    }
    return sum;
}

// The icon whose drawing on the box's own background comes closest to what the screen shows,
// or 0 while the box is not drawn yet (all background) or nothing is close.
UINT recogniseIcon(HWND control)
{
    RECT rect;
    if (!GetWindowRect(control, &rect)) return 0;
    int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0 || w > 256 || h > 256) return 0;

    HDC screen = GetDC(nullptr);
    std::vector<DWORD> shown = picture(w, h, [&](HDC memory, DWORD*) {
        BitBlt(memory, 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY);
    });
    ReleaseDC(nullptr, screen);
    if (shown.empty()) return 0;

    DWORD background = shown[0] & 0xFFFFFF;
    bool drawn = false;
    for (DWORD pixel : shown) drawn = drawn || (pixel & 0xFFFFFF) != background;
    if (!drawn) return 0;

    UINT best = 0;
    long bestScore = LONG_MAX, secondScore = LONG_MAX;
    for (const KnownIcon& known : KNOWN_ICONS) {
        HICON icon = LoadIconA(nullptr, known.resource);
        std::vector<DWORD> reference = picture(w, h, [&](HDC memory, DWORD* bits) {
            for (int i = 0; i < w * h; ++i) bits[i] = background;
            DrawIconEx(memory, 0, 0, icon, w, h, 0, nullptr, DI_NORMAL);
        });
        long score = difference(shown, reference);
        if (score < bestScore) {
            secondScore = bestScore;
            bestScore = score;
            best = known.style;
        } else if (score < secondScore) {
            secondScore = score;
        }
    }
    // Close to one icon (a few levels per channel on average) and clearly apart from the others.
    long pixels = (long)w * h;
    return bestScore <= pixels * 12 && bestScore * 4 < secondScore ? best : 0;
}

}  // namespace

HWND findMessageBox(DWORD processId, const char* caption)
{
    return visibleTopLevelWindow(processId, [&](HWND window) { return isBoxWithCaption(window, caption); });
}

bool hasOtherVisibleWindow(DWORD processId, const char* caption)
{
    return visibleTopLevelWindow(processId, [&](HWND window) { return !isBoxWithCaption(window, caption); }) != nullptr;
}

SeenBox readMessageBox(HWND box, DWORD patienceMs)
{
    SeenBox seen;
    waitUntil(
        [&] {
            char text[1024] = "";
            GetDlgItemTextA(box, TEXT_CONTROL_ID, text, sizeof text);
            seen.text = text;
            seen.buttons.clear();
            for (int id = IDOK; id <= IDCONTINUE; ++id) {
                HWND button = GetDlgItem(box, id);
                if (button != nullptr && IsWindowVisible(button)) seen.buttons.push_back(id);
            }
            HWND control = iconControl(box);
            seen.icon = control != nullptr ? recogniseIcon(control) : 0;
            bool complete = !seen.text.empty() && !seen.buttons.empty() && (control == nullptr || seen.icon != 0);
            return complete || !IsWindow(box);
        },
        patienceMs);
    return seen;
}

bool answerMessageBox(HWND box, int button, DWORD patienceMs)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(box, button));
    return waitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, patienceMs);
}

int defaultAnswer(const SeenBox& box)
{
    for (int wanted : {IDOK, IDNO}) {
        for (int id : box.buttons)
            if (id == wanted) return id;
    }
    return box.buttons.empty() ? IDOK : box.buttons[0];
}

const char* iconName(UINT icon)
{
    switch (icon) {
    case MB_ICONINFORMATION: return "information";
    case MB_ICONWARNING: return "warning";
    case MB_ICONQUESTION: return "question";
    case MB_ICONERROR: return "error";
    default: return "none";
    }
}
