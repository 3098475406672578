// The dialogs' texts: as designed, and as the language switch sets them.
#include "i18n/language.h"
#include "settings/dialogs/account_editor_win32.h"
#include "settings/dialogs/settings_dialog_win32.h"
#include "util/unicode_win32.h"
#include "util/window_text_win32.h"

#include "support/settings_dialog_fixture_win32.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

namespace pigeonet {
namespace {

TEST_F(SettingsDialog, SetsEveryTextTheLanguageSwitchNames) {
    Open();
    const SettingsDialogControls& d = DialogControls();
    const AccountEditorControls& e = EditorControls();
    auto text = [](HWND control) { return [control] { return WindowTextUtf8(control); }; };
    // Where each target of the two dialogs shows its text.
    const std::map<LangTarget, std::function<std::string()>> shown = {
        {LangTarget::DialogLabel2, text(d.Label2)},
        {LangTarget::DialogTabSheet3, [&] { return dialog_->TabCaption(0); }},
        {LangTarget::DialogGroupBox1, text(d.GroupBox1)},
        {LangTarget::DialogLabel7, text(d.Label7)},
        {LangTarget::DialogGroupBox2, text(d.GroupBox2)},
        {LangTarget::DialogButton1, text(d.Button1)},
        {LangTarget::DialogButton2, text(d.Button2)},
        {LangTarget::DialogButton3, text(d.Button3)},
        {LangTarget::DialogButton5, text(d.Button5)},
        {LangTarget::DialogListView1Column0, [&] { return dialog_->ColumnCaption(0); }},
        {LangTarget::DialogListView1Column1, [&] { return dialog_->ColumnCaption(1); }},
        {LangTarget::DialogTabSheet2, [&] { return dialog_->TabCaption(2); }},
        {LangTarget::DialogGroupBox3, text(d.GroupBox3)},
        {LangTarget::DialogCheckBox1, text(d.CheckBox1)},
        {LangTarget::DialogGroupBox4, text(d.GroupBox4)},
        {LangTarget::DialogLabel4, text(d.Label4)},
        {LangTarget::DialogLabel5, text(d.Label5)},
        {LangTarget::DialogLabel6Hint, [&] { return dialog_->Hint(d.Label6); }},
        {LangTarget::DialogSpinEdit1Hint, [&] { return dialog_->Hint(d.SpinEdit1); }},
        {LangTarget::DialogCheckBox2, text(d.CheckBox2)},
        {LangTarget::DialogCheckBox3, text(d.CheckBox3)},
        {LangTarget::DialogCheckBox4, text(d.CheckBox4)},
        {LangTarget::DialogCheckBox5, text(d.CheckBox5)},
        {LangTarget::EditorLabel3, text(e.Label3)},
        {LangTarget::EditorLabel1, text(e.Label1)},
        {LangTarget::EditorLabel2, text(e.Label2)},
        {LangTarget::EditorButton2, text(e.Button2)},
        {LangTarget::EditorLabel6, text(e.Label6)},
        {LangTarget::EditorLabel7, text(e.Label7)},
        {LangTarget::EditorButton3, text(e.Button3)},
        {LangTarget::EditorComboBox3None,
         [&] {
             wchar_t entry[64] = {};
             SendMessageW(e.ComboBox3, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(entry));
             return Narrow(entry);
         }},
        {LangTarget::EditorTestRunning, [&] { return editor_->TestText(LangTarget::EditorTestRunning); }},
        {LangTarget::EditorTestUnread, [&] { return editor_->TestText(LangTarget::EditorTestUnread); }},
        {LangTarget::EditorTestMessages, [&] { return editor_->TestText(LangTarget::EditorTestMessages); }},
        {LangTarget::EditorTestFailed, [&] { return editor_->TestText(LangTarget::EditorTestFailed); }},
    };
    int row = 0;
    for (const LangRow& entry : kLangApplicationTable) {
        ++row;
        const LangWindow window = WindowOfTarget(entry.target);
        if (window == LangWindow::Main) {
            continue;
        }
        const std::string given = "Текст " + std::to_string(row);
        LanguageTextOwner& owner = window == LangWindow::Editor ? static_cast<LanguageTextOwner&>(*editor_)
                                                                : static_cast<LanguageTextOwner&>(*dialog_);
        owner.ApplyText(entry.target, given);
        ASSERT_TRUE(shown.contains(entry.target)) << "row " << row;
        EXPECT_EQ(shown.at(entry.target)(), given) << "row " << row;
    }
    // A target of another window changes nothing, not even a control of the same name.
    const std::string version = WindowTextUtf8(d.Label3);
    dialog_->ApplyText(LangTarget::EditorLabel3, "x");
    dialog_->ApplyText(LangTarget::MenuN4, "x");
    editor_->ApplyText(LangTarget::DialogLabel2, "x");
    editor_->ApplyText(LangTarget::DialogLabel4, "x");
    EXPECT_EQ(WindowTextUtf8(d.Label3), version);
    EXPECT_EQ(WindowTextUtf8(e.Label2), "Текст 29");
    EXPECT_EQ(WindowTextUtf8(e.Label4), "E-mail:");
    EXPECT_EQ(WindowTextUtf8(dialog_->Handle()), "Pigeonet");
}

TEST_F(SettingsDialog, StartsWithTheDesignedTexts) {
    Open();
    EXPECT_EQ(WindowTextUtf8(dialog_->Handle()), "Pigeonet");
    EXPECT_EQ(dialog_->TabCaption(0), "Основные");
    EXPECT_EQ(dialog_->TabCaption(1), "E-mails");
    EXPECT_EQ(dialog_->ColumnCaption(4), "Кол-во");
    EXPECT_EQ(dialog_->Hint(DialogControls().Button6), "Обзор...");
    EXPECT_EQ(dialog_->Hint(DialogControls().ToolButton1), "Play");
    EXPECT_EQ(WindowTextUtf8(EditorControls().Label5), "Порт: (обычно 110, если SSL то 995)");
    EXPECT_EQ(WindowTextUtf8(EditorControls().ComboBox1), "110");
    EXPECT_FALSE(IsEnabled(EditorControls().Button1));
    RECT client;
    GetClientRect(dialog_->Handle(), &client);
    EXPECT_EQ(client.right, 474);
    EXPECT_EQ(client.bottom, 341);
    GetClientRect(editor_->Handle(), &client);
    EXPECT_EQ(client.right, 330);
    EXPECT_EQ(client.bottom, 400);
    EXPECT_EQ(WindowTextUtf8(EditorControls().Label6), "Протокол");
    EXPECT_EQ(WindowTextUtf8(EditorControls().Label7), "Защита соединения");
    EXPECT_EQ(WindowTextUtf8(EditorControls().Button3), "Проверить");
    EXPECT_EQ(WindowTextUtf8(EditorControls().Label8), "");
    EXPECT_EQ(WindowTextUtf8(DialogControls().CheckBox3), "Сообщать только о новой почте");
    EXPECT_EQ(WindowTextUtf8(DialogControls().CheckBox5), "Не беспокоить во время презентаций и игр");
    // The fixture's dialog has no account tester: nothing to press.
    EXPECT_FALSE(IsEnabled(EditorControls().Button3));
}

}  // namespace
}  // namespace pigeonet
