// The whole check, file by file in the order the selector reads them: its
// images and settings at start-up, the ROM folder for the list, and the
// launch program on A.
#include <sys/stat.h>

#include <cerrno>

#include "check.h"
#include "check_fat.h"

CheckReport checkFolder(const CheckPlace& given) {
    CheckReport report;
    const CheckPlace place = findCard(given);
    struct stat info;
    const bool found = stat(place.folder.c_str(), &info) == 0;
    if (!found || !S_ISDIR(info.st_mode)) {
        const std::string what = found ? "is not a folder" : whyNot(errno);
        report.findings.push_back({place.folder, say("{}: name the folder the selector runs in", {what})});
        return report;
    }
    if (place.cardFound)
        report.findings.push_back(
            {place.folder,
             say("lies on the FAT card mounted at {}: checked as with \"--card {}\", so /mnt/sd/ is {} here",
                 {place.card, place.card, place.card}),
             false});
    const ConfigReading reading = loadConfig((place.folder + "/" + platform::configFileName).c_str());
    report.starts = reading.fault == ConfigFault::None;
    checkSettingsFile(reading, report.findings);
    checkImages(place, report);
    if (reading.fault != ConfigFault::None) return report;

    const SelectorConfig& config = reading.config;
    checkValues(config, report.findings);
    checkExtensions(config, report.findings);
    checkCatalogue(config, place, report);
    checkLaunchProgram(config.launchProgram, place, report.findings);
    const Reached program = reach(place, config.launchProgram);
    report.programChecked = !program.path.empty() || program.wrong;
    checkMenuEntries(place, report.findings);
    return report;
}
