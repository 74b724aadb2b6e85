#include "board.h"

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace {

namespace fs = std::filesystem;


// The board's own display as /dev/panel, where the driver watches it.
const std::string boardNodes = "mknod /dev/panel c 29 0\n";
// With the model of the Pollux drivers: its framebuffer as /dev/fb0 and its
// register window as /dev/mem, as the handhelds have them.
const std::string modelNodes =
    "node() { IFS=: read major minor <\"$2\"; rm -f \"$1\"; mknod \"$1\" c \"$major\" \"$minor\"; }\n"
    "for fb in /sys/class/graphics/fb[0-9]*; do\n"
    "    if [ \"$(cat \"$fb/name\")\" = pollux-fb ]; then model=$fb; else panel=$fb; fi\n"
    "done\n"
    "rm -f /dev/fb[0-9]*\n"
    "node /dev/fb0 \"$model/dev\"; node /dev/panel \"$panel/dev\"; node /dev/mem /sys/class/misc/pollux-mem/dev\n";

// The board's root: busybox as init, the card's files in /mnt/sd (or an
// empty /mnt/sd where a FAT card is mounted), the recorder as system menu,
// the driver and the frames it waits for.
void layOutRoot(const std::string& root, const BoardParts& parts, const BoardSetup& setup,
                const Frames& frames, const std::string& cardFiles) {
    copyProgram(parts.busybox, root + "/bin/busybox");
    copyProgram(parts.driver, root + "/board-driver");
    copyProgram(parts.recorder, root + "/usr/gp2x/gp2xmenu");
    if (!setup.control.empty()) copyProgram(parts.controls + "/" + setup.control, root + "/control");
    layOutCard(setup.card.empty() ? root + "/mnt/sd" : cardFiles, parts, setup);
    fs::create_directories(root + "/mnt/sd");
    std::string mountCard =
        setup.card.empty() ? "" : "mount -t vfat -o loop," + mountOptions(setup.card) + " /card.img /mnt/sd\n";
    if (setup.checkedOnDesktop) {
        copyProgram(parts.check, root + "/check");
        mountCard += "mkdir -p /media/card\nmount -t vfat -o loop," + mountOptions("desktop") +
                     " /desktop.img /media/card\n/check /media/card/selector >/check.out 2>&1\n"
                     "echo \"status $?\" >>/check.out\numount /media/card\n";
    }
    fs::create_directories(root + "/frames");
    writeFile(root + "/frames/splash.rgb565", frames.splash);
    writeFile(root + "/frames/list.rgb565", frames.list);
    writeFile(root + "/frames/down.rgb565", frames.down);
    writeFile(root + "/init",
              "#!/bin/busybox sh\n"
              "/bin/busybox mkdir -p /proc /sys /dev /sbin /usr/bin /usr/sbin\n"
              "/bin/busybox --install -s\n"
              "mount -t proc proc /proc\n"
              "mount -t sysfs sysfs /sys\n"
              "mount -t devtmpfs devtmpfs /dev\n" +
                  (setup.pollux.empty() ? boardNodes : modelNodes) + mountCard + setup.prepare + "\n/board-driver " + setup.mode + " " + setup.pad + " " +
                  setup.redirection + "\nreboot -f\n");
    fs::permissions(root + "/init", fs::perms::owner_all);
}

// Appends one entry of the kernel's initramfs format (cpio "newc") to `archive`.
void addEntry(std::string& archive, const std::string& name, unsigned mode, const std::string& data,
              unsigned deviceMajor = 0, unsigned deviceMinor = 0) {
    static unsigned inode = 0;
    char header[111];
    std::snprintf(header, sizeof header, "070701%08X%08X%08X%08X%08X%08X%08X%08X%08X%08X%08X%08zX%08X",
                  ++inode, mode, 0u, 0u, 1u, 0u, static_cast<unsigned>(data.size()), 0u, 0u, deviceMajor,
                  deviceMinor, name.size() + 1, 0u);
    archive += header;
    archive += name;
    archive += '\0';
    archive.append((4 - archive.size() % 4) % 4, '\0');
    archive += data;
    archive.append((4 - archive.size() % 4) % 4, '\0');
}

// The folder `root` as an initramfs, with the console's device node, which
// the kernel opens for init before anything is mounted.
std::string initramfsOf(const std::string& root) {
    std::string archive;
    addEntry(archive, "dev", 040755, "");
    addEntry(archive, "dev/console", 020600, "", 5, 1);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root).string();
        const unsigned permissions = static_cast<unsigned>(fs::status(entry.path()).permissions()) & 07777;
        if (entry.is_directory())
            addEntry(archive, name, 040000 | permissions, "");
        else
            addEntry(archive, name, 0100000 | permissions, readFile(entry.path()));
    }
    addEntry(archive, "TRAILER!!!", 0, "");
    return archive;
}

