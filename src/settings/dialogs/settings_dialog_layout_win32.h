#pragma once

#include <windows.h>

namespace pigeonet::settings_dialog {

// The settings dialog's measures in designed (96 DPI) pixels, shared by the files that build, draw and read it.
inline constexpr int kClientWidth = 474;
// Taller than it was first designed by the notification tab's three options below the controls it always had,
// which keep their places; the tab control grows with it.
inline constexpr int kClientHeight = 341;
inline constexpr int kTabsHeight = 257;
inline constexpr int kHeaderHeight = 62;

// The control identifiers the dialog's handlers are found by.
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
    kCheckBox3,
    kCheckBox4,
    kCheckBox5,
    kButton4 = IDOK,
};

// Columns of the account list: what the user sees (address, server), the hidden fields of width 0, then the port,
// the protocol, the security and the IMAP UIDs, which the row holds without any column caption.
inline constexpr int kColumnCount = 10;
inline constexpr int kCountColumn = 4;
inline constexpr int kPortColumn = 5;
inline constexpr int kProtocolColumn = 6;
inline constexpr int kSecurityColumn = 7;
inline constexpr int kUidNextColumn = 8;
inline constexpr int kUidValidityColumn = 9;

}  // namespace pigeonet::settings_dialog
