#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pigeonet {

// The interface language; persisted as the integer "lang". Kazakh is the hidden fourth language: its menu item
// is never shown and the translation table has no texts for it, so it empties every translated text.
enum class LanguageIndex : std::int32_t {
    Russian = 0,
    English = 1,
    German = 2,
    Kazakh = 3,
};

// The check marks of the four language items `Rusha`, `English`, `Deutsch`, `Kazah`. Only the program sets them;
// with a stored "lang" outside 0..3 all four stay clear.
struct LanguageMarks {
    bool russian = false;
    bool english = false;
    bool german = false;
    bool kazakh = false;

    bool operator==(const LanguageMarks&) const = default;
};

// The language the marks select. Tested in the order Russian, English, German, Kazakh with the later success
// winning, so should several be checked the last of them counts; none checked is Russian.
LanguageIndex LanguageFromMarks(bool russian, bool english, bool german, bool kazakh);
LanguageIndex LanguageFromMarks(const LanguageMarks& marks);

// The start-up marks for the stored "lang": its own item alone for 0..3, nothing checked for any other value.
LanguageMarks MarksForStoredLanguage(std::int32_t storedLang);

// The marks after the user picks a language item: that item checked, the other three cleared.
LanguageMarks MarksForChoice(LanguageIndex language);

// Every text the language switch sets, in the order it sets them. The prefix names who holds the text: Menu* items
// of the tray menu, Main* the main window `TForm1`, Dialog* the settings dialog `TForm2`, Editor* the account
// editor `TForm3`.
enum class LangTarget {
    MenuN4,                  // Exit item caption
    MenuN3,                  // web site item caption
    MenuN2,                  // autostart item caption
    MenuN1,                  // settings item caption, with "..." appended
    MenuN6,                  // open mail item caption
    MainLabel8,              // the status caption: no control shows it, the tray hint does during a check round
    DialogLabel2,            // header subtitle text
    DialogTabSheet3,         // first tab (index 0) caption
    DialogGroupBox1,         // mail program group caption
    DialogLabel7,            // note under the mail program field
    DialogGroupBox2,         // check interval group caption
    DialogButton1,           // add account button caption
    DialogButton2,           // edit account button caption
    DialogButton3,           // delete account button caption
    DialogButton5,           // Cancel button caption
    DialogListView1Column0,  // account list column 0 caption
    DialogListView1Column1,  // account list column 1 caption
    DialogTabSheet2,         // third tab (index 2) caption
    DialogGroupBox3,         // sound group caption
    DialogCheckBox1,         // flash option caption
    DialogGroupBox4,         // animation speed group caption
    DialogLabel4,            // left label of the speed bar, also the interval label's word for position 0
    DialogLabel5,            // right label of the speed bar
    DialogLabel6Hint,        // interval label hint = its unit word; the label's text must be recomputed after it
    DialogSpinEdit1Hint,     // envelope display time field hint
    DialogCheckBox2,         // connect notice option caption
    EditorLabel3,            // login label text
    EditorLabel1,            // password label text
    EditorLabel2,            // server label text
    EditorButton2,           // Cancel button caption
    MenuN7,                  // check now item caption
    EditorLabel6,            // protocol label text
    EditorLabel7,            // security label text
    EditorComboBox3None,     // the security list's first entry, no security
    EditorButton3,           // Test button caption
    // The patterns the account editor shows a test's progress and outcome with ("%s": the count or the failure).
    EditorTestRunning,
    EditorTestUnread,    // an IMAP account's unread count
    EditorTestMessages,  // a POP3 account's message count
    EditorTestFailed,
    DialogCheckBox3,  // only new mail option caption
    DialogCheckBox4,  // count on the icon option caption
    DialogCheckBox5,  // quiet while busy option caption
};

inline constexpr std::size_t kLangRowCount = 42;

// One row of the application table: which line of `tLang` goes to which target, and what is appended to it.
struct LangRow {
    LangTarget target;
    std::size_t line;
    std::string_view suffix;
};

extern const std::array<LangRow, kLangRowCount> kLangApplicationTable;

struct LanguageText {
    LangTarget target;
    std::string text;  // UTF-8

    bool operator==(const LanguageText&) const = default;
};
using LanguageTexts = std::vector<LanguageText>;

// The texts of a language, one per row, in the application table's order. Kazakh gives "..." for the settings item and
// "" everywhere else.
LanguageTexts TextsForLanguage(LanguageIndex language);

// The text a list from TextsForLanguage holds for a target ("" if it holds none).
std::string_view TextFor(const LanguageTexts& texts, LangTarget target);

// The interval label `Label6`: the position and the unit word, except that position 0 shows the speed bar's left
// label (`Label4`, whatever it reads at that moment) instead of the number. Both words are UTF-8; the blank
// between them is always there, even when the unit word is empty.
std::string IntervalLabelText(std::int32_t position, std::string_view lessWord, std::string_view unitWord);

// The window that shows a target's text, by the prefix of the target's name: Menu* and Main* the main window,
// Dialog* the settings dialog, Editor* the account editor.
enum class LangWindow { Main, Settings, Editor };
LangWindow WindowOfTarget(LangTarget target);

// A window's share of the language switch: each window sets the texts of its own targets.
class LanguageTextOwner {
  public:
    virtual ~LanguageTextOwner() = default;
    // Shows `text` (UTF-8) as the caption, text, column caption or hint that `target` names. Only targets of this
    // window (WindowOfTarget) are handed to it.
    virtual void ApplyText(LangTarget target, const std::string& text) = 0;
};

// What `Lang` needs of the windows; the Win32 main window implements it over its menu and the two dialogs.
class LanguageSurface {
  public:
    virtual ~LanguageSurface() = default;
    virtual LanguageMarks Marks() const = 0;
    virtual void SetMarks(const LanguageMarks& marks) = 0;
    // Sets one target's caption, text, column caption or hint (which one the target names). UTF-8.
    virtual void SetText(LangTarget target, const std::string& text) = 0;
    // Recomputes `Label6` from the current interval position, `Label4` text and `Label6` hint.
    virtual void RefreshIntervalLabel() = 0;
};

// Stores "lang" (section "pg"); may throw what the store throws.
using SaveLanguage = std::function<void(std::int32_t lang)>;

// Applies the language the marks select: saves it (every time, changed or not), then sets every target in table
// order, refreshing the interval label right after its unit word. Never changes the marks: with none checked it
// applies Russian and saves 0 but leaves the menu without a mark.
void Lang(LanguageSurface& surface, const SaveLanguage& save);

// A language item's command (`RushaClick`, `EnglishClick`, `DeutschClick`, `KazahClick`): that item checked,
// the other three cleared, then `Lang`.
void SelectLanguage(LanguageSurface& surface, LanguageIndex language, const SaveLanguage& save);

}  // namespace pigeonet
