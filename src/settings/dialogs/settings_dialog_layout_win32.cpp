// The settings dialog's controls, created where the dialog was designed, and the parts it draws itself: the
// header band and the pictures beside the groups.
#include "settings/dialogs/settings_dialog_layout_win32.h"
#include "settings/dialogs/settings_dialog_win32.h"

#include "pigeonet_version.h"
#include "settings/live_settings.h"
#include "util/unicode_win32.h"
#include "util/window_text_win32.h"

#include <commctrl.h>

namespace pigeonet {

using namespace settings_dialog;

namespace {

constexpr ControlKind kGroupBox{WC_BUTTONW, BS_GROUPBOX};
constexpr ControlKind kPushButton{WC_BUTTONW, WS_TABSTOP};
constexpr ControlKind kCheckBox{WC_BUTTONW, WS_TABSTOP | BS_AUTOCHECKBOX};
constexpr ControlKind kOwnerDrawn{WC_STATICW, SS_OWNERDRAW};
constexpr ControlKind kTrackBar{TRACKBAR_CLASSW, WS_TABSTOP | TBS_HORZ | TBS_AUTOTICKS | TBS_BOTTOM};
constexpr ControlKind kDropDown{WC_COMBOBOXW, WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL};

ControlKind Label(DWORD alignment) {
    return {WC_STATICW, alignment | SS_NOPREFIX};
}

HWND CreateTrackBar(HWND page, DesignedBox box, int id, int maximum, HFONT font) {
    const HWND bar = CreateControl(page, kTrackBar, "", box, id, font);
    SendMessageW(bar, TBM_SETRANGEMIN, FALSE, 0);
    SendMessageW(bar, TBM_SETRANGEMAX, TRUE, maximum);
    return bar;
}

}  // namespace

void TForm2::CreateControls() {
    const HWND form = Handle();
    const HFONT font = font_.get();
    hints_.Attach(form);

    // Header labels over the white band; the pictures are painted with the band. Each label is as high as a line of
    // its font, so the title's descenders are not cut off; where the boxes overlap, each label paints every header
    // text that reaches into it (PaintHeaderLabel), so no label covers another's text.
    auto headerLabel = [&](const char* text, int x, int y, int width, HFONT labelFont) {
        const HWND label = CreateControl(form, kOwnerDrawn, text, {x, y, width, 0}, kStatic, labelFont);
        SetWindowPos(label, nullptr, 0, 0, Scaled(width), LineHeight(labelFont),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return label;
    };
    SettingsDialogControls& c = controls_;
    c.Label1 = headerLabel("Pigeonet", 69, 11, 90, titleFont_.get());
    c.Label3 = headerLabel(PIGEONET_VERSION_SHORT, 146, 7, 24, versionFont_.get());
    c.Label2 = headerLabel("система уведомлений о поступившей почте", 70, 32, 390, subtitleFont_.get());

    const HWND tabs = CreateControl(form, {WC_TABCONTROLW, WS_TABSTOP | WS_CLIPSIBLINGS}, "",
                                    {11, 74, 366, kTabsHeight}, kPageControl1, font);
    c.PageControl1 = tabs;
    const char* captions[] = {"Основные", "E-mails", "Индикация"};
    for (int i = 0; i < 3; ++i) {
        std::wstring caption = Widen(captions[i]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
    RECT display{};
    GetClientRect(tabs, &display);
    SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    MapWindowPoints(tabs, form, reinterpret_cast<POINT*>(&display), 2);
    c.TabSheet3 = CreateTabPage(form, form, display);
    c.TabSheet1 = CreateTabPage(form, form, display);
    c.TabSheet2 = CreateTabPage(form, form, display);
    CreateMainPage(c.TabSheet3);
    CreateAccountsPage(c.TabSheet1);
    CreateIndicationPage(c.TabSheet2);

    c.Button1 = CreateControl(form, kPushButton, "Добавить", {388, 95, 75, 25}, kButton1, font);
    c.Button2 = CreateControl(form, kPushButton, "Изменить", {388, 127, 75, 25}, kButton2, font);
    c.Button3 = CreateControl(form, kPushButton, "Удалить", {388, 159, 75, 25}, kButton3, font);
    c.Button4 =
        CreateControl(form, {WC_BUTTONW, WS_TABSTOP | BS_DEFPUSHBUTTON}, "OK", {388, 213, 75, 25}, kButton4, font);
    c.Button5 = CreateControl(form, kPushButton, "Отмена", {388, 245, 75, 25}, kButton5, font);
    for (const HWND button : {c.Button1, c.Button2, c.Button3}) {
        ShowWindow(button, SW_HIDE);
    }
    SendMessageW(tabs, TCM_SETCURSEL, 0, 0);
    ShowPage(0);
}

void TForm2::CreateMainPage(HWND page) {
    SettingsDialogControls& c = controls_;
    const HFONT font = font_.get();
    c.GroupBox1 =
        CreateControl(page, kGroupBox, "Программа или web для просмотра почты", {6, 4, 346, 78}, kStatic, font);
    pictureControls_[CreateControl(page, kOwnerDrawn, "", {14, 24, 32, 32}, kStatic, nullptr)] =
        DialogPicture::MailProgram;
    c.Edit1 = CreateControl(page, {WC_EDITW, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE}, "msimn.exe",
                            {54, 26, 262, 21}, kEdit1, font);
    c.Button6 = CreateControl(page, kPushButton, "...", {320, 25, 22, 22}, kButton6, font);
    c.Label7 = CreateControl(page, Label(SS_LEFT), "файл или адрес сайта (http://) для чтения почты", {54, 54, 290, 14},
                             kStatic, font);
    c.GroupBox2 = CreateControl(page, kGroupBox, "Частота проверки почты", {6, 88, 346, 74}, kStatic, font);
    pictureControls_[CreateControl(page, kOwnerDrawn, "", {14, 110, 32, 32}, kStatic, nullptr)] =
        DialogPicture::Interval;
    c.TrackBar2 = CreateTrackBar(page, {50, 106, 216, 32}, kTrackBar2, kMaxIntervalPosition, font);
    c.Label6 = CreateControl(page, Label(SS_LEFT | SS_NOTIFY), "< 1 мин.", {272, 114, 76, 16}, kLabel6, font);
    hints_.Set(c.Button6, "Обзор...");
    hints_.Set(c.Label6, "");
}

void TForm2::CreateAccountsPage(HWND page) {
    SettingsDialogControls& c = controls_;
    const HWND list = CreateControl(
        page, {WC_LISTVIEWW, WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE}, "",
        {0, 0, 358, 137}, kListView1, font_.get());
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    const char* captions[kColumnCount] = {"Имя", "Сервер", "Логин", "Пароль", "Кол-во", "", "", "", "", ""};
    const int widths[kColumnCount] = {200, 135, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < kColumnCount; ++i) {
        std::wstring caption = Widen(captions[i]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = caption.data();
        column.cx = Scaled(widths[i]);
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
    c.ListView1 = list;
    c.CheckBox2 = CreateControl(page, kCheckBox, "Уведомлять при загрузке программы о подключении к e-mail",
                                {4, 144, 350, 17}, kCheckBox2, font_.get());
}

void TForm2::CreateIndicationPage(HWND page) {
    SettingsDialogControls& c = controls_;
    const HFONT font = font_.get();
    c.GroupBox3 = CreateControl(page, kGroupBox, "Использовать звуковой сигнал", {6, 4, 346, 58}, kStatic, font);
    pictureControls_[CreateControl(page, kOwnerDrawn, "", {14, 22, 32, 32}, kStatic, nullptr)] = DialogPicture::Sound;
    c.ComboBox2 = CreateControl(page, kDropDown, "", {54, 27, 252, 200}, kComboBox2, font);
    const HWND play =
        CreateControl(page, {WC_BUTTONW, WS_TABSTOP | BS_ICON | BS_CENTER}, "", {312, 25, 26, 25}, kToolButton1, font);
    SendMessageW(play, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(playGlyph_.get()));
    c.ToolButton1 = play;
    c.CheckBox1 = CreateControl(page, kCheckBox, "Мигание иконки при поступлении нового сообщения", {10, 68, 342, 17},
                                kCheckBox1, font);
    c.GroupBox4 = CreateControl(page, kGroupBox, "Скорость анимации", {6, 92, 346, 70}, kStatic, font);
    c.Label4 = CreateControl(page, Label(SS_RIGHT), "меньше", {10, 120, 58, 14}, kStatic, font);
    c.TrackBar1 = CreateTrackBar(page, {72, 112, 150, 32}, kTrackBar1, kMaxAnimationSpeed, font);
    c.Label5 = CreateControl(page, Label(SS_LEFT), "больше", {226, 120, 56, 14}, kStatic, font);
    const HWND time = CreateControl(page, {WC_EDITW, WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE}, "8",
                                    {288, 116, 40, 21}, kSpinEdit1, font);
    const HWND spin =
        CreateControl(page, {UPDOWN_CLASSW, UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS}, "", {},
                      kSpinButton, nullptr);
    SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(time), 0);
    SendMessageW(spin, UDM_SETRANGE32, kMinDisplayTime, kMaxDisplayTime);
    c.SpinEdit1 = time;
    c.CheckBox3 = CreateControl(page, kCheckBox, "Сообщать только о новой почте", {10, 168, 342, 17}, kCheckBox3, font);
    c.CheckBox4 =
        CreateControl(page, kCheckBox, "Показывать число писем на значке", {10, 188, 342, 17}, kCheckBox4, font);
    c.CheckBox5 = CreateControl(page, kCheckBox, "Не беспокоить во время презентаций и игр", {10, 208, 342, 17},
                                kCheckBox5, font);
    hints_.Set(play, "Play");
    hints_.Set(time, "Показывать конверт");
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

bool TForm2::PaintOwnerDrawn(const DRAWITEMSTRUCT& item) {
    const SettingsDialogControls& c = controls_;
    if (item.hwndItem == c.Label1 || item.hwndItem == c.Label2 || item.hwndItem == c.Label3) {
        PaintHeaderLabel(item);
        return true;
    }
    const auto found = pictureControls_.find(item.hwndItem);
    if (found == pictureControls_.end()) {
        return false;
    }
    // The page's own (themed) background first, so the picture's transparent parts show it.
    const auto background = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(item.hwndItem), WM_CTLCOLORSTATIC,
                                                                  reinterpret_cast<WPARAM>(item.hDC),
                                                                  reinterpret_cast<LPARAM>(item.hwndItem)));
    FillRect(item.hDC, &item.rcItem, background ? background : GetSysColorBrush(COLOR_BTNFACE));
    DrawPicture(item.hDC, item.rcItem, *pictures_[found->second]);
    return true;
}

void TForm2::PaintHeaderLabel(const DRAWITEMSTRUCT& item) {
    FillRect(item.hDC, &item.rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(COLOR_WINDOWTEXT));
    RECT self{};
    GetWindowRect(item.hwndItem, &self);
    for (const HWND label : {controls_.Label1, controls_.Label2, controls_.Label3}) {
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

}  // namespace pigeonet
