#include "i18n/language.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pigeonet {
namespace {

struct MenuCase {
    LanguageIndex language;
    const char* checkNow;  // N7
    const char* openMail;  // N6
    const char* settings;  // N1
    const char* startup;   // N2
    const char* webSite;   // N3
    const char* exit;      // N4
};

TEST(TextsForLanguage, GivesTheTrayMenuInEachLanguage) {
    const MenuCase cases[] = {
        {LanguageIndex::Russian, "Проверить почту", "Открыть почту", "Настройки...", "Автозагрузка", "Сайт программы",
         "Выход"},
        // The table's English field for the exit item is "Close".
        {LanguageIndex::English, "Check your mail", "Open mail", "Settings...", "Startup", "Website", "Close"},
        {LanguageIndex::German, "E-Mails abrufen", "Post öffnen", "Einstellungen...", "Autostart", "Programm-Website",
         "Beenden"},
        {LanguageIndex::Kazakh, "", "", "...", "", "", ""},
    };
    for (const auto& c : cases) {
        const LanguageTexts texts = TextsForLanguage(c.language);
        const auto lang = static_cast<int>(c.language);
        EXPECT_EQ(TextFor(texts, LangTarget::MenuN7), c.checkNow) << lang;
        EXPECT_EQ(TextFor(texts, LangTarget::MenuN6), c.openMail) << lang;
        EXPECT_EQ(TextFor(texts, LangTarget::MenuN1), c.settings) << lang;
        EXPECT_EQ(TextFor(texts, LangTarget::MenuN2), c.startup) << lang;
        EXPECT_EQ(TextFor(texts, LangTarget::MenuN3), c.webSite) << lang;
        EXPECT_EQ(TextFor(texts, LangTarget::MenuN4), c.exit) << lang;
    }
}

TEST(TextsForLanguage, SetsEveryTargetOnceInTheApplicationOrder) {
    const LangTarget order[] = {
        LangTarget::MenuN4,
        LangTarget::MenuN3,
        LangTarget::MenuN2,
        LangTarget::MenuN1,
        LangTarget::MenuN6,
        LangTarget::MainLabel8,
        LangTarget::DialogLabel2,
        LangTarget::DialogTabSheet3,
        LangTarget::DialogGroupBox1,
        LangTarget::DialogLabel7,
        LangTarget::DialogGroupBox2,
        LangTarget::DialogButton1,
        LangTarget::DialogButton2,
        LangTarget::DialogButton3,
        LangTarget::DialogButton5,
        LangTarget::DialogListView1Column0,
        LangTarget::DialogListView1Column1,
        LangTarget::DialogTabSheet2,
        LangTarget::DialogGroupBox3,
        LangTarget::DialogCheckBox1,
        LangTarget::DialogGroupBox4,
        LangTarget::DialogLabel4,
        LangTarget::DialogLabel5,
        LangTarget::DialogLabel6Hint,
        LangTarget::DialogSpinEdit1Hint,
        LangTarget::DialogCheckBox2,
        LangTarget::EditorLabel3,
        LangTarget::EditorLabel1,
        LangTarget::EditorLabel2,
        LangTarget::EditorButton2,
        LangTarget::MenuN7,
        LangTarget::EditorLabel6,
        LangTarget::EditorLabel7,
        LangTarget::EditorComboBox3None,
        LangTarget::EditorButton3,
        LangTarget::EditorTestRunning,
        LangTarget::EditorTestUnread,
        LangTarget::EditorTestMessages,
        LangTarget::EditorTestFailed,
        LangTarget::DialogCheckBox3,
        LangTarget::DialogCheckBox4,
        LangTarget::DialogCheckBox5,
    };
    const LanguageTexts texts = TextsForLanguage(LanguageIndex::English);
    ASSERT_EQ(texts.size(), std::size(order));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(texts[i].target, order[i]) << "row " << i + 1;
    }
}

