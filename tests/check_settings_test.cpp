// selector-check on the settings, the list and the card's paths, run as a
// user runs it, on real folders: each verdict is compared with what the real
// selector does on the same folder, where it can run here (headless, with a
// recorder in place of the emulator).
#include <gtest/gtest.h>

#include "check_support.h"

namespace {

namespace fs = std::filesystem;

TEST(SelectorCheck, JudgesTheSettingsAndTheListAsTheSelectorReadsThem) {
    const std::string cfg = "selector.cfg: ", line1 = "selector.cfg line 1: ",
                      line3 = "selector.cfg line 3: ";
    const Real stops = Real::Stops, launches = Real::Launches, nothing = Real::ListsNothing;
    expectVerdicts({
        row("a folder the selector works in", 0, launches, {": no errors, 0 note(s)"}, [](CheckFolder&) {}),
        row("no settings", 1, stops,
            {cfg + "missing: the selector stops at start-up with \"Cannot open file selector.cfg\""},
            removed("selector.cfg")),
        row("settings in a loop of links", 1, stops,
            {cfg + "cannot be opened (Too many levels of symbolic links): the selector stops"},
            [](CheckFolder& f) {
                fs::remove(f.where + "/selector.cfg");
                fs::create_symlink("selector.cfg", f.where + "/selector.cfg");
            }),
        row(
            "settings nobody may read", 1, stops,
            {cfg + "cannot be opened (Permission denied): the selector stops at start-up with \"Cannot open"},
            [](CheckFolder& f) { chmod((f.where + "/selector.cfg").c_str(), 0600); }, true),
        row("settings are a folder", 1, stops, {cfg + "is a directory, not a file"},
            folderAt("selector.cfg")),
        row("a line without \"=\"", 1, stops, {"selector.cfg line 2: no \"=\""},
            file("selector.cfg", "a=roms/\n.rom\nc=.bin\nd=/e\n")),
        row("Windows line ends", 1, nothing,
            {line1 + "the values of line(s) 1, 2, 3, 4 end in a carriage return",
             "does not exist: correct the path; this follows from the carriage return"},
            settings("roms/", ".rom", ".bin", "", "\r\n")),
        row("spaces", 1, launches, {line3 + "value \" .bin\" has spaces at an end"},
            settings("roms/", ".rom", " .bin")),
        row("no ROM folder", 1, nothing, {line1 + "ROM folder \"games/\" does not exist"},
            settings("games/", ".rom", ".bin")),
        row("a ROM folder under a file", 1, nothing, {"cannot be reached (Not a directory)"},
            settings("emulator/", ".rom", ".bin")),
        row("a ROM folder in a loop", 1, nothing, {"Too many levels of symbolic links"},
            [](CheckFolder& f) {
                fs::create_directory_symlink("loop", f.where + "/loop");
                settings("loop/", ".rom", ".bin")(f);
            }),
        row("a ROM folder that is a file", 1, nothing, {"is not a folder"},
            settings("selector.cfg", ".rom", ".bin")),
        row("no \"/\" after the ROM folder", 1, launches,
            {line1 + "ROM folder \"roms\" does not end in \"/\""}, settings("roms", ".rom", ".bin")),
        row("an extension without its dot", 1, launches,
            {line3 + "extension \"bin\" does not begin with \".\""}, settings("roms/", ".rom", "bin")),
        row("an extension with \"/\"", 1, launches, {"contains \"/\""}, settings("roms/", ".rom", "./bin")),
        row("an extension with a second dot", 1, launches,
            {line3 + "extension \".rom.gz\" holds a second dot"}, settings("roms/", ".rom", ".rom.gz")),
        row("the same extension twice", 0, launches, {line3 + "note: both extensions are \".rom\""},
            settings("roms/", ".rom", ".rom")),
        row("no file with either extension", 1, nothing,
            {"roms/: no file in the ROM folder ends in \".rom\" or \".bin\", so the list would be empty; it "
             "holds "
             "2 \".gba\", 1 without an extension, 1 \".ROM\" (differs from \".rom\" only by case)",
             "; the list would be empty\n"},
            roms({"a.gba", "b.gba", "c.ROM", "notes"})),
        row("an empty ROM folder", 1, nothing, {"roms/: the ROM folder holds no files"}, roms({})),
        row("an 8.3 name in capitals, to be copied to a card", 1, nothing,
            {"roms/: note: names are judged as they are here, not on a FAT card: copied to one, \"SMB.NES\" "
             "may "
             "be shown otherwise on the handheld (\"smb.nes\": its kernel shows a name stored as 8.3 alone "
             "in "
             "small letters), and 1 then listed otherwise"},
            [](CheckFolder& f) {
                roms({"SMB.NES"})(f);
                settings("roms/", ".nes", ".bin")(f);
            }),
        row("9.rom beside 10.rom", 0, launches, {"\n    10.ROM\n    9.ROM\n"}, roms({"9.rom", "10.rom"})),
        row("a ROM in capitals beside one in small letters", 0, launches,
            {"roms/: note: the file \"b.ROM\" ends in \".ROM\", which differs from a configured extension "
             "only by"},
            roms({"a.rom", "b.ROM"})),
        row("listed entries that are not ROMs", 0, launches,
            {"roms/: note: the listed entry \"dir.rom\" is a folder",
             "\"link.bin\" is a symbolic link to nothing", "\"loop.rom\" is a symbolic link in a loop",
             "\"._a.rom\" is a macOS companion file"},
            [](CheckFolder& f) {
                fs::create_directory(f.where + "/roms/dir.rom");
                fs::create_symlink("nowhere", f.where + "/roms/link.bin");
                fs::create_symlink("loop.rom", f.where + "/roms/loop.rom");
                writeFile(f.where + "/roms/._a.rom", "");
            }),
    });
}

TEST(SelectorCheck, LooksUpTheCardWhereItIsMounted) {
    auto emulator = [](const std::string& contents) {
        return [contents](const std::string& mount) { program(mount + "/emulator/emulator.gpe", contents); };
    };
    auto asLaidOut = [](const std::string&) {};
    auto configured = [](const std::string& romFolder, const std::string& launch) {
        return [=](const std::string& mount) {
            writeFile(mount + "/selector/selector.cfg",
                      "a=" + (romFolder[0] == '@' ? mount + romFolder.substr(1) : romFolder) +
                          "\nb=.zip\nc=.rom\nd=" + launch + "\n");
        };
    };
    // The card with the selector in the menu's game folder, and its INI file beside it.
    auto inGame = [](const std::string& ini,
                     const std::function<void(const std::string&)>& change) -> ::SetUp {
        return [=](CheckFolder& f) {
            card([](const std::string&) {})(f);
            const std::string mount = f.where + "/card";
            fs::create_directories(mount + "/game");
            fs::rename(mount + "/selector", mount + "/game/selector");
            f.checked = mount + "/game/selector";
            writeFile(mount + "/game/selector.ini", ini);
            change(mount);
        };
    };
    auto png = [](int width, int height) {
        return pngFile(width, height, 2, filled(width, height, bytes({0, 0, 128})));
    };
    const std::string ini =
        "[info]\nname=\"Selector\"\npath=\"/selector/selector.gpe\"\nicon=\"/selector/icon.png\"\n";
    const std::string line1 = "selector.cfg line 1: ", line4 = "selector.cfg line 4: ";
    const Real notRun = Real::NotRun;
    expectVerdicts({
        row("the card's folder as the handheld build lays it out", 0, notRun, {"\n    GAME.ZIP\n"},
            card(asLaidOut)),
        row("the card without --card", 0, notRun,
            {line1 + "note: ROM folder \"/mnt/sd/roms/\" is on the handheld's card, which is not here: give "
                     "the folder "
                     "where the card is mounted on this PC, as in \"selector-check --card /media/card",
             "the ROM folder could not be checked from here; the launch program could not be checked from "
             "here"},
            card(asLaidOut, false)),
        row("a ROM folder given where this PC mounts the card", 1, notRun,
            {line1 + "ROM folder \"",
             "/card/roms/\" is where this PC mounts the card; on the handheld it is "
             "\"/mnt/sd/roms/\""},
            card(configured("@/roms/", "/mnt/sd/emulator/emulator.gpe"))),
        row("the card's folder in capitals", 1, notRun,
            {line4 +
             "launch program \"/MNT/sd/emulator/emulator.gpe\" is not on the handheld's card, which is "
             "/mnt/sd in small letters"},
            card(configured("/mnt/sd/roms/", "/MNT/sd/emulator/emulator.gpe"))),
        row("\"..\" as the handheld resolves it", 0, notRun,
            {"\n    GAME.ZIP\n",
             line4 + "note: launch program \"/mnt/sd/../usr/emulator\" is on the handheld's own",
             "; the launch program could not be checked from here"},
            card(configured("/mnt/sd/../sd/roms/", "/mnt/sd/../usr/emulator"))),
        row("a path saved in UTF-8 with an accent", 1, notRun,
            {line1 + "ROM folder \"/mnt/sd/jeux/\xc3\xa9/\"",
             "the handheld reads selector.cfg as ISO 8859-1 "
             "(Latin-1) bytes, so there this UTF-8 path is "
             "\"/mnt/sd/jeux/\xc3\x83\xc2\xa9/\""},
            card(configured("/mnt/sd/jeux/\xc3\xa9/", "/mnt/sd/emulator/emulator.gpe"))),
        row("a launch program without its execute bit, on the card", 0, notRun,
            {line4 + "note: launch program \"/mnt/sd/emulator/emulator.gpe\" (on the card: ",
             "has no execute bit here; on the card the handheld's mount makes every file executable"},
            card([](const std::string& mount) {
                program(mount + "/emulator/emulator.gpe", elfProgram(EM_ARM), fs::perms(0644));
            })),
        row("the menu's INI file beside the selector", 0, notRun, {": no errors, 0 note(s)"},
            inGame(ini,
                   [&](const std::string& mount) {
                       writeFile(mount + "/game/selector/icon.png", png(32, 32));
                   })),
        row("an INI file whose path names no file", 1, notRun,
            {"game/selector.ini: path \"/selector/gone.gpe\" (here: ",
             "does not exist: the menu cannot start the "
             "selector; name the selector's program from "
             "the game folder, as in \"/selector/selector.gpe\""},
            inGame("[info]\npath=\"/selector/gone.gpe\"\n", asLaidOut)),
        row("an INI file with a wrong icon and title", 0, notRun,
            {"game/selector.ini: note: icon \"/selector/icon.png\" is 64x64, the menu expects 32x32 or 26x26",
             "game/selector.ini: note: title \"/../title.png\" is 100x57, the menu expects 305x57"},
            inGame(ini + "title=\"/../title.png\"\n",
                   [&](const std::string& mount) {
                       writeFile(mount + "/game/selector/icon.png", png(64, 64));
                       writeFile(mount + "/title.png", png(100, 57));
                   })),
        row("a ROM folder missing from the card", 1, notRun,
            {line1 + "ROM folder \"/mnt/sd/roms/\" (on the card: "},
            card([](const std::string& mount) { fs::remove_all(mount + "/roms"); })),
        row("a script for the handheld's own shell", 0, notRun,
            {line4 + "note: the interpreter \"/bin/sh\" of launch program \"/mnt/sd/emulator/emulator.gpe\" "
                     "is on the "
                     "handheld's own system, not on its card: it cannot be checked from a PC"},
            card(emulator("#!/bin/sh\n"))),
        row("an ARM program whose interpreter is not on the card", 1, notRun,
            {"needs its program interpreter \"/mnt/sd/lib/ld.so\", which does not exist (on the card: "},
            card(emulator(elfProgram(EM_ARM, "/mnt/sd/lib/ld.so")))),
        row("an ARM program whose interpreter is on the card", 0, notRun, {},
            card([&](const std::string& mount) {
                emulator(elfProgram(EM_ARM, "/mnt/sd/lib/ld.so"))(mount);
                fs::create_directories(mount + "/lib");
                writeFile(mount + "/lib/ld.so", "");
            })),
        row("a program for a PC on the card", 1, notRun,
            {"is a program for x86-64, not ARM: the handheld cannot run it"},
            card(emulator(elfProgram(EM_X86_64)))),
        row("a launch program on the handheld's own system", 0, notRun,
            {line4 + "note: launch program \"/usr/bin/emulator\" is on the handheld's own system"},
            card([](const std::string& mount) {
                writeFile(mount + "/selector/selector.cfg",
                          "a=/mnt/sd/roms/\nb=.zip\nc=.rom\nd=/usr/bin/emulator\n");
            })),
    });
}

}  // namespace