int connectTo(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    for (int tries = 0; tries < 1000; ++tries) {  // until qemu has made it: 10 s at most
        const int descriptor = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (connect(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            return descriptor;
        close(descriptor);
        usleep(10000);
    }
    return -1;
}

// Reads from `descriptor` into `buffer` until it holds `end`, for `seconds` at most.
bool readUntil(int descriptor, std::string& buffer, const std::string& end, int seconds) {
    for (int waited = 0; buffer.find(end) == std::string::npos; ++waited) {
        pollfd ready = {descriptor, POLLIN, 0};
        if (waited >= seconds * 10) return false;
        if (poll(&ready, 1, 100) <= 0) continue;
        char bytes[4096];
        const ssize_t got = read(descriptor, bytes, sizeof bytes);
        if (got <= 0) return false;
        buffer.append(bytes, static_cast<size_t>(got));
    }
    return true;
}

}  // namespace

std::optional<BoardParts> boardParts() {
    BoardParts parts;
    std::istringstream kernels(fromEnvironment("SELECTOR_BOARD_KERNELS"));
    for (std::string named; kernels >> named;)
        if (const size_t equals = named.find('='); equals != std::string::npos)
            parts.kernels[named.substr(0, equals)] = named.substr(equals + 1);
    parts.busybox = fromEnvironment("SELECTOR_BOARD_BUSYBOX");
    parts.driver = fromEnvironment("SELECTOR_BOARD_DRIVER");
    parts.recorder = fromEnvironment("SELECTOR_BOARD_RECORDER");
    parts.card = fromEnvironment("SELECTOR_HANDHELD_CARD");
    parts.controls = fromEnvironment("SELECTOR_ABI_CONTROLS");
    parts.withoutSetUp = fromEnvironment("SELECTOR_BOARD_WITHOUT_SETUP");
    parts.check = fromEnvironment("SELECTOR_BOARD_CHECK");
    for (const std::string* part : {&parts.busybox, &parts.driver, &parts.recorder, &parts.card, &parts.controls,
                                    &parts.withoutSetUp, &parts.check})
        if (part->empty()) return std::nullopt;
    for (const Model& row : models())
        if (row.board != "-" && !parts.kernels.count(row.board)) return std::nullopt;
    return parts;
}

namespace {

// A picture as RGB565 bytes from a binary PPM file; empty when it is not one
// of 320x240.
std::string rgb565FromPpm(const std::string& ppm) {
    int width = 0, height = 0, maximum = 0, header = 0;
    if (std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &width, &height, &maximum, &header) != 3 || width != 320 ||
        height != 240 || maximum != 255 || ppm.size() != static_cast<size_t>(header) + 1 + 320 * 240 * 3)
        return "";
    std::string pixels;
    for (size_t at = static_cast<size_t>(header) + 1; at < ppm.size(); at += 3) {
        const unsigned r = static_cast<unsigned char>(ppm[at]), g = static_cast<unsigned char>(ppm[at + 1]),
                       b = static_cast<unsigned char>(ppm[at + 2]);
        const unsigned pixel = (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
        pixels += static_cast<char>(pixel & 0xff);
        pixels += static_cast<char>(pixel >> 8);
    }
    return pixels;
}

}  // namespace

Board::Board(const BoardParts& parts, const BoardSetup& setup, const Frames& frames) {
    const auto named = parts.kernels.find(setup.kernel);
    const std::string root = folder / "root", initramfs = folder / "initramfs.cpio",
                      kernel = named == parts.kernels.end() ? "" : named->second;
    layOutRoot(root, parts, setup, frames, folder / "card");
    if (!setup.card.empty()) makeFatImage(folder / "card", root + "/card.img");
    if (setup.checkedOnDesktop) fs::copy_file(root + "/card.img", root + "/desktop.img");
    writeFile(initramfs, initramfsOf(root));
    std::vector<std::string> words = {
        QEMU_SYSTEM_ARM,
        "-M",
        "versatilepb",
        "-cpu",
        "arm926",
        "-m",
        "64",
        "-kernel",
        kernel + "/zImage",
        "-dtb",
        kernel + "/versatile-pb.dtb",
        "-initrd",
        initramfs,
        "-append",
        "console=ttyAMA0 rdinit=/init consoleblank=0 video=VGA-1:320x240M@60" +
            (setup.pollux.empty() ? "" : " pollux=" + setup.pollux),
        "-serial",
        "file:" + (folder / "console.log"),
        "-chardev",
        "socket,id=driver,path=" + (folder / "driver.sock") + ",server=on,wait=off",
        "-serial",
        "chardev:driver",
        "-monitor",
        "unix:" + (folder / "monitor.sock") + ",server=on,wait=off",
        "-display",
        "none",
        "-no-reboot",
        "-audiodev",
        "none,id=none"};
    words.insert(words.end(), setup.qemuOptions.begin(), setup.qemuOptions.end());
    // qemu runs until the board goes (every wait for it has its own limit),
    // and dies with the runner.
    qemu = startChild(words, [&] {
        if (!freopen((folder / "qemu.log").c_str(), "w", stdout) ||
            !freopen((folder / "qemu.log").c_str(), "a", stderr))
            _exit(121);
    });
    monitor = connectTo(folder / "monitor.sock");
    guest = connectTo(folder / "driver.sock");
    std::string banner;
    readUntil(monitor, banner, "(qemu) ", 10);
}

Board::~Board() {
    waitForChild(qemu, 0);  // powered off at once
    if (monitor >= 0) close(monitor);
    if (guest >= 0) close(guest);
}

std::string Board::nextReport(int seconds) {
    if (guest < 0 || !readUntil(guest, unread, "\n", seconds)) return "";
    std::string line = unread.substr(0, unread.find('\n'));
    unread.erase(0, line.size() + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::vector<std::string> Board::reportsUntilDone() {
    std::vector<std::string> reports;
    for (std::string line; (line = nextReport()) != "" && line != "DONE";) reports.push_back(line);
    return reports;
}

void Board::go() {
    if (guest >= 0 && write(guest, "go\n", 3) != 3) guest = -1;
}

std::string Board::screen() {
    static int taken = 0;
    const std::string picture = folder / ("screen-" + std::to_string(++taken) + ".ppm");
    const std::string command = "screendump " + picture + "\n";
    std::string reply;
    if (monitor < 0 ||
        write(monitor, command.data(), command.size()) != static_cast<ssize_t>(command.size()) ||
        !readUntil(monitor, reply, "(qemu) ", 30))
        return "";
    return rgb565FromPpm(readFile(picture));
}

std::string Board::showsFrames(const Frames& frames, int listPictures) {
    std::string faults;
    for (const auto& [name, expected] : {std::pair{"splash", &frames.splash}, std::pair{"list", &frames.list},
                                         std::pair{"down", &frames.down}}) {
        if (const std::string report = nextReport(); report != std::string("SHOWN ") + name) {
            faults += std::string(name) + ": the driver reported \"" + report + "\", and " +
                      std::to_string(differingPixels(screen(), *expected)) + " pixels differ";
            for (std::string line; (line = nextReport(2)).rfind("MODEL ", 0) == 0;) faults += "\n" + line;
            return faults;
        }
        for (int picture = 0; picture < (std::string(name) == "list" ? listPictures : 1); ++picture) {
            if (picture > 0) usleep(250000);
            if (const int differing = differingPixels(screen(), *expected))
                faults += std::string(name) + ", picture " + std::to_string(picture) + ": " +
                          std::to_string(differing) + " pixels differ; ";
        }
        go();
    }
    return faults;
}

std::string Board::console() const { return readFile(folder / "console.log"); }
