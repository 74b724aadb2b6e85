// selector-check on the card's FAT mount: the mount that holds a path, the
// names the handheld's kernel gives a folder's entries and what the selector
// lists of them, whether a file runs there, and the menu's INI file. These
// are judged from what a mount gives (mountinfo's text, an entry's two
// names), which this machine cannot mount; the board tests mount real cards.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include "check.h"
#include "check_fat.h"
#include "support.h"

namespace {

TEST(SelectorCheckFat, FindsTheMountThatHoldsAPath) {
    const std::string mounts =
        "26 1 254:0 / / rw,relatime - ext4 /dev/vda rw,discard\n"
        "40 26 0:50 / /media/me/MY\\040CARD rw,nosuid,nodev,relatime shared:1 - vfat /dev/sdb1 "
        "rw,fmask=0022,dmask=0022,codepage=437,iocharset=ascii,shortname=mixed,showexec,utf8,errors=remount-"
        "ro\n"
        "41 26 0:51 / /mnt/sd rw,noexec - msdos /dev/sdc1 rw\n"
        "42 26 0:52 / /mnt/sd rw - vfat /dev/sdd1 rw,iocharset=iso8859-1\n"
        "43 26 0:53 / /srv/back\\134slash rw - tmpfs tmpfs rw\n"
        "bad line\n";
    const struct {
        const char* path;
        const char* point;
        const char* type;
        bool utf8, noexec;
    } cases[] = {
        {"/media/me/MY CARD/selector", "/media/me/MY CARD", "vfat", true, false},
        {"/media/me/MY CARD", "/media/me/MY CARD", "vfat", true, false},
        {"/media/me/MY CARDS/x", "/", "ext4", false, false},  // whole components only
        {"/mnt/sd/roms", "/mnt/sd", "vfat", false, false},    // the later of two alike: the one on top
        {"/mnt/sdcard", "/", "ext4", false, false},
        {"/srv/back\\slash/x", "/srv/back\\slash", "tmpfs", false, false},
        {"/home/me", "/", "ext4", false, false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.path);
        const Mount mount = mountHolding(mounts, row.path);
        EXPECT_EQ(mount.point, row.point);
        EXPECT_EQ(mount.type, row.type);
        EXPECT_EQ(namesInUtf8(mount), row.utf8);
        EXPECT_EQ(hasOption(mount, "noexec"), row.noexec);
    }
    EXPECT_TRUE(hasOption(mountHolding(mounts, "/mnt/sd/x"), "iocharset=iso8859-1"));
    EXPECT_EQ(mountHolding("", "/x").point, "");
    EXPECT_TRUE(namesInUtf8({"/m", "vfat", "rw,iocharset=utf8"}));
    EXPECT_FALSE(namesInUtf8({"/m", "vfat", "rw,utf8=0"}));
    // This machine's own mounts: the root holds everything.
    EXPECT_FALSE(mountOf("/").point.empty());
    EXPECT_EQ(mountOf("/no/such/path").point, "");
}

TEST(SelectorCheckFat, NamesEntriesAsTheHandheldsKernelDoes) {
    const std::string utf8 = "rw,shortname=mixed,utf8", latin1 = "rw,iocharset=iso8859-1";
    const struct {
        const char *shortName, *longName;
        const std::string& options;
        const char* handheld;
    } cases[] = {
        {"SMB.NES", "", utf8, "smb.nes"},  // 8.3 alone: in small letters
        {"smb.nes", "", utf8, "smb.nes"},  // the PC shows the NT lower-case flags
        {"SUPERM~1.NES", "Super Mario.nes", utf8, "Super Mario.nes"},
        {"POKMON~1.GBA", "Pok\xc3\xa9mon.gba", utf8, "Pok\xe9mon.gba"},  // UTF-8 to ISO 8859-1
        {"STAR~1.GBA", "\xe2\x98\x85 Star.gba", utf8, "? Star.gba"},     // U+2605 is not in it
        {"EMOJI~1.GBA", "\xf0\x9f\x98\x80.gba", utf8, "??.gba"},         // two UTF-16 units
        {"CAF~1.ROM", "Caf\xe9.rom", latin1, "Caf\xe9.rom"},             // already ISO 8859-1 here
        {"BAD~1.ROM", "Bad\xff.rom", utf8, "Bad\xff.rom"},               // no UTF-8: as it is
        {"\xc3\x89T\xc3\x89.ROM", "", utf8, "\xe9t\xe9.rom"},  // code page 437 lowers its E acute too
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.shortName);
        EXPECT_EQ(handheldName(row.shortName, row.longName, row.options), row.handheld);
    }
    const struct {
        const char *name, *copied;
    } copies[] = {
        {"SMB.NES", "smb.nes"},
        {"b.ROM", "b.rom"},
        {"Smb.nes", "Smb.nes"},
        {"SUPER MARIO.NES", "SUPER MARIO.NES"},
        {"A.B.NES", "A.B.NES"},
        {"GAME", "game"},
        {"TOOLONGNAME.NES", "TOOLONGNAME.NES"},
        {"\xe2\x98\x85.gba", "?.gba"},
    };
    for (const auto& row : copies) EXPECT_EQ(copiedName(row.name), row.copied) << row.name;
}

