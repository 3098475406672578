#include "settings/dialogs/account_editor_win32.h"

#include "settings/settings_dialog_rules.h"
#include "util/error_display_win32.h"
#include "util/window_text_win32.h"

#include <commctrl.h>

namespace pigeonet {

namespace {

enum ControlId : int {
    kEdit1 = 2001,
    kEdit2,
    kEdit3,
    kEdit4,
    kComboBox1,
    kStatic,
    kButton1 = IDOK,
    kButton2 = IDCANCEL,
};

}  // namespace

TForm3::TForm3(HINSTANCE, HWND owner, AccountRows& rows) : owner_(owner), rows_(rows) {
    font_ = MakeTahoma(kControlFontHeight);
    // Client area 330 x 256, 100 pixels from the screen's right edge and 150 from its bottom. The caption is never
    // seen: every opening sets it first.
    CreateForm(L"PigeonetAccountEditor", 0, L"Добавление E-mail", {330, 256, 100, 150}, owner_);

    const HWND form = Handle();
    const HFONT font = font_.get();
    AccountEditorControls& c = controls_;
    // Created in tab order: address, login, password, server, OK, Cancel, port.
    auto field = [&](HWND& label, const char* labelText, HWND& edit, int id, int top, DWORD style) {
        label =
            CreateControl(form, {WC_STATICW, SS_LEFT | SS_NOPREFIX}, labelText, {16, top - 16, 300, 14}, kStatic, font);
        edit = CreateControl(form, {WC_EDITW, WS_TABSTOP | ES_AUTOHSCROLL | style, WS_EX_CLIENTEDGE}, "",
                             {16, top, 201, 21}, id, font);
    };
    field(c.Label4, "E-mail:", c.Edit1, kEdit1, 34, 0);
    field(c.Label3, "Логин:", c.Edit3, kEdit3, 81, 0);
    field(c.Label1, "Пароль:", c.Edit4, kEdit4, 130, ES_PASSWORD);
    SendMessageW(c.Edit4, EM_SETPASSWORDCHAR, L'*', 0);
    field(c.Label2, "Сервер входящей почты:", c.Edit2, kEdit2, 177, 0);
    c.Button1 =
        CreateControl(form, {WC_BUTTONW, WS_TABSTOP | BS_DEFPUSHBUTTON}, "OK", {240, 32, 75, 25}, kButton1, font);
    EnableWindow(c.Button1, FALSE);
    c.Button2 = CreateControl(form, {WC_BUTTONW, WS_TABSTOP}, "Отмена", {240, 64, 75, 25}, kButton2, font);
    c.Label5 = CreateControl(form, {WC_STATICW, SS_LEFT | SS_NOPREFIX}, "Порт: (обычно 110, если SSL то 995)",
                             {16, 208, 300, 14}, kStatic, font);
    const HWND port = CreateControl(form, {WC_COMBOBOXW, WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL}, "",
                                    {16, 224, 201, 120}, kComboBox1, font);
    SendMessageW(port, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"110"));
    SendMessageW(port, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"995"));
    SetWindowTextUtf8(port, "110");
    c.ComboBox1 = port;

    SetWindowSubclass(c.Edit1, &TForm3::AddressFieldProcedure, 1, reinterpret_cast<DWORD_PTR>(this));
}

TForm3::~TForm3() {
    if (Handle()) {
        RemoveWindowSubclass(controls_.Edit1, &TForm3::AddressFieldProcedure, 1);
    }
}

AccountFields TForm3::Fields() const {
    return {WindowTextUtf8(controls_.Edit1), WindowTextUtf8(controls_.Edit2), WindowTextUtf8(controls_.Edit3),
            WindowTextUtf8(controls_.Edit4), WindowTextUtf8(controls_.ComboBox1)};
}

void TForm3::ShowModal() {
    FormShow();
    showing_ = true;
    EnableWindow(owner_, FALSE);
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
    SetFocus(controls_.Edit1);
    MSG message;
    while (showing_) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            if (got == 0) {
                PostQuitMessage(static_cast<int>(message.wParam));
            }
            showing_ = false;
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // The owner is enabled before the editor hides, so activation returns to the settings dialog.
    EnableWindow(owner_, TRUE);
    ShowWindow(Handle(), SW_HIDE);
}

void TForm3::Close() {
    showing_ = false;
    // Wake the modal loop should it be waiting for a message.
    PostMessageW(Handle(), WM_NULL, 0, 0);
}

void TForm3::FormShow() {
    const AccountFields fields = FieldsForMode(rows_, mode_, WindowTextUtf8(controls_.ComboBox1));
    filling_ = true;
    SetWindowTextUtf8(controls_.Edit1, fields.email);
    SetWindowTextUtf8(controls_.Edit2, fields.server);
    SetWindowTextUtf8(controls_.Edit3, fields.login);
    SetWindowTextUtf8(controls_.Edit4, fields.password);
    SetWindowTextUtf8(controls_.ComboBox1, fields.port);
    filling_ = false;
    Edit3Change();
}

void TForm3::Edit3Change() {
    EnableWindow(controls_.Button1, CanAcceptAccount(Fields()) ? TRUE : FALSE);
}

void TForm3::Edit1KeyUp() {
    if (const auto server = AutoFilledServer(WindowTextUtf8(controls_.Edit1))) {
        SetWindowTextUtf8(controls_.Edit2, *server);
    }
}

void TForm3::Button1Click() {
    // Enter reaches here through IsDialogMessage even while the button is disabled.
    if (!CanAcceptAccount(Fields())) {
        return;
    }
    // A port that is no port is refused with its message (shown by the window's error boundary); the editor stays
    // open with the text for the user to mend.
    AcceptAccount(rows_, mode_, Fields());
    Close();
}

void TForm3::Button2Click() {
    Close();
}

LRESULT CALLBACK
TForm3::AddressFieldProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    if (message == WM_KEYUP) {
        GuardEvent([&] { reinterpret_cast<TForm3*>(self)->Edit1KeyUp(); });
    }
    return result;
}

LRESULT TForm3::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kButton1:
                    if (HIWORD(wParam) == BN_CLICKED) {
                        Button1Click();
                        return 0;
                    }
                    break;
                case kButton2:
                    if (HIWORD(wParam) == BN_CLICKED) {
                        Button2Click();
                        return 0;
                    }
                    break;
                case kEdit1:
                case kEdit2:
                case kEdit3:
                case kEdit4:
                    if (HIWORD(wParam) == EN_CHANGE && !filling_) {
                        Edit3Change();
                        return 0;
                    }
                    break;
                default:
                    break;
            }
            break;
        default:
            break;
    }
    return DialogForm::HandleMessage(message, wParam, lParam);
}

void TForm3::ApplyText(LangTarget target, const std::string& text) {
    HWND control = nullptr;
    switch (target) {
        case LangTarget::EditorLabel3:
            control = controls_.Label3;
            break;
        case LangTarget::EditorLabel1:
            control = controls_.Label1;
            break;
        case LangTarget::EditorLabel2:
            control = controls_.Label2;
            break;
        case LangTarget::EditorButton2:
            control = controls_.Button2;
            break;
        default:
            return;
    }
    SetWindowTextUtf8(control, text);
}

}  // namespace pigeonet