TEST(TextsForLanguage, TakesEachTargetsOwnLine) {
    const std::pair<LangTarget, const char*> english[] = {
        {LangTarget::MainLabel8, "checking e-mail"},
        {LangTarget::DialogLabel2, "notification of incoming mail"},
        {LangTarget::DialogTabSheet3, "Main"},
        {LangTarget::DialogGroupBox1, "Program or website for viewing mail"},
        {LangTarget::DialogLabel7, "file or address (http://) for reading mail"},
        {LangTarget::DialogGroupBox2, "Interval"},
        {LangTarget::DialogButton1, "Add"},
        {LangTarget::DialogButton2, "Edit"},
        {LangTarget::DialogButton3, "Delete"},
        {LangTarget::DialogButton5, "Cancel"},
        {LangTarget::DialogListView1Column0, "Name"},
        {LangTarget::DialogListView1Column1, "Server"},
        {LangTarget::DialogTabSheet2, "Notification"},
        {LangTarget::DialogGroupBox3, "Sound signal"},
        {LangTarget::DialogCheckBox1, "Flash the icon when a new message arrives"},
        {LangTarget::DialogGroupBox4, "Animation speed"},
        {LangTarget::DialogLabel4, "less"},
        {LangTarget::DialogLabel5, "more"},
        {LangTarget::DialogLabel6Hint, "min."},
        {LangTarget::DialogSpinEdit1Hint, "Show envelope"},
        {LangTarget::DialogCheckBox2, "Notify me at start-up when connected to e-mail"},
        {LangTarget::EditorLabel3, "Login"},
        {LangTarget::EditorLabel1, "Password"},
        {LangTarget::EditorLabel2, "Incoming mail server"},
        {LangTarget::EditorButton2, "Cancel"},
    };
    const LanguageTexts texts = TextsForLanguage(LanguageIndex::English);
    for (const auto& [target, expected] : english) {
        EXPECT_EQ(TextFor(texts, target), expected) << static_cast<int>(target);
    }
    // The editor labels lose the colons they start with.
    const LanguageTexts russian = TextsForLanguage(LanguageIndex::Russian);
    EXPECT_EQ(TextFor(russian, LangTarget::EditorLabel3), "Логин");
    EXPECT_EQ(TextFor(russian, LangTarget::DialogGroupBox3), "Звуковой сигнал");
}

TEST(TextsForLanguage, GivesTheEditorsConnectionAndTestTexts) {
    const std::pair<LangTarget, const char*> english[] = {
        {LangTarget::EditorLabel6, "Protocol"},
        {LangTarget::EditorLabel7, "Connection security"},
        {LangTarget::EditorComboBox3None, "None"},
        {LangTarget::EditorButton3, "Test"},
        {LangTarget::EditorTestRunning, "Testing..."},
        {LangTarget::EditorTestUnread, "Connected: %s unread"},
        {LangTarget::EditorTestMessages, "Connected: %s messages"},
        {LangTarget::EditorTestFailed, "Failed: %s"},
    };
    for (const auto& [target, text] : english) {
        EXPECT_EQ(TextFor(TextsForLanguage(LanguageIndex::English), target), text);
        EXPECT_EQ(WindowOfTarget(target), LangWindow::Editor) << text;
    }
    EXPECT_EQ(TextFor(TextsForLanguage(LanguageIndex::Russian), LangTarget::EditorComboBox3None), "Нет");
    EXPECT_EQ(TextFor(TextsForLanguage(LanguageIndex::German), LangTarget::EditorComboBox3None), "Keine");
    EXPECT_EQ(TextFor(TextsForLanguage(LanguageIndex::German), LangTarget::EditorTestFailed), "Fehlgeschlagen: %s");
}

TEST(TextsForLanguage, GivesTheNotificationOptionsToTheSettingsDialog) {
    const std::pair<LangTarget, const char*> english[] = {
        {LangTarget::DialogCheckBox3, "Announce only new mail"},
        {LangTarget::DialogCheckBox4, "Show the count on the icon"},
        {LangTarget::DialogCheckBox5, "Stay quiet while I present or play full screen"},
    };
    for (const auto& [target, text] : english) {
        EXPECT_EQ(TextFor(TextsForLanguage(LanguageIndex::English), target), text);
        EXPECT_EQ(WindowOfTarget(target), LangWindow::Settings) << text;
    }
    EXPECT_EQ(TextFor(TextsForLanguage(LanguageIndex::German), LangTarget::DialogCheckBox3), "Nur neue Post melden");
}