TEST(SelectorCheckFat, ListsAndNotesACardFolderAsTheHandheldShowsIt) {
    const std::string mixed = "rw,shortname=mixed,utf8";
    auto entries = [&](std::initializer_list<std::pair<const char*, const char*>> names) {
        std::vector<CardName> made;
        for (const auto& [shortName, longName] : names)
            made.push_back(
                {*longName ? longName : shortName, handheldName(shortName, longName, mixed), !*longName});
        return made;
    };
    const struct {
        const char* what;
        const char *extension1, *extension2;
        std::vector<CardName> names;
        std::vector<std::string> shown;
        std::vector<std::string> says;  // in the notes, in order
    } cases[] = {
        {"an 8.3 name in capitals that .NES lists here",
         ".NES",
         ".zip",
         entries({{"SMB.NES", ""}, {"ZELDA~1.NES", "Zelda II.NES"}}),
         {"Zelda II.NES"},
         {"\"SMB.NES\" is shown on the handheld as \"smb.nes\" (its kernel shows a name stored as 8.3 alone "
          "in "
          "small letters), so no extension lists it there: write the extension as \".nes\""}},
        {"an 8.3 name in capitals that .nes lists there",
         ".nes",
         ".zip",
         entries({{"SMB.NES", ""}, {"B.NES", ""}}),
         {"b.nes", "smb.nes"},
         {"2 names such as \"SMB.NES\" are listed on the handheld as \"smb.nes\""}},
        {"names shown with \"?\", two of them alike",
         ".gba",
         ".zip",
         entries({{"A~1.GBA", "\xe2\x98\x85.gba"},
                  {"A~2.GBA", "\xe2\x98\x86.gba"},
                  {"POKMON~1.GBA", "Pok\xc3\xa9mon.gba"}}),
         {"?.gba", "?.gba", "Pok\xe9mon.gba"},
         {"2 names such as \"\xe2\x98\x85.gba\" are shown on the handheld as \"?.gba\": its kernel gives "
          "\"?\"",
          "\"\xe2\x98\x85.gba\" and \"\xe2\x98\x86.gba\" are both shown on the handheld as \"?.gba\": A on "
          "either "
          "starts the same file"}},
        {"names alike here and there",
         ".rom",
         ".zip",
         entries({{"GAME~1.ROM", "Game.rom"}}),
         {"Game.rom"},
         {}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        const SelectorConfig config = {"roms/", row.extension1, row.extension2, "/emu"};
        EXPECT_EQ(listOnHandheld(row.names, config).shown, row.shown);
        std::vector<Finding> findings;
        noteCardNames(row.names, config, "roms/", findings);
        ASSERT_EQ(findings.size(), row.says.size());
        for (size_t i = 0; i < findings.size(); ++i) {
            EXPECT_FALSE(findings[i].error);
            EXPECT_NE(findings[i].what.find(row.says[i]), std::string::npos) << findings[i].what;
        }
    }
    // Off FAT the ioctl is refused, and the names are left to readdir.
    TempFolder folder;
    std::vector<CardName> names;
    EXPECT_FALSE(readCardNames(folder.path, mixed, names));
    EXPECT_EQ(errno, ENOTTY);
    EXPECT_TRUE(names.empty());
}

TEST(SelectorCheckFat, RunsEveryFileOfTheCard) {
    const Mount card = {"/media/card", "vfat", "rw,showexec,utf8"},
                noexecCard = {"/media/card", "vfat", "rw,noexec"}, disk = {"/", "ext4", "rw"},
                noexecDisk = {"/media/usb", "ext4", "rw,noexec"};
    const struct {
        const Mount& mount;
        bool executable, onCard, runs;
        const char* why;
    } cases[] = {
        {card, false, true, true, "has no execute bit on this PC's mount of the card"},
        {card, true, true, true, ""},
        {noexecCard, true, true, true,
         "lies on /media/card, which this PC mounts noexec, so it cannot be run here"},
        {disk, false, true, true,
         "has no execute bit here; on the card the handheld's mount makes every file"},
        {disk, false, false, false, "is not executable"},
        {disk, true, false, true, ""},
        {noexecDisk, true, false, false, "lies on /media/usb, which is mounted noexec"},
    };
    for (const auto& row : cases) {
        const Runnable runs = runnableThere(row.mount, row.executable, row.onCard);
        EXPECT_EQ(runs.runs, row.runs) << row.why;
        EXPECT_NE(runs.why.find(row.why), std::string::npos) << runs.why;
        EXPECT_EQ(runs.why.empty(), !*row.why) << runs.why;
    }
}

TEST(SelectorCheckFat, ReadsTheMenusIniFileAsTheMenuDoes) {
    const struct {
        const char* text;
        bool hasInfo;
        const char *path, *icon, *title;
    } cases[] = {
        {"[info]\nname=\"Selector\"\npath=\"/selector/selector.gpe\"\nicon=\"/selector/icon.png\"\n", true,
         "/selector/selector.gpe", "/selector/icon.png", ""},
        {"[Info]\r\nPATH = \"/a.gpe\"\r\ntitle=\"/t.png\"\r\n", true, "/a.gpe", "", "/t.png"},
        {"[other]\npath=\"/a.gpe\"\n[info]\nicon=i.png\n", true, "", "i.png", ""},
        {"path=\"/a.gpe\"\n", false, "", "", ""},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.text);
        const MenuEntry entry = readMenuEntry(row.text);
        EXPECT_EQ(entry.hasInfo, row.hasInfo);
        EXPECT_EQ(entry.path, row.path);
        EXPECT_EQ(entry.icon, row.icon);
        EXPECT_EQ(entry.title, row.title);
    }
}

}  // namespace
