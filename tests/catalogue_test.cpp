#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogue.h"
#include "support.h"

namespace {

ConfigReading loadText(const std::string& contents) {
    TempFolder folder;
    writeFile(folder / "selector.cfg", contents);
    return loadConfig((folder / "selector.cfg").c_str());
}

struct ValidFile {
    const char* what;
    std::string contents;
    SelectorConfig expected;
};

TEST(ConfigLoader, ReadsEachValueByItsLinePosition) {
    const std::string longValue(250, 'x');
    const ValidFile files[] = {
        {"plain",
         "romdir=/mnt/sd/roms/\next1=.gba\next2=.bin\nemulator=/mnt/sd/emu/run\n",
         {"/mnt/sd/roms/", ".gba", ".bin", "/mnt/sd/emu/run"}},
        {"keys are never read",
         "=roms/\nextenshun=.rom\nfoo bar=.bin\n==./emu\n",
         {"roms/", ".rom", ".bin", "=./emu"}},
        {"spaces stay",
         "dir = roms/ \ne1= .rom\ne2=.bin \nrun=./my emu\n",
         {" roms/ ", " .rom", ".bin ", "./my emu"}},
        {"carriage returns stay",
         "a=roms/\r\nb=.rom\r\nc=.bin\r\nd=./emu\r\n",
         {"roms/\r", ".rom\r", ".bin\r", "./emu\r"}},
        {"last line without newline",
         "a=roms/\nb=.rom\nc=.bin\nd=./emu --fast",
         {"roms/", ".rom", ".bin", "./emu --fast"}},
        {"swapped lines swap roles",
         "launch=./emu\next=.rom\next=.bin\nromdir=roms/\n",
         {"./emu", ".rom", ".bin", "roms/"}},
        {"blank lines after the fourth", "a=r/\nb=.x\nc=.y\nd=z\n\n\r\n\n", {"r/", ".x", ".y", "z"}},
        {"a line of 254 characters",
         "a=" + longValue + "xx\nb=.x\nc=.y\nd=z\n",
         {longValue + "xx", ".x", ".y", "z"}},
    };
    for (const ValidFile& file : files) {
        SCOPED_TRACE(file.what);
        const ConfigReading reading = loadText(file.contents);
        ASSERT_EQ(reading.fault, ConfigFault::None) << "line " << reading.line;
        EXPECT_EQ(reading.config.romDirectory, file.expected.romDirectory);
        EXPECT_EQ(reading.config.romExtension1, file.expected.romExtension1);
        EXPECT_EQ(reading.config.romExtension2, file.expected.romExtension2);
        EXPECT_EQ(reading.config.launchProgram, file.expected.launchProgram);
    }
}

struct BrokenFile {
    const char* what;
    std::string contents;
    ConfigFault fault;
    int line;
    const char* message;  // what the selector prints for it
};

TEST(ConfigLoader, NamesTheLineOfAFileThatBreaksTheFormat) {
    const std::string good = "a=roms/\nb=.rom\nc=.bin\n";  // three good lines
    const BrokenFile files[] = {
        {"empty file", "", ConfigFault::TooFewLines, 1,
         "selector.cfg line 1: missing; the file holds four key=value lines: "
         "ROM folder, extension, extension, launch program\n"},
        {"three lines", good, ConfigFault::TooFewLines, 4, nullptr},
        {"no equals sign", "a=roms/\n.rom\nc=.bin\nd=emu\n", ConfigFault::MissingEquals, 2,
         "selector.cfg line 2: no \"=\"; every line reads key=value\n"},
        {"empty value", "a=roms/\nb=.rom\nc=\nd=emu\n", ConfigFault::EmptyValue, 3,
         "selector.cfg line 3: nothing after \"=\"; every line reads key=value\n"},
        {"empty value on the last line", good + "d=", ConfigFault::EmptyValue, 4, nullptr},
        {"empty line", "a=roms/\n\nc=.bin\nd=emu\n", ConfigFault::MissingEquals, 2, nullptr},
        {"255 characters", "a=roms/\nb=" + std::string(253, 'x') + "\nc=.bin\nd=emu\n",
         ConfigFault::LineTooLong, 2, "selector.cfg line 2: longer than 254 characters\n"},
        {"a very long line", good + "d=" + std::string(5000, 'x') + "\n", ConfigFault::LineTooLong, 4,
         nullptr},
        {"five lines", good + "d=emu\ne=more\n", ConfigFault::TooManyLines, 5,
         "selector.cfg line 5: one too many; the file holds exactly four key=value lines\n"},
        {"a line after blank ones", good + "d=emu\n\n\ne=more\n", ConfigFault::TooManyLines, 7, nullptr},
        {"a NUL byte", good + std::string("d=e\0mu\n", 7), ConfigFault::NulByte, 4,
         "selector.cfg line 4: holds a NUL byte; the file is text, one key=value line each\n"},
        {"a NUL byte after the fourth line", good + std::string("d=emu\n\0\n", 8), ConfigFault::NulByte, 5,
         nullptr},
        {"a NUL byte hiding a line",
         std::string("a=roms/\0", 8) + std::string(247, 'x') + "e=.rom\nc=.bin\nd=e\n",
         ConfigFault::LineTooLong, 1, nullptr},
    };
    for (const BrokenFile& file : files) {
        SCOPED_TRACE(file.what);
        const ConfigReading reading = loadText(file.contents);
        EXPECT_EQ(reading.fault, file.fault);
        EXPECT_EQ(reading.line, file.line);
        if (!file.message) continue;
        TempFolder folder;
        writeFile(folder / "selector.cfg", file.contents);
        InFolder inside(folder.path);
        testing::internal::CaptureStdout();
        EXPECT_FALSE(readConfig());
        EXPECT_EQ(testing::internal::GetCapturedStdout(), file.message);
    }
}

TEST(ConfigLoader, SaysWhenTheFileIsMissing) {
    TempFolder folder;
    InFolder inside(folder.path);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(readConfig());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Cannot open file selector.cfg\n");
}

std::vector<std::string> namesOf(const RomList& list) {
    std::vector<std::string> names;
    for (int i = 0; i < list.romCount; ++i) names.push_back(list.name(i));
    return names;
}

struct ScanCase {
    const char* what;
    const char* extension1;
    const char* extension2;
    std::vector<std::string> expected;
};

TEST(CatalogueScan, ListsTheNamesWithAConfiguredExtensionInByteOrder) {
    TempFolder folder;
    InFolder inside(folder.path);
    mkdir("roms", 0755);
    for (const char* name : {"B.rom", "a.rom", "x.ROM", "x.rom.bak", ".rom", "game.bin", "noext", "Zeta.rom",
                             "10.rom", "9.rom", "readme.txt", "weird.", "rom"})
        writeFile(std::string("roms/") + name, "");
    mkdir("roms/dir.rom", 0755);
    ASSERT_EQ(symlink("nowhere", "roms/link.bin"), 0);

    const ScanCase cases[] = {
        {"case-sensitive, last dot, hidden, directory, link, capitals first, 10 before 9",
         ".rom",
         ".bin",
         {".rom", "10.rom", "9.rom", "B.rom", "Zeta.rom", "a.rom", "dir.rom", "game.bin", "link.bin"}},
        {"upper-case value", ".ROM", ".txt", {"readme.txt", "x.ROM"}},
        {"two dots", ".bak", ".rom.bak", {"x.rom.bak"}},
        {"a lone dot takes . and ..", ".", ".none", {".", "..", "weird."}},
        {"no dot never matches", "rom", "noext", {}},
    };
    for (const ScanCase& scan : cases) {
        SCOPED_TRACE(scan.what);
        writeFile("selector.cfg",
                  std::string("d=roms/\ne=") + scan.extension1 + "\nf=" + scan.extension2 + "\ng=./emu\n");
        const RomList list = scanRoms("roms/");
        EXPECT_EQ(namesOf(list), scan.expected);
    }
}

TEST(CatalogueScan, AFolderThatCannotBeReadGivesMinusOne) {
    TempFolder folder;
    InFolder inside(folder.path);
    writeFile("selector.cfg", "d=roms/\ne=.rom\nf=.bin\ng=./emu\n");
    writeFile("plain-file", "");
    for (const char* directory : {"missing/", "plain-file/", ""}) {
        SCOPED_TRACE(directory);
        testing::internal::CaptureStdout();
        const RomList list = scanRoms(directory);
        EXPECT_EQ(list.romCount, -1);
        EXPECT_EQ(list.entries, nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    }
}

TEST(CatalogueScan, RejectsEveryEntryWhenTheSettingsCannotBeRead) {
    TempFolder folder;
    InFolder inside(folder.path);
    mkdir("roms", 0755);
    writeFile("roms/a.rom", "");
    writeFile("roms/b.rom", "");
    testing::internal::CaptureStdout();
    const RomList list = scanRoms("roms/");
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(list.romCount, 0);
    EXPECT_NE(printed.find("Cannot open file selector.cfg\n"), std::string::npos);
}

}  // namespace
