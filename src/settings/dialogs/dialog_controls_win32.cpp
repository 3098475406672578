#include "settings/dialogs/dialog_controls_win32.h"

#include "util/unicode_win32.h"
#include "util/window_text_win32.h"

#include <commctrl.h>

#include <cwchar>

namespace pigeonet {

namespace {

INT_PTR CALLBACK TabPageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(page, DWLP_USER, lParam);
            return TRUE;
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_DRAWITEM: {
            const auto target = reinterpret_cast<HWND>(GetWindowLongPtrW(page, DWLP_USER));
            if (!target) {
                return FALSE;
            }
            const LRESULT result = SendMessageW(target, message, wParam, lParam);
            SetWindowLongPtrW(page, DWLP_MSGRESULT, result);
            return TRUE;
        }
        default:
            return FALSE;
    }
}

// The themed tab background comes from uxtheme, which the program does not link: looked up at run time.
void UseTabBackground(HWND page) {
    const HMODULE uxtheme = LoadLibraryW(L"uxtheme.dll");
    if (!uxtheme) {
        return;
    }
    using EnableTexture = HRESULT(WINAPI*)(HWND, DWORD);
    const auto enable =
        reinterpret_cast<EnableTexture>(reinterpret_cast<void*>(GetProcAddress(uxtheme, "EnableThemeDialogTexture")));
    if (enable) {
        constexpr DWORD kEnableTab = 0x00000002 | 0x00000004;  // ETDT_ENABLE | ETDT_USETABTEXTURE
        enable(page, kEnableTab);
    }
}

}  // namespace

int Scaled(int designed) {
    return MulDiv(designed, ScreenDpi(), kDesignDpi);
}

RECT Scaled(const RECT& designed) {
    return {Scaled(designed.left), Scaled(designed.top), Scaled(designed.right), Scaled(designed.bottom)};
}

UniqueFont MakeTahoma(int height, bool bold) {
    return UniqueFont(CreateFontW(-Scaled(height), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                                  DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
}

int TextWidth(HFONT font, const std::string& text) {
    const ScopedGetDc screen(nullptr);
    const ScopedSelectObject select(screen.get(), font);
    const std::wstring wide = Widen(text);
    SIZE size{};
    GetTextExtentPoint32W(screen.get(), wide.c_str(), static_cast<int>(wide.size()), &size);
    return size.cx;
}

int LineHeight(HFONT font) {
    const ScopedGetDc screen(nullptr);
    const ScopedSelectObject select(screen.get(), font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen.get(), &metrics);
    return metrics.tmHeight;
}

// Glyphs are hinted to whole pixels, so a font does not grow exactly in proportion to the screen's resolution: a
// left-aligned label or a check box whose designed width just holds its text at 96 DPI could cut off its last
// letter on another screen. Such a control grows to the right by the few pixels its text needs.
void WidenToText(HWND control, ControlKind kind, HFONT font) {
    int margin = 0;
    if (wcscmp(kind.className, WC_STATICW) == 0 && (kind.style & SS_TYPEMASK) == SS_LEFT) {
        margin = 0;
    } else if (wcscmp(kind.className, WC_BUTTONW) == 0 && (kind.style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
        margin = Scaled(kCheckBoxTextOffset);
    } else {
        return;
    }
    const int needed = TextWidth(font, WindowTextUtf8(control)) + margin;
    RECT box{};
    GetWindowRect(control, &box);
    if (needed > box.right - box.left) {
        SetWindowPos(control, nullptr, 0, 0, needed, box.bottom - box.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

HWND CreateControl(HWND parent, ControlKind kind, const std::string& text, DesignedBox box, int id, HFONT font) {
    const HWND control =
        CreateWindowExW(kind.exStyle, kind.className, Widen(text).c_str(), WS_CHILD | WS_VISIBLE | kind.style,
                        Scaled(box.x), Scaled(box.y), Scaled(box.width), Scaled(box.height), parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (control && font) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (ScreenDpi() != kDesignDpi) {
            WidenToText(control, kind, font);
        }
    }
    return control;
}

HWND CreateTabPage(HWND parent, HWND forwardTo, const RECT& bounds) {
    // An in-memory template of a dialog without controls: header, then empty menu, class and title.
    alignas(DWORD) WORD storage[sizeof(DLGTEMPLATE) / sizeof(WORD) + 4] = {};
    auto* dialog = reinterpret_cast<DLGTEMPLATE*>(storage);
    dialog->style = WS_CHILD | DS_CONTROL | WS_CLIPSIBLINGS;
    dialog->dwExtendedStyle = WS_EX_CONTROLPARENT;
    const HWND page = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dialog, parent, &TabPageProcedure,
                                                 reinterpret_cast<LPARAM>(forwardTo));
    if (!page) {
        return nullptr;
    }
    UseTabBackground(page);
    SetWindowPos(page, HWND_TOP, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                 SWP_NOACTIVATE);
    return page;
}

void Hints::Attach(HWND owner) {
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
}

void Hints::Set(HWND tool, const std::string& hint) {
    if (!tool) {
        return;
    }
    texts_[tool] = hint;
    if (!tooltip_) {
        return;
    }
    std::wstring text = Widen(hint);
    TOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(tool);
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = text.data();
    SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    if (!text.empty()) {
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

std::string Hints::Text(HWND tool) const {
    const auto found = texts_.find(tool);
    return found == texts_.end() ? std::string() : found->second;
}

Hints::~Hints() {
    if (tooltip_) {
        DestroyWindow(tooltip_);
    }
}

}  // namespace pigeonet
