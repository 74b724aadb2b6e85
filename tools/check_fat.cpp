// Names and execute bits as the handheld's FAT mount of the card gives them
// (platform::card), against what a PC's mount of the same card shows.
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "check_fat.h"

namespace {

// `utf8` in the handheld's character set, as its kernel converts a name's
// UTF-16 units: one byte a character it holds, the unconvertible mark for
// each unit of one it lacks. Bytes that are no UTF-8 stay as they are.
std::string inCardCharset(const std::string& utf8) {
    std::string converted;
    for (size_t at = 0; at < utf8.size();) {
        size_t length = 0;
        const unsigned long point = decodeUtf8(utf8, at, length);
        if (length == 0) {
            converted += utf8[at++];
            continue;
        }
        if (point <= platform::card::iocharsetLast)
            converted += static_cast<char>(point);
        else
            converted.append(point > 0xffff ? 2 : 1, platform::card::unconvertible);
        at += length;
    }
    return converted;
}

// True when `text` is 1 to `most` characters that an 8.3 name may hold, in one case.
bool fitsShortField(const std::string& text, size_t most) {
    bool upper = false, lower = false;
    for (const char c : text) {
        upper = upper || (c >= 'A' && c <= 'Z');
        lower = lower || (c >= 'a' && c <= 'z');
        if (!std::isalnum(static_cast<unsigned char>(c)) && !std::strchr("!#$%&'()-@^_`{}~", c)) return false;
    }
    return !text.empty() && text.size() <= most && !(upper && lower);
}

// True when `name` is an 8.3 name with name and extension each in one case, which a PC's
// FAT driver stores without a long name.
bool fitsShortName(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? fitsShortField(name, 8)
                                    : name.find('.') == dot && fitsShortField(name.substr(0, dot), 8) &&
                                          fitsShortField(name.substr(dot + 1), 3);
}

size_t marks(const std::string& name) {
    return static_cast<size_t>(std::count(name.begin(), name.end(), platform::card::unconvertible));
}

// Why the handheld shows `entry` otherwise than this PC.
std::string whyOtherwise(const CardName& entry) {
    return entry.shortOnly ? "its kernel shows a name stored as 8.3 alone in small letters"
                           : "its kernel shows long names in ISO 8859-1, \"?\" for each character that lacks";
}

std::string shownQuoted(const std::string& handheldName) { return quoted(fromLatin1(handheldName)); }

}  // namespace

unsigned long decodeUtf8(const std::string& text, size_t at, size_t& length) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    length = lead < 0x80                    ? 1
             : lead >= 0xc2 && lead <= 0xdf ? 2
             : lead >= 0xe0 && lead <= 0xef ? 3
             : lead >= 0xf0 && lead <= 0xf4 ? 4
                                            : 0;
    if (length == 0 || at + length > text.size()) return length = 0;
    unsigned long point = length == 1 ? lead : lead & (0x7f >> length);
    for (size_t i = 1; i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xc0) != 0x80) return length = 0;
        point = point << 6 | (next & 0x3f);
    }
    const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < least[length] || point > 0x10ffff || (point >= 0xd800 && point <= 0xdfff)) return length = 0;
    return point;
}

std::string followsFromEncoding(const std::string& value) {
    bool beyondAscii = false;
    for (size_t at = 0, length = 0; at < value.size(); at += length) {
        decodeUtf8(value, at, length);
        if (length == 0) return "";
        beyondAscii = beyondAscii || length > 1;
    }
    return beyondAscii
               ? say("; the handheld reads selector.cfg as ISO 8859-1 (Latin-1) bytes, so there this "
                     "UTF-8 path is {}: save selector.cfg in ISO 8859-1, or use names without accents",
                     {quoted(fromLatin1(value))})
               : "";
}

std::string fromLatin1(const std::string& text) {
    std::string utf8;
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xc0 | byte >> 6);
            utf8 += static_cast<char>(0x80 | (byte & 0x3f));
        }
    }
    return utf8;
}

std::string handheldName(const std::string& shortName, const std::string& longName,
                         const std::string& pcOptions) {
    const bool utf8 = namesInUtf8({"", platform::card::fileSystem, pcOptions});
    if (!longName.empty()) return utf8 ? inCardCharset(longName) : longName;
    std::string name = utf8 ? inCardCharset(shortName) : shortName;
    for (char& c : name) {  // the capitals of code page 437 that ISO 8859-1 holds lower as there
        const unsigned char byte = static_cast<unsigned char>(c);
        if (platform::card::shortNamesLower &&
            ((byte >= 'A' && byte <= 'Z') || (byte >= 0xc0 && byte <= 0xde && byte != 0xd7)))
            c = static_cast<char>(byte + 0x20);
    }
    return name;
}

std::string copiedName(const std::string& name) {
    return fitsShortName(name) ? handheldName(name, "", "utf8") : handheldName("", name, "utf8");
}

bool readCardNames(const std::string& directory, const std::string& pcOptions, std::vector<CardName>& names) {
    const int folder = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return false;
    struct __fat_dirent both[2];
    int got;
    while ((got = ioctl(folder, VFAT_IOCTL_READDIR_BOTH, both)) > 0) {
        const std::string shortName(both[0].d_name, strnlen(both[0].d_name, sizeof both[0].d_name));
        const std::string longName(both[1].d_name,
                                   both[1].d_reclen ? strnlen(both[1].d_name, sizeof both[1].d_name) : 0);
        if (longName.empty() && (shortName == "." || shortName == "..")) continue;
        names.push_back({longName.empty() ? shortName : longName,
                         handheldName(shortName, longName, pcOptions), longName.empty()});
    }
    const int error = errno;
    close(folder);
    errno = error;
    return got == 0;
}

