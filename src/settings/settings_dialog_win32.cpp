#include "settings/settings_dialog_win32.h"

#include "i18n/language.h"
#include "i18n/translation_table.h"
#include "notify/sound_alert_win32.h"
#include "settings/account_editor_win32.h"
#include "settings/mail_command.h"
#include "settings/registry_win32.h"
#include "settings/settings_dialog_rules.h"
#include "util/error_display_win32.h"
#include "util/window_text_win32.h"
#include "util/unicode_win32.h"
#include "pigeonet_version.h"

#include <commctrl.h>
#include <commdlg.h>

#include <vector>

namespace pigeonet {

namespace {

constexpr int kClientWidth = 474;
constexpr int kClientHeight = 281;
constexpr int kHeaderHeight = 62;

enum ControlId : int {
    kButton1 = 1001,
    kButton2,
    kButton3,
    kButton5,
    kButton6,
    kToolButton1,
    kEdit1,
    kTrackBar2,
    kLabel6,
    kListView1,
    kCheckBox2,
    kComboBox2,
    kCheckBox1,
    kTrackBar1,
    kSpinEdit1,
    kSpinButton,
    kPageControl1,
    kStatic,
    kButton4 = IDOK,
};

// Columns of the account list: what the user sees (address, server), the hidden fields of width 0, and the port,
// which the row holds without any column caption.
constexpr int kColumnCount = 6;
constexpr int kCountColumn = 4;
constexpr int kPortColumn = 5;

const DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
const DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

std::string ListViewText(HWND list, int row, int column) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const auto length = static_cast<std::size_t>(
            SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (length + 1 < buffer.size()) {
            return Narrow(std::wstring_view(buffer.data(), length));
        }
        buffer.resize(buffer.size() * 4);
    }
}

void SetListViewText(HWND list, int row, int column, const std::string& text) {
    std::wstring wide = Widen(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

std::string TabCaption(HWND tabs, int index) {
    wchar_t buffer[256] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = buffer;
    item.cchTextMax = static_cast<int>(std::size(buffer));
    SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return Narrow(buffer);
}

void SetTabCaption(HWND tabs, int index, const std::string& text) {
    std::wstring wide = Widen(text);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = wide.data();
    SendMessageW(tabs, TCM_SETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

std::string ColumnCaption(HWND list, int index) {
    wchar_t buffer[256] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = buffer;
    column.cchTextMax = static_cast<int>(std::size(buffer));
    SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
    return Narrow(buffer);
}

void SetColumnCaption(HWND list, int index, const std::string& text) {
    std::wstring wide = Widen(text);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = wide.data();
    SendMessageW(list, LVM_SETCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

bool Checked(HWND box) {
    return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND box, bool checked) {
    SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int TrackBarPosition(HWND bar) {
    return static_cast<int>(SendMessageW(bar, TBM_GETPOS, 0, 0));
}

// Wine's tab control marks the tab a mouse click selected as pressed and keeps the mark when the arrow keys move to
// another tab; while a tab other than the selected one is marked, it ignores every click on the tabs. Without
// button-style tabs the mark means nothing, so it is cleared from the unselected tabs whenever the page changes.
void ClearStaleTabPress(HWND tabs) {
    const int selected = static_cast<int>(SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
    const int count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        if (i == selected) {
            continue;
        }
        TCITEMW item{};
        item.mask = TCIF_STATE;
        item.dwStateMask = TCIS_BUTTONPRESSED;
        item.dwState = 0;
        SendMessageW(tabs, TCM_SETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
}

std::optional<std::string> ChooseProgramFile(HWND owner) {
    wchar_t file[MAX_PATH * 4] = {};
    // "Почтовая программа|*.exe" as the dialog wants it: pairs separated by zero characters.
    static const wchar_t kFilter[] = L"Почтовая программа\0*.exe\0";
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kFilter;
    dialog.lpstrFile = file;
    dialog.nMaxFile = static_cast<DWORD>(std::size(file));
    dialog.Flags = OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!GetOpenFileNameW(&dialog)) {
        return std::nullopt;
    }
    return Narrow(file);
}

}  // namespace

// How a name given to SetControlText reaches its text.
struct TForm2::Target {
    enum class Kind { Window, Tab, Column, Hint } kind;
    HWND window = nullptr;
    int index = 0;
    std::string hintKey;
};

TForm2::TForm2(HINSTANCE instance,
               HWND owner,
               SettingsStore& store,
               std::function<void()> enablePollTimer,
               SettingsDialogSeams seams)
    : instance_(instance), store_(store), enablePollTimer_(std::move(enablePollTimer)), seams_(std::move(seams)) {
    if (!seams_.localMachine) {
        ownLocalMachine_ = std::make_unique<Win32RegistryHive>(HKEY_LOCAL_MACHINE);
        seams_.localMachine = ownLocalMachine_.get();
    }
    if (!seams_.currentUser) {
        ownCurrentUser_ = std::make_unique<Win32RegistryHive>(HKEY_CURRENT_USER);
        seams_.currentUser = ownCurrentUser_.get();
    }
    const SoundPlatform real = Win32SoundPlatform(*seams_.currentUser);
    SoundPlatform& sound = seams_.sound;
    if (!sound.shellFolderPath) {
        sound.shellFolderPath = real.shellFolderPath;
    }
    if (!sound.listFolder) {
        sound.listFolder = real.listFolder;
    }
    if (!sound.currentFolder) {
        sound.currentFolder = real.currentFolder;
    }
    if (!sound.tempFolderPath) {
        sound.tempFolderPath = real.tempFolderPath;
    }
    if (!sound.playSound) {
        sound.playSound = real.playSound;
    }
    if (!seams_.chooseMailProgram) {
        seams_.chooseMailProgram = &ChooseProgramFile;
    }

    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES |
                                                      ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);
    font_ = MakeTahoma(kControlFontHeight);
    titleFont_ = MakeTahoma(19, true);
    subtitleFont_ = MakeTahoma(13);
    versionFont_ = MakeTahoma(9);
    for (const DialogPicture picture :
         {DialogPicture::HeaderImage, DialogPicture::HeaderIcon, DialogPicture::MailProgram, DialogPicture::Interval,
          DialogPicture::Sound, DialogPicture::Play}) {
        pictures_[picture] = LoadDialogPicture(instance_, picture);
    }
    playGlyph_.reset(PictureIcon(*pictures_[DialogPicture::Play]));

    RECT frame{0, 0, Scaled(kClientWidth), Scaled(kClientHeight)};
    AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    // Placed once, near the bottom-right corner, and never moved again by the program.
    const WindowOrigin origin = NearBottomRight(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), width,
                                                height, Scaled(20), Scaled(50));
    Create(L"PigeonetSettingsDialog", kFormExStyle, kFormStyle, L"Pigeonet", origin.left, origin.top, width, height,
           owner);
    CreateControls();
    RegisterDialogKeys(Handle());
    // A failure of the creation handler is shown and the program goes on with the dialog as far as it was loaded.
    GuardEvent([this] { FormCreate(); });
}

TForm2::~TForm2() {
    UnregisterDialogKeys(Handle());
}

HWND TForm2::Control(const char* name) const {
    const auto found = controls_.find(name);
    return found == controls_.end() ? nullptr : found->second;
}

void TForm2::CreateControls() {
    const HWND form = Handle();
    const HFONT font = font_.get();
    hints_.Attach(form);

    // Header labels over the white band; the pictures are painted with the band. Each label is as high as a line of
    // its font, so the title's descenders are not cut off; where the boxes overlap, each label paints every header
    // text that reaches into it (PaintHeaderLabel), so no label covers another's text.
    auto headerLabel = [&](const char* name, const char* text, int x, int y, int width, HFONT labelFont) {
        const HWND label = CreateControl(form, WC_STATICW, text, SS_OWNERDRAW, x, y, width, 0, kStatic, labelFont);
        SetWindowPos(label, nullptr, 0, 0, Scaled(width), LineHeight(labelFont),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        Name(name, label);
    };
    headerLabel("Label1", "Pigeonet", 69, 11, 90, titleFont_.get());
    headerLabel("Label3", PIGEONET_VERSION_SHORT, 146, 7, 24, versionFont_.get());
    headerLabel("Label2", "система уведомлений о поступившей почты", 70, 32, 390, subtitleFont_.get());

    tabs_ =
        CreateControl(form, WC_TABCONTROLW, "", WS_TABSTOP | WS_CLIPSIBLINGS, 11, 74, 366, 197, kPageControl1, font);
    Name("PageControl1", tabs_);
    const char* captions[] = {"Основные", "E-mails", "Индикация"};
    for (int i = 0; i < 3; ++i) {
        std::wstring caption = Widen(captions[i]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        SendMessageW(tabs_, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
    RECT display{};
    GetClientRect(tabs_, &display);
    SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    MapWindowPoints(tabs_, form, reinterpret_cast<POINT*>(&display), 2);
    for (int i = 0; i < 3; ++i) {
        pages_[i] = CreateTabPage(form, form, display);
    }
    Name("TabSheet3", pages_[0]);
    Name("TabSheet1", pages_[1]);
    Name("TabSheet2", pages_[2]);
    CreateMainPage(pages_[0]);
    CreateAccountsPage(pages_[1]);
    CreateIndicationPage(pages_[2]);

    Name("Button1", CreateControl(form, WC_BUTTONW, "Добавить", WS_TABSTOP, 388, 95, 75, 25, kButton1, font));
    Name("Button2", CreateControl(form, WC_BUTTONW, "Изменить", WS_TABSTOP, 388, 127, 75, 25, kButton2, font));
    Name("Button3", CreateControl(form, WC_BUTTONW, "Удалить", WS_TABSTOP, 388, 159, 75, 25, kButton3, font));
    Name("Button4",
         CreateControl(form, WC_BUTTONW, "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 388, 213, 75, 25, kButton4, font));
    Name("Button5", CreateControl(form, WC_BUTTONW, "Отмена", WS_TABSTOP, 388, 245, 75, 25, kButton5, font));
    for (const char* name : {"Button1", "Button2", "Button3"}) {
        ShowWindow(Control(name), SW_HIDE);
    }
    SendMessageW(tabs_, TCM_SETCURSEL, 0, 0);
    ShowPage(0);
}

void TForm2::CreateMainPage(HWND page) {
    const HFONT font = font_.get();
    Name("GroupBox1", CreateControl(page, WC_BUTTONW, "Программа или web для просмотра почты", BS_GROUPBOX, 6, 4, 346,
                                    78, kStatic, font));
    const HWND image2 = CreateControl(page, WC_STATICW, "", SS_OWNERDRAW, 14, 24, 32, 32, kStatic, nullptr);
    pictureControls_[image2] = DialogPicture::MailProgram;
    Name("Edit1", CreateControl(page, WC_EDITW, "msimn.exe", WS_TABSTOP | ES_AUTOHSCROLL, 54, 26, 262, 21, kEdit1, font,
                                WS_EX_CLIENTEDGE));
    Name("Button6", CreateControl(page, WC_BUTTONW, "...", WS_TABSTOP, 320, 25, 22, 22, kButton6, font));
    Name("Label7", CreateControl(page, WC_STATICW, "файл или адрес сайта (http://) для чтения почты",
                                 SS_LEFT | SS_NOPREFIX, 54, 54, 290, 14, kStatic, font));
    Name("GroupBox2",
         CreateControl(page, WC_BUTTONW, "Частота проверки почты", BS_GROUPBOX, 6, 88, 346, 74, kStatic, font));
    const HWND image3 = CreateControl(page, WC_STATICW, "", SS_OWNERDRAW, 14, 110, 32, 32, kStatic, nullptr);
    pictureControls_[image3] = DialogPicture::Interval;
    const HWND interval = CreateControl(page, TRACKBAR_CLASSW, "", WS_TABSTOP | TBS_HORZ | TBS_AUTOTICKS | TBS_BOTTOM,
                                        50, 106, 216, 32, kTrackBar2, font);
    SendMessageW(interval, TBM_SETRANGEMIN, FALSE, 0);
    SendMessageW(interval, TBM_SETRANGEMAX, TRUE, kMaxIntervalPosition);
    Name("TrackBar2", interval);
    Name("Label6", CreateControl(page, WC_STATICW, "< 1 мин.", SS_LEFT | SS_NOPREFIX | SS_NOTIFY, 272, 114, 76, 16,
                                 kLabel6, font));
    hintTexts_["Button6.Hint"] = "Обзор...";
    hintTexts_["Label6.Hint"] = "";
    hints_.Set(Control("Button6"), hintTexts_["Button6.Hint"]);
}

void TForm2::CreateAccountsPage(HWND page) {
    const HWND list = CreateControl(page, WC_LISTVIEWW, "", WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                                    0, 0, 358, 137, kListView1, font_.get(), WS_EX_CLIENTEDGE);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    const char* captions[kColumnCount] = {"Имя", "Сервер", "Логин", "Пароль", "Кол-во", ""};
    const int widths[kColumnCount] = {200, 135, 0, 0, 0, 0};
    for (int i = 0; i < kColumnCount; ++i) {
        std::wstring caption = Widen(captions[i]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = caption.data();
        column.cx = Scaled(widths[i]);
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
    Name("ListView1", list);
    Name("CheckBox2", CreateControl(page, WC_BUTTONW, "Уведомлять при загрузки программы об подключении к e-mail",
                                    WS_TABSTOP | BS_AUTOCHECKBOX, 4, 144, 350, 17, kCheckBox2, font_.get()));
}

void TForm2::CreateIndicationPage(HWND page) {
    const HFONT font = font_.get();
    Name("GroupBox3",
         CreateControl(page, WC_BUTTONW, "Использовать звуковой сигнал", BS_GROUPBOX, 6, 4, 346, 58, kStatic, font));
    const HWND image4 = CreateControl(page, WC_STATICW, "", SS_OWNERDRAW, 14, 22, 32, 32, kStatic, nullptr);
    pictureControls_[image4] = DialogPicture::Sound;
    Name("ComboBox2", CreateControl(page, WC_COMBOBOXW, "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                                    54, 27, 252, 200, kComboBox2, font));
    const HWND play =
        CreateControl(page, WC_BUTTONW, "", WS_TABSTOP | BS_ICON | BS_CENTER, 312, 25, 26, 25, kToolButton1, font);
    SendMessageW(play, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(playGlyph_.get()));
    Name("ToolButton1", play);
    Name("CheckBox1", CreateControl(page, WC_BUTTONW, "Мигание иконки при поступление нового сообщения",
                                    WS_TABSTOP | BS_AUTOCHECKBOX, 10, 68, 342, 17, kCheckBox1, font));
    Name("GroupBox4", CreateControl(page, WC_BUTTONW, "Скорость анимации", BS_GROUPBOX, 6, 92, 346, 70, kStatic, font));
    Name("Label4", CreateControl(page, WC_STATICW, "медленее", SS_RIGHT | SS_NOPREFIX, 10, 120, 58, 14, kStatic, font));
    const HWND speed = CreateControl(page, TRACKBAR_CLASSW, "", WS_TABSTOP | TBS_HORZ | TBS_AUTOTICKS | TBS_BOTTOM, 72,
                                     112, 150, 32, kTrackBar1, font);
    SendMessageW(speed, TBM_SETRANGEMIN, FALSE, 0);
    SendMessageW(speed, TBM_SETRANGEMAX, TRUE, kMaxAnimationSpeed);
    Name("TrackBar1", speed);
    Name("Label5", CreateControl(page, WC_STATICW, "быстрее", SS_LEFT | SS_NOPREFIX, 226, 120, 56, 14, kStatic, font));
    const HWND time = CreateControl(page, WC_EDITW, "8", WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL, 288, 116, 40, 21,
                                    kSpinEdit1, font, WS_EX_CLIENTEDGE);
    const HWND spin =
        CreateControl(page, UPDOWN_CLASSW, "", UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, 0,
                      0, 0, kSpinButton, nullptr);
    SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(time), 0);
    SendMessageW(spin, UDM_SETRANGE32, kMinDisplayTime, kMaxDisplayTime);
    Name("SpinEdit1", time);
    hintTexts_["ToolButton1.Hint"] = "Play";
    hintTexts_["SpinEdit1.Hint"] = "Показывать конверт";
    hints_.Set(play, hintTexts_["ToolButton1.Hint"]);
    hints_.Set(time, hintTexts_["SpinEdit1.Hint"]);
}

void TForm2::FormCreate() {
    // A value that cannot be read shows its default alone and is noted in the store, which the start reports
    // together with every other such value once the windows exist.
    const std::string noSound = NoSoundEntry(store_.ReadInt(kSettingsSection, "lang", 0));
    SettingsValues values;
    LoadSettingsInto(
        store_, values, [this] { return DefaultMailCommand(*seams_.localMachine, seams_.sound.tempFolderPath()); },
        noSound);
    unreadable_ = std::move(values.unreadable);

    RemoveAllRows();
    SendMessageW(Control("TrackBar1"), TBM_SETPOS, TRUE, values.animationSpeed);
    SendMessageW(Control("TrackBar2"), TBM_SETPOS, TRUE, values.intervalPosition);
    IntervalLabel();
    SetChecked(Control("CheckBox1"), values.flashIcon);
    SetWindowTextUtf8(Control("SpinEdit1"), std::to_string(values.displayTime));
    SetChecked(Control("CheckBox2"), values.connectNotice);
    for (const Account& account : values.accounts) {
        AppendRow(account);
    }
    SetWindowTextUtf8(Control("Edit1"), values.mailProgram);

    const SoundList list = BuildSoundList(seams_.sound, noSound);
    soundFolder_ = list.folder;
    const HWND sounds = Control("ComboBox2");
    SendMessageW(sounds, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : list.items) {
        SendMessageW(sounds, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
    }
    SetWindowTextUtf8(sounds, values.sound);
}

void TForm2::Show() {
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
}

bool TForm2::Visible() const {
    return IsWindowVisible(Handle()) != FALSE;
}

void TForm2::Button1Click() {
    if (!editor_) {
        return;
    }
    editor_->SetMode(kAddAccountMode);
    editor_->SetControlText("Caption", AccountEditorCaption(ControlText("Button1")));
    editor_->ShowModal();
}

void TForm2::Button2Click() {
    const int row = SelectedRow();
    if (row < 0 || !editor_) {
        return;
    }
    editor_->SetMode(row);
    editor_->SetControlText("Caption", AccountEditorCaption(ControlText("Button2")));
    editor_->ShowModal();
}

void TForm2::Button3Click() {
    const int row = SelectedRow();
    if (row < 0) {
        return;
    }
    SendMessageW(Control("ListView1"), LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    ++revision_;
}

void TForm2::Button4Click() {
    SaveLiveSettings(store_, *this, &unreadable_);
    ShowWindow(Handle(), SW_HIDE);
    if (enablePollTimer_) {
        enablePollTimer_();
    }
}

void TForm2::Button5Click() {
    ShowWindow(Handle(), SW_HIDE);
    if (enablePollTimer_) {
        enablePollTimer_();
    }
}

void TForm2::Button6Click() {
    if (const auto file = seams_.chooseMailProgram(Handle())) {
        SetWindowTextUtf8(Control("Edit1"), *file);
    }
}

void TForm2::ToolButton1Click() {
    PlaySoundChoice(seams_.sound, Sound(), soundFolder_);
}

void TForm2::PageControl1Change() {
    const bool visible = AccountButtonsVisible(SelectedTab());
    for (const char* name : {"Button1", "Button2", "Button3"}) {
        ShowWindow(Control(name), visible ? SW_SHOW : SW_HIDE);
    }
}

void TForm2::ListView1KeyDown(WORD key) {
    if (key == VK_DELETE) {
        Button3Click();
    }
}

void TForm2::ListView1DblClick() {
    Button2Click();
}

void TForm2::IntervalLabel() {
    SetWindowTextUtf8(Control("Label6"),
                      IntervalLabelText(IntervalPosition(), ControlText("Label4"), ControlText("Label6.Hint")));
}

void TForm2::ShowPage(int index) {
    for (int i = 0; i < 3; ++i) {
        ShowWindow(pages_[i], i == index ? SW_SHOW : SW_HIDE);
    }
}

int TForm2::SelectedTab() const {
    return static_cast<int>(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0));
}

int TForm2::SelectedRow() const {
    return static_cast<int>(
        SendMessageW(Control("ListView1"), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::optional<TForm2::Target> TForm2::FindTarget(std::string_view name) const {
    using Kind = Target::Kind;
    if (name == "Caption") {
        return Target{Kind::Window, Handle()};
    }
    if (name == "TabSheet3" || name == "TabSheet1" || name == "TabSheet2") {
        return Target{Kind::Tab, tabs_, name == "TabSheet3" ? 0 : name == "TabSheet1" ? 1 : 2};
    }
    constexpr std::string_view kColumn = "ListView1.Column";
    if (name.starts_with(kColumn) && name.size() == kColumn.size() + 1) {
        const int index = name.back() - '0';
        if (index >= 0 && index < kColumnCount - 1) {
            return Target{Kind::Column, Control("ListView1"), index};
        }
        return std::nullopt;
    }
    if (name.ends_with(".Hint")) {
        const auto found = hintTexts_.find(name);
        if (found == hintTexts_.end()) {
            return std::nullopt;
        }
        const std::string owner(name.substr(0, name.size() - 5));
        return Target{Kind::Hint, Control(owner.c_str()), 0, std::string(name)};
    }
    const auto found = controls_.find(name);
    if (found == controls_.end() || name == "PageControl1" || name == "ListView1" || name.starts_with("TrackBar")) {
        return std::nullopt;
    }
    return Target{Kind::Window, found->second};
}

bool TForm2::SetControlText(std::string_view controlName, const std::string& utf8) {
    const auto target = FindTarget(controlName);
    if (!target) {
        return false;
    }
    switch (target->kind) {
        case Target::Kind::Window:
            SetWindowTextUtf8(target->window, utf8);
            break;
        case Target::Kind::Tab:
            SetTabCaption(target->window, target->index, utf8);
            break;
        case Target::Kind::Column:
            SetColumnCaption(target->window, target->index, utf8);
            break;
        case Target::Kind::Hint:
            hintTexts_[target->hintKey] = utf8;
            hints_.Set(target->window, utf8);
            break;
    }
    return true;
}

std::string TForm2::ControlText(std::string_view controlName) const {
    const auto target = FindTarget(controlName);
    if (!target) {
        return std::string();
    }
    switch (target->kind) {
        case Target::Kind::Window:
            return WindowTextUtf8(target->window);
        case Target::Kind::Tab:
            return TabCaption(target->window, target->index);
        case Target::Kind::Column:
            return ColumnCaption(target->window, target->index);
        case Target::Kind::Hint:
            return hintTexts_.find(target->hintKey)->second;
    }
    return std::string();
}

HWND TForm2::ControlHandle(std::string_view controlName) const {
    const auto found = controls_.find(controlName);
    return found == controls_.end() ? nullptr : found->second;
}

int TForm2::AccountCount() const {
    return static_cast<int>(SendMessageW(Control("ListView1"), LVM_GETITEMCOUNT, 0, 0));
}

Account TForm2::AccountAt(int index) const {
    const HWND list = Control("ListView1");
    return {ListViewText(list, index, 0),
            ListViewText(list, index, 1),
            ListViewText(list, index, 2),
            ListViewText(list, index, 3),
            ListViewText(list, index, kCountColumn),
            ListViewText(list, index, kPortColumn)};
}

void TForm2::SetAccountCount(int index, const std::string& count) {
    SetListViewText(Control("ListView1"), index, kCountColumn, count);
}

int TForm2::IntervalPosition() const {
    return TrackBarPosition(Control("TrackBar2"));
}

int TForm2::AnimationSpeed() const {
    return TrackBarPosition(Control("TrackBar1"));
}

bool TForm2::FlashIcon() const {
    return Checked(Control("CheckBox1"));
}

int TForm2::DisplayTime() const {
    return DisplayTimeFromText(WindowTextUtf8(Control("SpinEdit1")));
}

bool TForm2::ConnectNotice() const {
    return Checked(Control("CheckBox2"));
}

std::string TForm2::MailProgram() const {
    return WindowTextUtf8(Control("Edit1"));
}

std::string TForm2::Sound() const {
    return WindowTextUtf8(Control("ComboBox2"));
}

void TForm2::AppendRow(const Account& account) {
    const HWND list = Control("ListView1");
    std::wstring caption = Widen(account.email);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = AccountCount();
    item.pszText = caption.data();
    const int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    SetRowTexts(row, account);
    ++revision_;
}

void TForm2::ReplaceRow(int index, const Account& account) {
    SetRowTexts(index, account);
}

void TForm2::SetRowTexts(int index, const Account& account) {
    const HWND list = Control("ListView1");
    const std::string* fields[kColumnCount] = {&account.email,    &account.server, &account.login,
                                               &account.password, &account.count,  &account.port};
    for (int column = 0; column < kColumnCount; ++column) {
        SetListViewText(list, index, column, *fields[column]);
    }
}

void TForm2::RemoveAllRows() {
    SendMessageW(Control("ListView1"), LVM_DELETEALLITEMS, 0, 0);
    ++revision_;
}

void TForm2::PaintHeader() {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(Handle(), &paint);
    RECT band = Scaled(RECT{0, 0, kClientWidth, kHeaderHeight});
    FillRect(dc, &band, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    RECT line{band.left, band.bottom, band.right, band.bottom + 2};
    DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
    DrawPicture(dc, Scaled(RECT{11, 8, 51, 48}), *pictures_[DialogPicture::HeaderImage]);
    DrawPicture(dc, Scaled(RECT{29, 23, 61, 55}), *pictures_[DialogPicture::HeaderIcon]);
    EndPaint(Handle(), &paint);
}

void TForm2::PaintHeaderLabel(const DRAWITEMSTRUCT& item) {
    FillRect(item.hDC, &item.rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(COLOR_WINDOWTEXT));
    RECT self{};
    GetWindowRect(item.hwndItem, &self);
    for (const char* name : {"Label1", "Label2", "Label3"}) {
        const HWND label = Control(name);
        RECT box{};
        GetWindowRect(label, &box);
        OffsetRect(&box, -self.left, -self.top);
        RECT overlap{};
        if (!IntersectRect(&overlap, &box, &item.rcItem)) {
            continue;
        }
        const ScopedSelectObject font(item.hDC, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
        std::wstring text = Widen(WindowTextUtf8(label));
        DrawTextW(item.hDC, text.data(), static_cast<int>(text.size()), &box,
                  DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    }
}

LRESULT TForm2::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) {
                switch (LOWORD(wParam)) {
                    case kButton1:
                        Button1Click();
                        return 0;
                    case kButton2:
                        Button2Click();
                        return 0;
                    case kButton3:
                        Button3Click();
                        return 0;
                    case kButton4:
                        Button4Click();
                        return 0;
                    case kButton5:
                        Button5Click();
                        return 0;
                    case kButton6:
                        Button6Click();
                        return 0;
                    case kToolButton1:
                        ToolButton1Click();
                        return 0;
                    case IDCANCEL:
                        // Escape: the Cancel button is deliberately not the cancel button of the keyboard.
                        return 0;
                    default:
                        break;
                }
            }
            break;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == tabs_ && header->code == TCN_SELCHANGE) {
                ClearStaleTabPress(tabs_);
                ShowPage(SelectedTab());
                PageControl1Change();
                return 0;
            }
            if (header->hwndFrom == Control("ListView1")) {
                if (header->code == LVN_KEYDOWN) {
                    ListView1KeyDown(reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey);
                    return 0;
                }
                if (header->code == NM_DBLCLK) {
                    ListView1DblClick();
                    return 0;
                }
            }
            break;
        }
        case WM_HSCROLL:
            if (reinterpret_cast<HWND>(lParam) == Control("TrackBar2")) {
                IntervalLabel();
                return 0;
            }
            break;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item->hwndItem == Control("Label1") || item->hwndItem == Control("Label2") ||
                item->hwndItem == Control("Label3")) {
                PaintHeaderLabel(*item);
                return TRUE;
            }
            const auto found = pictureControls_.find(item->hwndItem);
            if (found == pictureControls_.end()) {
                break;
            }
            // The page's own (themed) background first, so the picture's transparent parts show it.
            const auto background = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(item->hwndItem), WM_CTLCOLORSTATIC,
                                                                          reinterpret_cast<WPARAM>(item->hDC),
                                                                          reinterpret_cast<LPARAM>(item->hwndItem)));
            FillRect(item->hDC, &item->rcItem, background ? background : GetSysColorBrush(COLOR_BTNFACE));
            DrawPicture(item->hDC, item->rcItem, *pictures_[found->second]);
            return TRUE;
        }
        case WM_PAINT:
            PaintHeader();
            return 0;
        case WM_CLOSE:
            // Closing by the title bar is what users mean by Cancel: hide and let the poll tick run again.
            Button5Click();
            return 0;
        default:
            break;
    }
    return Window::HandleMessage(message, wParam, lParam);
}

}  // namespace pigeonet
