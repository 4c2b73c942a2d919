// The sample machine: its layout per version and its SQLite files.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"
#include "tools/sample_machine.h"

namespace kelvora::test {
namespace {

namespace fs = std::filesystem;

unsigned be32(const std::string& data, std::size_t at) {
    unsigned value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(data[at + i]);
    return value;
}

TEST(SampleMachine, SqliteFilesFollowTheFileFormat) {
    const std::string db = tools::sqliteDatabase(
        {{"moz_places", {"url", "title"}, {{"http://www.example.org/", "Example"}, {"http://a/", "A"}}},
         {"moz_bookmarks", {"title"}, {}}});
    ASSERT_EQ(db.size(), 3u * 4096u);
    EXPECT_EQ(db.substr(0, 16), std::string("SQLite format 3\0", 16));
    EXPECT_EQ(static_cast<unsigned char>(db[16]) << 8 | static_cast<unsigned char>(db[17]), 4096);
    EXPECT_EQ(be32(db, 28), 3u);  // pages in the file
    EXPECT_EQ(db[100], 0x0D);     // the schema: a table leaf page
    EXPECT_EQ(db[104], 2);        // two tables
    EXPECT_NE(db.find("CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url TEXT, title TEXT)"),
              std::string::npos);
    EXPECT_EQ(db[4096], 0x0D);
    EXPECT_EQ(db[4096 + 4], 2);  // two rows
    EXPECT_EQ(db[8192 + 4], 0);  // no rows
}

TEST(SampleMachine, LayoutFollowsTheVersion) {
    TempDir tmp;
    const auto xp = tools::buildSampleMachine(tmp / "xp", {"5", "bob"});
    const auto vista = tools::buildSampleMachine(tmp / "vista", {"6", "bob"});
    EXPECT_TRUE(
        fs::exists(tmp / "xp/Documents and Settings/bob/Application Data/Mozilla/Firefox/profiles.ini"));
    EXPECT_TRUE(fs::exists(tmp / "vista/Users/bob/AppData/Roaming/Mozilla/Firefox/profiles.ini"));
    // Opera 9 on XP keeps a "profile" subfolder, Opera 10 on Vista doesn't.
    EXPECT_TRUE(fs::exists(xp.roaming() / "Opera/Opera/profile/speeddial.ini"));
    EXPECT_TRUE(fs::exists(vista.roaming() / "Opera/Opera/speeddial.ini"));
    EXPECT_TRUE(fs::exists(vista.local() / "Google/Chrome/User Data/Profile 1/Bookmarks"));
    EXPECT_EQ(vista.facts().windoze, "6");
    EXPECT_EQ(xp.facts().uzer, "bob");
    EXPECT_THROW(tools::buildSampleMachine(tmp / "other", {"7", "bob"}), std::runtime_error);
}

}  // namespace
}  // namespace kelvora::test
