#include "views/mediainfo/MediaInfoBox.h"

#include "views/DialogService.h"

#include "support/TestDirs.h"

#include <gtest/gtest.h>

using namespace stillora;

namespace {

TEST(MediaInfoBox, ShowsOneInformationBoxWithAnOkButton) {
    auto scripted = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs* dialogs = scripted.get();
    SetDialogs(std::move(scripted));
    test::ScratchDir dir;

    showMediaInfo(dir.file("holiday.avi"));

    ASSERT_EQ(dialogs->asked.size(), 1u);
    EXPECT_EQ(dialogs->asked[0].kind, DialogService::Information);
    EXPECT_EQ(dialogs->asked[0].buttons, int(DialogService::Ok));
    EXPECT_EQ(dialogs->asked[0].text, "Media Info for:\r\n\r\nholiday.avi\r\n\r\n");
    SetDialogs(nullptr);
}

} // namespace
