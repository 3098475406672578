#include "settings/dialogs/account_editor_win32.h"

#include "settings/settings_dialog_rules.h"
#include "util/error_display_win32.h"
#include "util/errors.h"
#include "util/scope_exit.h"
#include "util/unicode_win32.h"
#include "util/window_text_win32.h"

#include <commctrl.h>

#include <array>

namespace pigeonet {

namespace {

enum ControlId : int {
    kEdit1 = 2001,
    kEdit2,
    kEdit3,
    kEdit4,
    kComboBox1,
    kComboBox2,
    kComboBox3,
    kButton3,
    kStatic,
    kButton1 = IDOK,
    kButton2 = IDCANCEL,
};

// The security list's entries in ConnectionSecurity's order; the first is a word and follows the language.
constexpr std::array<ConnectionSecurity, 3> kSecurities = {ConnectionSecurity::None, ConnectionSecurity::StartTls,
                                                           ConnectionSecurity::Tls};

void AddItem(HWND combo, const std::string& text) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

int Selected(HWND combo) {
    return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

void Select(HWND combo, int index) {
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

}  // namespace

TForm3::TForm3(HINSTANCE, HWND owner, AccountRows& rows, AccountTester testAccount)
    : owner_(owner), rows_(rows), testAccount_(std::move(testAccount)) {
    font_ = MakeTahoma(kControlFontHeight);
    // Client area 330 x 400, 100 pixels from the screen's right edge and 150 from its bottom. The caption is never
    // seen: every opening sets it first. The first 256 pixels hold the fields every account has; the connection's
    // protocol and security and the test's line sit below them.
    CreateForm(L"PigeonetAccountEditor", 0, L"Добавление E-mail", {330, 400, 100, 150}, owner_);

    const HWND form = Handle();
    const HFONT font = font_.get();
    AccountEditorControls& c = controls_;
    // Created in tab order: address, login, password, server, OK, Cancel, port, protocol, security, Test.
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
    c.ComboBox1 = port;
    FillPortList(MailProtocol::Pop3);
    SetWindowTextUtf8(port, "110");

    const ControlKind list{WC_COMBOBOXW, WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST};
    c.Label6 = CreateControl(form, {WC_STATICW, SS_LEFT | SS_NOPREFIX}, "Протокол", {16, 255, 300, 14}, kStatic, font);
    c.ComboBox2 = CreateControl(form, list, "", {16, 271, 201, 120}, kComboBox2, font);
    AddItem(c.ComboBox2, "POP3");
    AddItem(c.ComboBox2, "IMAP");
    Select(c.ComboBox2, 0);
    c.Label7 = CreateControl(form, {WC_STATICW, SS_LEFT | SS_NOPREFIX}, "Защита соединения", {16, 302, 300, 14},
                             kStatic, font);
    c.ComboBox3 = CreateControl(form, list, "", {16, 318, 201, 120}, kComboBox3, font);
    for (const char* entry : {"Нет", "STARTTLS", "SSL/TLS"}) {
        AddItem(c.ComboBox3, entry);
    }
    Select(c.ComboBox3, 0);
    c.Button3 = CreateControl(form, {WC_BUTTONW, WS_TABSTOP}, "Проверить", {240, 316, 75, 25}, kButton3, font);
    EnableWindow(c.Button3, testAccount_ ? TRUE : FALSE);
    // Up to three lines: a failure's message can be long.
    c.Label8 = CreateControl(form, {WC_STATICW, SS_LEFT | SS_NOPREFIX}, "", {16, 350, 300, 42}, kStatic, font);

    SetWindowSubclass(c.Edit1, &TForm3::AddressFieldProcedure, 1, reinterpret_cast<DWORD_PTR>(this));
}

TForm3::~TForm3() {
    if (Handle()) {
        RemoveWindowSubclass(controls_.Edit1, &TForm3::AddressFieldProcedure, 1);
    }
}

AccountFields TForm3::Fields() const {
    const int security = Selected(controls_.ComboBox3);
    return {WindowTextUtf8(controls_.Edit1),
            WindowTextUtf8(controls_.Edit2),
            WindowTextUtf8(controls_.Edit3),
            WindowTextUtf8(controls_.Edit4),
            WindowTextUtf8(controls_.ComboBox1),
            std::string(MailProtocolText(Selected(controls_.ComboBox2) == 1 ? MailProtocol::Imap : MailProtocol::Pop3)),
            std::string(ConnectionSecurityText(security >= 0 && security < 3
                                                   ? kSecurities[static_cast<std::size_t>(security)]
                                                   : ConnectionSecurity::None))};
}

void TForm3::FillPortList(MailProtocol protocol) {
    const HWND port = controls_.ComboBox1;
    const std::string text = WindowTextUtf8(port);
    SendMessageW(port, CB_RESETCONTENT, 0, 0);
    for (const ConnectionSecurity security : {ConnectionSecurity::None, ConnectionSecurity::Tls}) {
        AddItem(port, std::to_string(StandardPort(protocol, security)));
    }
    SetWindowTextUtf8(port, text);
}

void TForm3::ShowFields(const AccountFields& fields) {
    const MailProtocol protocol = ProtocolOf(fields);
    const ConnectionSecurity security = SecurityOf(fields);
    filling_ = true;
    // Only what changes is written: writing a field's text puts its caret back at the start, under the user's
    // typing when the address auto-fills the others.
    for (const auto& [control, text] :
         {std::pair{controls_.Edit1, &fields.email}, std::pair{controls_.Edit2, &fields.server},
          std::pair{controls_.Edit3, &fields.login}, std::pair{controls_.Edit4, &fields.password}}) {
        if (WindowTextUtf8(control) != *text) {
            SetWindowTextUtf8(control, *text);
        }
    }
    Select(controls_.ComboBox2, protocol == MailProtocol::Imap ? 1 : 0);
    if (protocol != protocol_ || SendMessageW(controls_.ComboBox1, CB_GETCOUNT, 0, 0) == 0) {
        FillPortList(protocol);
    }
    if (WindowTextUtf8(controls_.ComboBox1) != fields.port) {
        SetWindowTextUtf8(controls_.ComboBox1, fields.port);
    }
    Select(controls_.ComboBox3, static_cast<int>(security));
    protocol_ = protocol;
    filling_ = false;
    Edit3Change();
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
    lastTest_.reset();
    SetWindowTextUtf8(controls_.Label8, "");
    ShowFields(FieldsForMode(rows_, mode_, WindowTextUtf8(controls_.ComboBox1)));
}

void TForm3::Edit3Change() {
    // No OK while a test runs: the test reads the fields as they were when it started.
    EnableWindow(controls_.Button1, !testing_ && CanAcceptAccount(Fields()) ? TRUE : FALSE);
}

void TForm3::Edit1KeyUp() {
    AccountFields fields = Fields();
    AutoFill(fields);
    if (fields != Fields()) {
        ShowFields(fields);
    }
}

void TForm3::ComboBox1Change() {
    const HWND port = controls_.ComboBox1;
    const int index = Selected(port);
    if (index < 0) {
        return;
    }
    // Sent before the edit field shows the chosen entry: read the entry itself.
    const auto length = SendMessageW(port, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    std::wstring entry(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    SendMessageW(port, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(entry.data()));
    entry.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    AccountFields fields = Fields();
    ChoosePort(fields, Narrow(entry));
    ShowFields(fields);
}

void TForm3::ComboBox2Change() {
    AccountFields fields = Fields();
    const MailProtocol chosen = ProtocolOf(fields);
    fields.protocol = std::string(MailProtocolText(protocol_));
    ChooseProtocol(fields, chosen);
    ShowFields(fields);
}

void TForm3::ComboBox3Change() {
    AccountFields fields = Fields();
    ChooseSecurity(fields, SecurityOf(fields));
    ShowFields(fields);
}

void TForm3::Button3Click() {
    if (testing_ || !testAccount_) {
        return;
    }
    const MailProtocol protocol = ProtocolOf(Fields());
    const Account account = AccountFromFields(Fields());
    testing_ = true;
    EnableWindow(controls_.Button3, FALSE);
    EnableWindow(controls_.Button1, FALSE);
    lastTest_.reset();
    SetWindowTextUtf8(controls_.Label8, testRunning_);
    // The GUI is served while the test waits, so anything may happen meanwhile: a second click finds `testing_`,
    // Cancel waits for the end (closeAfterTest_), the language may change.
    const ScopeExit done([this] {
        testing_ = false;
        EnableWindow(controls_.Button3, TRUE);
        Edit3Change();
        if (closeAfterTest_) {
            closeAfterTest_ = false;
            Close();
        }
    });
    AccountTestResult result;
    try {
        result = testAccount_(account);
    } catch (const std::exception& failure) {
        // The program's tester never throws; any other shows as a failure here rather than in a message box.
        result.outcome = AccountTestResult::Outcome::OpenFailure;
        result.message = failure.what();
    }
    lastTest_.emplace(protocol, result);
    ShowTestOutcome();
}

void TForm3::ShowTestOutcome() {
    if (!lastTest_) {
        return;
    }
    const auto& [protocol, result] = *lastTest_;
    std::string text;
    if (result.outcome == AccountTestResult::Outcome::Count) {
        const std::string& pattern = protocol == MailProtocol::Imap ? testUnread_ : testMessages_;
        text = FormatMessageText(pattern, std::to_string(result.count));
    } else {
        text = FormatMessageText(testFailed_, result.message);
    }
    SetWindowTextUtf8(controls_.Label8, text);
}

void TForm3::Button1Click() {
    // Enter reaches here through IsDialogMessage even while the button is disabled.
    if (testing_ || !CanAcceptAccount(Fields())) {
        return;
    }
    // A port that is no port is refused with its message (shown by the window's error boundary); the editor stays
    // open with the text for the user to mend.
    AcceptAccount(rows_, mode_, Fields());
    Close();
}

void TForm3::Button2Click() {
    if (testing_) {
        // The test is below on this thread's stack: the editor may not end its modal display under it.
        closeAfterTest_ = true;
        return;
    }
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
                case kButton3:
                    if (HIWORD(wParam) == BN_CLICKED) {
                        Button3Click();
                        return 0;
                    }
                    break;
                case kComboBox1:
                case kComboBox2:
                case kComboBox3:
                    if (HIWORD(wParam) == CBN_SELCHANGE && !filling_) {
                        if (LOWORD(wParam) == kComboBox1) {
                            ComboBox1Change();
                        } else if (LOWORD(wParam) == kComboBox2) {
                            ComboBox2Change();
                        } else {
                            ComboBox3Change();
                        }
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
        case LangTarget::EditorLabel6:
            control = controls_.Label6;
            break;
        case LangTarget::EditorLabel7:
            control = controls_.Label7;
            break;
        case LangTarget::EditorButton3:
            control = controls_.Button3;
            break;
        case LangTarget::EditorComboBox3None: {
            const HWND list = controls_.ComboBox3;
            const int selected = Selected(list);
            SendMessageW(list, CB_DELETESTRING, 0, 0);
            SendMessageW(list, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
            Select(list, selected);
            return;
        }
        case LangTarget::EditorTestRunning:
            testRunning_ = text;
            if (testing_) {
                SetWindowTextUtf8(controls_.Label8, text);
            }
            return;
        case LangTarget::EditorTestUnread:
            testUnread_ = text;
            ShowTestOutcome();
            return;
        case LangTarget::EditorTestMessages:
            testMessages_ = text;
            ShowTestOutcome();
            return;
        case LangTarget::EditorTestFailed:
            testFailed_ = text;
            ShowTestOutcome();
            return;
        default:
            return;
    }
    SetWindowTextUtf8(control, text);
}

std::string TForm3::TestText(LangTarget target) const {
    switch (target) {
        case LangTarget::EditorTestRunning:
            return testRunning_;
        case LangTarget::EditorTestUnread:
            return testUnread_;
        case LangTarget::EditorTestMessages:
            return testMessages_;
        case LangTarget::EditorTestFailed:
            return testFailed_;
        default:
            return {};
    }
}

}  // namespace pigeonet