TEST(TextsForLanguage, EmptiesEverythingButTheSettingsEllipsisForTheHiddenLanguage) {
    for (const LanguageText& entry : TextsForLanguage(LanguageIndex::Kazakh)) {
        EXPECT_EQ(entry.text, entry.target == LangTarget::MenuN1 ? "..." : "") << static_cast<int>(entry.target);
    }
}

struct IntervalCase {
    LanguageIndex language;
    std::int32_t position;
    const char* expected;
};

TEST(IntervalLabelText, ShowsTheLessWordAtPositionZeroAndTheNumberOtherwise) {
    const IntervalCase cases[] = {
        {LanguageIndex::German, 0, "weniger min."},
        {LanguageIndex::German, 9, "9 min."},
        {LanguageIndex::German, 30, "30 min."},
        {LanguageIndex::English, 0, "less min."},
        {LanguageIndex::Russian, 0, "меньше мин."},
        {LanguageIndex::Russian, 9, "9 мин."},
        {LanguageIndex::Kazakh, 0, " "},
        {LanguageIndex::Kazakh, 9, "9 "},
    };
    for (const auto& c : cases) {
        const LanguageTexts texts = TextsForLanguage(c.language);
        EXPECT_EQ(IntervalLabelText(c.position, TextFor(texts, LangTarget::DialogLabel4),
                                    TextFor(texts, LangTarget::DialogLabel6Hint)),
                  c.expected)
            << static_cast<int>(c.language) << " at " << c.position;
    }
}

struct MarksCase {
    LanguageMarks marks;
    LanguageIndex expected;
};

TEST(LanguageFromMarks, LetsTheLastCheckedItemWinAndDefaultsToRussian) {
    const MarksCase cases[] = {
        {{false, false, false, false}, LanguageIndex::Russian}, {{true, false, false, false}, LanguageIndex::Russian},
        {{false, true, false, false}, LanguageIndex::English},  {{false, false, true, false}, LanguageIndex::German},
        {{false, false, false, true}, LanguageIndex::Kazakh},   {{true, true, false, false}, LanguageIndex::English},
        {{true, false, true, false}, LanguageIndex::German},    {{false, true, true, false}, LanguageIndex::German},
        {{true, true, true, true}, LanguageIndex::Kazakh},
    };
    for (const auto& c : cases) {
        const LanguageMarks& m = c.marks;
        EXPECT_EQ(LanguageFromMarks(m), c.expected) << m.russian << m.english << m.german << m.kazakh;
        EXPECT_EQ(LanguageFromMarks(m.russian, m.english, m.german, m.kazakh), c.expected);
    }
}

TEST(MarksForStoredLanguage, ChecksOnlyTheStoredItemAndNothingForOtherValues) {
    const std::pair<std::int32_t, LanguageMarks> cases[] = {
        {0, {true, false, false, false}},  {1, {false, true, false, false}},  {2, {false, false, true, false}},
        {3, {false, false, false, true}},  {7, {false, false, false, false}}, {-1, {false, false, false, false}},
        {4, {false, false, false, false}},
    };
    for (const auto& [stored, expected] : cases) {
        EXPECT_EQ(MarksForStoredLanguage(stored), expected) << "lang " << stored;
    }
    EXPECT_EQ(MarksForChoice(LanguageIndex::German), (LanguageMarks{false, false, true, false}));
}

// Stands in for the windows: keeps the marks, the texts and an interval label computed the way the settings
// dialog computes it, and logs every effect in order.
class FakeSurface : public LanguageSurface {
  public:
    explicit FakeSurface(LanguageMarks marks, std::int32_t intervalPosition = 9)
        : marks_(marks), position_(intervalPosition) {}

