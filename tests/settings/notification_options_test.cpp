// The three notification options newer than most stores: only new mail, the count on the icon, quiet while busy.
#include "settings/live_settings.h"
#include "settings/settings_store.h"
#include "util/memory_registry.h"

#include <gtest/gtest.h>

namespace pigeonet {
namespace {

const std::string kSection = "Software\\Zelvik\\pg";

SettingsValues Loaded(const SettingsStore& store) {
    SettingsValues values;
    LoadSettingsInto(
        store, values, [] { return std::string("C:\\"); }, "(none)");
    return values;
}

TEST(NotificationOptions, AStoreWithoutThemLoadsTheDefaultsAndSavesAsBefore) {
    MemoryRegistry registry;
    SettingsStore store(registry);
    const SettingsValues values = Loaded(store);
    EXPECT_TRUE(values.announceOnlyNew);
    EXPECT_FALSE(values.countOnIcon);
    EXPECT_TRUE(values.quietWhileBusy);
    EXPECT_TRUE(values.unreadable.empty());
    EXPECT_EQ(values.absent, (UnreadableAtLoad{{"onlynew", "1"}, {"badge", "0"}, {"quiet", "1"}}));

    UnreadableAtLoad leave = values.absent;
    MemoryLiveSettings settings(values);
    SaveLiveSettings(store, settings, &leave);
    for (const char* name : {"onlynew", "badge", "quiet"}) {
        EXPECT_FALSE(store.HasValue("pg", name)) << name;
    }
    EXPECT_EQ(store.LoadText("pg", "infoconect", ""), "0");

    settings.Values().countOnIcon = true;
    SaveLiveSettings(store, settings, &leave);
    EXPECT_EQ(store.LoadText("pg", "badge", ""), "1") << "a changed option is saved";
    EXPECT_FALSE(store.HasValue("pg", "onlynew"));
    SaveLiveSettings(store, settings);
    EXPECT_EQ(store.LoadText("pg", "onlynew", ""), "1");
    EXPECT_EQ(store.LoadText("pg", "quiet", ""), "1");
}

TEST(NotificationOptions, LoadAsFlagsAndADamagedOneTakesItsDefaultIsReportedAndStaysAsStored) {
    MemoryRegistry registry;
    SettingsStore store(registry);
    registry.PutRawText(kSection, "onlynew", "0");
    registry.PutRawText(kSection, "badge", "1");
    registry.PutNonText(kSection, "quiet");
    SettingsValues values = Loaded(store);
    EXPECT_FALSE(values.announceOnlyNew);
    EXPECT_TRUE(values.countOnIcon);
    EXPECT_TRUE(values.quietWhileBusy);
    EXPECT_TRUE(values.absent.empty());
    EXPECT_EQ(values.unreadable, (UnreadableAtLoad{{"quiet", "1"}}));
    EXPECT_EQ(store.Unreadable().TakeReport(), "Invalid data type for 'quiet'");

    UnreadableAtLoad leave = values.unreadable;
    MemoryLiveSettings settings(values);
    SaveLiveSettings(store, settings, &leave);
    EXPECT_FALSE(registry.ReadValue(kSection, "quiet")->isText) << "never overwritten while unchanged";
    EXPECT_EQ(store.LoadText("pg", "onlynew", ""), "0");
    EXPECT_EQ(store.LoadText("pg", "badge", ""), "1");
    settings.Values().quietWhileBusy = false;
    SaveLiveSettings(store, settings, &leave);
    EXPECT_EQ(store.LoadText("pg", "quiet", ""), "0");
}

}  // namespace
}  // namespace pigeonet