ShownList listOnHandheld(const std::vector<CardName>& names, const SelectorConfig& config) {
    std::vector<const CardName*> listed;
    ShownList list;
    for (const CardName& entry : names)
        if (isRomName(entry.handheld.c_str(), config))
            listed.push_back(&entry);
        else
            list.leftOut.push_back(entry.handheld);
    std::stable_sort(listed.begin(), listed.end(),
                     [](const CardName* a, const CardName* b) { return a->handheld < b->handheld; });
    for (const CardName* entry : listed) {
        list.shown.push_back(entry->handheld);
        list.here.push_back(entry->here);
    }
    return list;
}

void noteCardNames(const std::vector<CardName>& names, const SelectorConfig& config, const std::string& named,
                   std::vector<Finding>& findings) {
    std::vector<const CardName*> lost, gained, marked;
    for (const CardName& entry : names) {
        const bool there = isRomName(entry.handheld.c_str(), config);
        if (isRomName(entry.here.c_str(), config) != there) (there ? gained : lost).push_back(&entry);
        if (there && marks(entry.handheld) > marks(entry.here)) marked.push_back(&entry);
    }
    auto note = [&](const std::string& text) { findings.push_back({named, text, false}); };
    auto such = [](const std::vector<const CardName*>& entries) {
        return entries.size() == 1 ? say("{} is", {quoted(entries[0]->here)})
                                   : say("{} names such as {} are",
                                         {std::to_string(entries.size()), quoted(entries[0]->here)});
    };
    if (!lost.empty()) {
        const CardName& first = *lost[0];
        note(say("{} shown on the handheld as {} ({}), so no extension lists it there{}",
                 {such(lost), shownQuoted(first.handheld), whyOtherwise(first),
                  first.shortOnly
                      ? say(": write the extension as {}, or give the file a long name (one not in capitals)",
                            {quoted(extensionOf(first.handheld.c_str()))})
                      : ": rename it"}));
    }
    if (!gained.empty())
        note(say("{} listed on the handheld as {} ({}), though this PC's name matches neither extension",
                 {such(gained), shownQuoted(gained[0]->handheld), whyOtherwise(*gained[0])}));
    if (!marked.empty())
        note(
            say("{} shown on the handheld as {}: its kernel gives \"?\" for each character ISO 8859-1 "
                "lacks; A still starts it",
                {such(marked), shownQuoted(marked[0]->handheld)}));
    const ShownList list = listOnHandheld(names, config);
    for (size_t i = 1; i < list.shown.size(); ++i)
        if (list.shown[i] == list.shown[i - 1]) {
            note(
                say("{} and {} are both shown on the handheld as {}: A on either starts the same file, "
                    "the first of the two in the folder; rename one",
                    {quoted(list.here[i - 1]), quoted(list.here[i]), shownQuoted(list.shown[i])}));
            break;
        }
}

void judgeNamesOnCard(const std::string& directory, const SelectorConfig& config, const std::string& named,
                      ShownList& list, std::vector<Finding>& findings) {
    const Mount mount = mountOf(directory);
    auto note = [&](const std::string& text) { findings.push_back({named, text, false}); };
    if (mount.type == platform::card::fileSystem) {
        std::vector<CardName> names;
        if (!readCardNames(directory, mount.options, names))
            return note(
                say("its names cannot be read as the handheld's kernel reads them ({}): they are "
                    "judged as this PC shows them",
                    {std::strerror(errno)}));
        list = listOnHandheld(names, config);
        return noteCardNames(names, config, named, findings);
    }
    if (isFat(mount))
        return note(
            say("lies on a FAT mount of type {} here, which shows no long names: mount the card as "
                "vfat to check the names the handheld shows",
                {mount.type}));
    std::vector<CardName> copies;
    for (const auto* names : {&list.here, &list.leftOut})
        for (const std::string& name : *names)
            if (const std::string copied = copiedName(name); copied != name)
                copies.push_back({name, copied, fitsShortName(name)});
    if (copies.empty()) return;
    const long relisted = std::count_if(copies.begin(), copies.end(), [&](const CardName& copy) {
        return isRomName(copy.here.c_str(), config) != isRomName(copy.handheld.c_str(), config);
    });
    note(
        say("names are judged as they are here, not on a FAT card: copied to one, {} may be shown otherwise "
            "on the handheld ({}: {}){}; check the card itself once it holds them",
            {copies.size() == 1
                 ? quoted(copies[0].here)
                 : say("{} names such as {}", {std::to_string(copies.size()), quoted(copies[0].here)}),
             shownQuoted(copies[0].handheld), whyOtherwise(copies[0]),
             relisted ? say(", and {} then listed otherwise", {std::to_string(relisted)}) : ""}));
}

Runnable runnableThere(const Mount& mount, bool executable, bool onCard) {
    if ((onCard || isFat(mount)) && platform::card::everyFileExecutable) {
        if (hasOption(mount, "noexec"))
            return {
                true,
                say("lies on {}, which this PC mounts noexec, so it cannot be run here; the handheld's mount "
                    "makes every file of the card executable, so it runs there",
                    {mount.point}),
                ""};
        if (!executable)
            return {true,
                    isFat(mount)
                        ? "has no execute bit on this PC's mount of the card (FAT keeps none: the mount's "
                          "options decide, and chmod +x cannot change them); the handheld's mount makes "
                          "every file of the card executable, so it runs there"
                        : "has no execute bit here; on the card the handheld's mount makes every file "
                          "executable, so it runs there",
                    ""};
        return {};
    }
    if (hasOption(mount, "noexec"))
        return {false, say("lies on {}, which is mounted noexec: no program there can be run", {mount.point}),
                "copy it to a folder that may run programs, or mount that one without noexec"};
    if (!executable) return {false, "is not executable", "chmod +x it"};
    return {};
}
