#include "i18n/language.h"

#include "i18n/translation_table.h"

namespace pigeonet {

// Order matters: Label4 (row 22) must already read the new "less" word when the interval label is recomputed
// after its unit word (row 24).
const std::array<LangRow, kLangRowCount> kLangApplicationTable = {{
    {LangTarget::MenuN4, 0, ""},
    {LangTarget::MenuN3, 2, ""},
    {LangTarget::MenuN2, 3, ""},
    {LangTarget::MenuN1, 4, "..."},
    {LangTarget::MenuN6, 5, ""},
    {LangTarget::MainLabel8, 26, ""},
    {LangTarget::DialogLabel2, 6, ""},
    {LangTarget::DialogTabSheet3, 7, ""},
    {LangTarget::DialogGroupBox1, 8, ""},
    {LangTarget::DialogLabel7, 9, ""},
    {LangTarget::DialogGroupBox2, 10, ""},
    {LangTarget::DialogButton1, 14, ""},
    {LangTarget::DialogButton2, 15, ""},
    {LangTarget::DialogButton3, 16, ""},
    {LangTarget::DialogButton5, 1, ""},
    {LangTarget::DialogListView1Column0, 17, ""},
    {LangTarget::DialogListView1Column1, 18, ""},
    {LangTarget::DialogTabSheet2, 19, ""},
    {LangTarget::DialogGroupBox3, 20, ""},
    {LangTarget::DialogCheckBox1, 21, ""},
    {LangTarget::DialogGroupBox4, 25, ""},
    {LangTarget::DialogLabel4, 11, ""},
    {LangTarget::DialogLabel5, 12, ""},
    {LangTarget::DialogLabel6Hint, 13, ""},
    {LangTarget::DialogSpinEdit1Hint, 28, ""},
    {LangTarget::DialogCheckBox2, 29, ""},
    {LangTarget::EditorLabel3, 22, ""},
    {LangTarget::EditorLabel1, 23, ""},
    {LangTarget::EditorLabel2, 24, ""},
    {LangTarget::EditorButton2, 1, ""},
    {LangTarget::MenuN7, 31, ""},
    {LangTarget::EditorLabel6, 32, ""},
    {LangTarget::EditorLabel7, 33, ""},
    {LangTarget::EditorComboBox3None, 34, ""},
    {LangTarget::EditorButton3, 35, ""},
    {LangTarget::EditorTestRunning, 36, ""},
    {LangTarget::EditorTestUnread, 37, ""},
    {LangTarget::EditorTestMessages, 38, ""},
    {LangTarget::EditorTestFailed, 39, ""},
    {LangTarget::DialogCheckBox3, 42, ""},
    {LangTarget::DialogCheckBox4, 43, ""},
    {LangTarget::DialogCheckBox5, 44, ""},
}};

LanguageIndex LanguageFromMarks(bool russian, bool english, bool german, bool kazakh) {
    LanguageIndex language = LanguageIndex::Russian;
    if (russian) {
        language = LanguageIndex::Russian;
    }
    if (english) {
        language = LanguageIndex::English;
    }
    if (german) {
        language = LanguageIndex::German;
    }
    if (kazakh) {
        language = LanguageIndex::Kazakh;
    }
    return language;
}

LanguageIndex LanguageFromMarks(const LanguageMarks& marks) {
    return LanguageFromMarks(marks.russian, marks.english, marks.german, marks.kazakh);
}

LanguageMarks MarksForStoredLanguage(std::int32_t storedLang) {
    LanguageMarks marks;
    marks.russian = storedLang == 0;
    marks.english = storedLang == 1;
    marks.german = storedLang == 2;
    marks.kazakh = storedLang == 3;
    return marks;
}

LanguageMarks MarksForChoice(LanguageIndex language) {
    return MarksForStoredLanguage(static_cast<std::int32_t>(language));
}

LanguageTexts TextsForLanguage(LanguageIndex language) {
    const std::int64_t field = static_cast<std::int64_t>(language) + 1;
    LanguageTexts texts;
    texts.reserve(kLangApplicationTable.size());
    for (const LangRow& row : kLangApplicationTable) {
        texts.push_back({row.target, GetSubStr(tLang[row.line], ';', field) + std::string(row.suffix)});
    }
    return texts;
}

std::string_view TextFor(const LanguageTexts& texts, LangTarget target) {
    for (const LanguageText& entry : texts) {
        if (entry.target == target) {
            return entry.text;
        }
    }
    return {};
}

std::string IntervalLabelText(std::int32_t position, std::string_view lessWord, std::string_view unitWord) {
    std::string text = position != 0 ? std::to_string(position) : std::string(lessWord);
    text += ' ';
    text += unitWord;
    return text;
}

void Lang(LanguageSurface& surface, const SaveLanguage& save) {
    const LanguageIndex language = LanguageFromMarks(surface.Marks());
    save(static_cast<std::int32_t>(language));
    for (const LanguageText& entry : TextsForLanguage(language)) {
        surface.SetText(entry.target, entry.text);
        if (entry.target == LangTarget::DialogLabel6Hint) {
            surface.RefreshIntervalLabel();
        }
    }
}

void SelectLanguage(LanguageSurface& surface, LanguageIndex language, const SaveLanguage& save) {
    surface.SetMarks(MarksForChoice(language));
    Lang(surface, save);
}

LangWindow WindowOfTarget(LangTarget target) {
    switch (target) {
        case LangTarget::MenuN4:
        case LangTarget::MenuN3:
        case LangTarget::MenuN2:
        case LangTarget::MenuN1:
        case LangTarget::MenuN6:
        case LangTarget::MenuN7:
        case LangTarget::MainLabel8:
            return LangWindow::Main;
        case LangTarget::EditorLabel3:
        case LangTarget::EditorLabel1:
        case LangTarget::EditorLabel2:
        case LangTarget::EditorButton2:
        case LangTarget::EditorLabel6:
        case LangTarget::EditorLabel7:
        case LangTarget::EditorComboBox3None:
        case LangTarget::EditorButton3:
        case LangTarget::EditorTestRunning:
        case LangTarget::EditorTestUnread:
        case LangTarget::EditorTestMessages:
        case LangTarget::EditorTestFailed:
            return LangWindow::Editor;
        default:
            return LangWindow::Settings;
    }
}

}  // namespace pigeonet
