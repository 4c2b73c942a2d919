// kelvora-cli with "ie": the four tasks between two sample machines, the items, and the refusals.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/command.h"
#include "ie_fixture.h"

namespace kelvora::test {
namespace {

struct Run {
    int code;
    std::string out, err;
};

Run cli(const IeFixture& f, std::vector<std::string> args) {
    std::ostringstream out, err;
    cli::Context ctx{out, err, false};
    args.insert(args.begin(),
                {"--root", f.machine.root.string(), "--user", "ann", "--windows-version", f.machine.version});
    const int code = cli::runCli(args, ctx);
    return {code, out.str(), err.str()};
}

TEST(IeCommandLine, SelectiveAndFullBetweenAnXpAndAVistaMachine) {
    IeFixture f("5");
    const auto original = ieKeys();
    const auto favorites = snapshot(f.favorites());

    auto run = cli(f, {"backup", "ie", "--to", f.saves(), "--items", "history, Favorites,settings"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(topLevel(f.entries("backup_ie.dat")),
              (std::vector<std::string>{"hist.reg", "set.reg", "set2.reg", "set3.reg", "set4.reg", "set5.reg",
                                        "set6.reg", "set7.reg"}));
    run = cli(f, {"full-backup", "IE", "--to", f.saves()});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(topLevel(f.entries("allsave_ie.dat")), sorted(hiveNames()));

    f.moveToSecondMachine("6");
    run = cli(f, {"restore", "IE", "--from", f.saves(), "--items", "History"});
    ASSERT_EQ(run.code, 0) << run.err;
    auto keys = ieKeys();
    EXPECT_EQ(keys.at("hist.reg"), original.at("hist.reg"));
    EXPECT_EQ(keys.at("set.reg")->values, changedKey().values);

    run = cli(f, {"full-restore", "ie", "--from", f.saves()});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(ieKeys(), original);
    EXPECT_EQ(snapshot(f.favorites()), favorites);
}

TEST(IeCommandLine, ItemsAndRefusals) {
    IeFixture f;
    auto run = cli(f, {"items", "ie"});
    ASSERT_EQ(run.code, 0);
    EXPECT_NE(
        run.out.find(
            "Sessions: rec.reg (HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Recovery\\), "
            "Recovery\\"),
        std::string::npos)
        << run.out;

    struct Case {
        std::vector<std::string> args;
        int code;
        std::string err;
    };
    const Case cases[] = {
        {{"backup", "ie", "--to", f.saves(), "--items", "Dialup"}, 2, "Unknown item \"Dialup\""},
        {{"backup", "ie", "--to", (f.tmp / "nowhere").string()}, 1, "does not exist"},
        {{"restore", "ie", "--from", f.saves()}, 1, "Backup File \"backup_ie.dat\" Not Found"},
        {{"full-restore", "ie", "--from", f.saves()}, 1, "Backup File \"allsave_ie.dat\" Not Found"},
    };
    for (const auto& c : cases) {
        run = cli(f, c.args);
        EXPECT_EQ(run.code, c.code) << c.args[0];
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    }

    // A folder named like the old staging folder is no obstacle; an existing archive is.
    fs::create_directories(f.savesDir() / "backup_ie");
    run = cli(f, {"backup", "ie", "--to", f.saves()});
    EXPECT_EQ(run.code, 0) << run.err;
    run = cli(f, {"backup", "ie", "--to", f.saves()});
    EXPECT_EQ(run.code, 4);
    EXPECT_NE(run.err.find("Give --overwrite to replace it."), std::string::npos) << run.err;
    run = cli(f, {"backup", "ie", "--to", f.saves(), "--overwrite"});
    EXPECT_EQ(run.code, 0) << run.err;
}

// A machine without the user's registry file (a Wine prefix has none): the folders are saved, every
// key is listed as left out, and the exit code says so.
TEST(IeCommandLine, WithoutTheRegistryFileEachKeyIsLeftOut) {
    IeFixture f;
    for (const auto& entry : fs::recursive_directory_iterator(f.machine.root)) {
        if (entry.path().filename() == "NTUSER.DAT") {
            fs::remove(entry.path());
            break;
        }
    }
    const auto run = cli(f, {"backup", "ie", "--to", f.saves(), "--items", "History,Favorites"});
    EXPECT_EQ(run.code, 3) << run.err;
    EXPECT_NE(
        run.err.find("History: HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedURLs\\ ("),
        std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("NTUSER.DAT\": the file does not exist"), std::string::npos) << run.err;
    EXPECT_EQ(inFolder(f.entries(browsers::ie::kSelectiveArchive), "Favorites").size(), 3u);
}

}  // namespace
}  // namespace kelvora::test