    LanguageMarks Marks() const override { return marks_; }
    void SetMarks(const LanguageMarks& marks) override {
        marks_ = marks;
        log.push_back("marks");
    }
    void SetText(LangTarget target, const std::string& text) override {
        texts[target] = text;
        log.push_back("text");
    }
    void RefreshIntervalLabel() override {
        intervalLabel =
            IntervalLabelText(position_, texts[LangTarget::DialogLabel4], texts[LangTarget::DialogLabel6Hint]);
        log.push_back("interval");
    }

    std::map<LangTarget, std::string> texts;
    std::string intervalLabel;
    std::vector<std::string> log;

  private:
    LanguageMarks marks_;
    std::int32_t position_;
};

struct LangRunCase {
    std::int32_t storedLang;
    std::int32_t expectedSaved;
    const char* settingsItem;
};

TEST(Lang, AppliesTheStartUpMarksAndSavesTheLanguageItApplied) {
    const LangRunCase cases[] = {
        {0, 0, "Настройки..."}, {1, 1, "Settings..."},  {2, 2, "Einstellungen..."},
        {3, 3, "..."},          {7, 0, "Настройки..."}, {-1, 0, "Настройки..."},
    };
    for (const auto& c : cases) {
        const LanguageMarks marks = MarksForStoredLanguage(c.storedLang);
        FakeSurface surface(marks);
        std::vector<std::int32_t> saved;
        Lang(surface, [&](std::int32_t lang) {
            saved.push_back(lang);
            surface.log.push_back("save");
        });
        EXPECT_EQ(saved, std::vector<std::int32_t>{c.expectedSaved}) << "lang " << c.storedLang;
        EXPECT_EQ(surface.texts[LangTarget::MenuN1], c.settingsItem) << "lang " << c.storedLang;
        EXPECT_EQ(surface.Marks(), marks) << "Lang never touches the marks";
        ASSERT_FALSE(surface.log.empty());
        EXPECT_EQ(surface.log.front(), "save") << "the language is saved before any text changes";
    }
}

TEST(Lang, RecomputesTheIntervalLabelRightAfterItsUnitWord) {
    FakeSurface surface(MarksForChoice(LanguageIndex::German), 0);
    Lang(surface, [](std::int32_t) {});
    EXPECT_EQ(surface.intervalLabel, "weniger min.");
    ASSERT_EQ(surface.log.size(), kLangRowCount + 1);
    EXPECT_EQ(surface.log[24], "interval");  // after row 24, the unit word

    FakeSurface hidden(MarksForChoice(LanguageIndex::Kazakh), 9);
    Lang(hidden, [](std::int32_t) {});
    EXPECT_EQ(hidden.intervalLabel, "9 ");
}

TEST(Lang, LeavesEveryTextAloneWhenSavingFails) {
    FakeSurface surface(MarksForChoice(LanguageIndex::English));
    EXPECT_THROW(Lang(surface, [](std::int32_t) { throw std::runtime_error("store"); }), std::runtime_error);
    EXPECT_TRUE(surface.texts.empty());
}

TEST(SelectLanguage, ChecksTheChosenItemAloneThenApplies) {
    FakeSurface surface(MarksForStoredLanguage(7));
    std::optional<std::int32_t> saved;
    SelectLanguage(surface, LanguageIndex::English, [&](std::int32_t lang) { saved = lang; });
    EXPECT_EQ(surface.Marks(), (LanguageMarks{false, true, false, false}));
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(surface.log.front(), "marks");
    EXPECT_EQ(surface.texts[LangTarget::MenuN7], "Check your mail");
    // The account editor's caption is built from these buttons' captions.
    EXPECT_EQ(surface.texts[LangTarget::DialogButton1] + " E-mail", "Add E-mail");
    EXPECT_EQ(surface.texts[LangTarget::DialogButton2] + " E-mail", "Edit E-mail");
}

}  // namespace
}  // namespace pigeonet
