#include "update/InstalledRecord.h"

#include "platform/FileSystem.h"
#include "platform/GbkText.h"
#include "platform/IniFile.h"
#include "platform/ReplacementFile.h"
#include "update/UpdateFailure.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {
namespace {

// The record as it stands; nothing for a missing file (a link is refused later, at the commit).
std::string currentRecord(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string text;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        char buffer[65536];
        ssize_t got = 0;
        while ((got = read(fd, buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    return text;
}

std::string dateText(int dayNumberValue)
{
    // Back from a day number counted from 1899-12-30 (H. Hinnant's civil_from_days).
    const int z = dayNumberValue - 25569 + 719468;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const int dayOfEra = z - era * 146097;
    const int yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int monthIndex = (5 * dayOfYear + 2) / 153;
    const int day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const int month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const int year = yearOfEra + era * 400 + (month <= 2);
    return std::to_string(year) + "-" + std::to_string(month) + "-" + std::to_string(day);
}

} // namespace

std::string installedDateText(const UpdateEntry& entry, int today)
{
    return parseShortDate(entry.dateText) ? std::string(trim(entry.dateText)) : dateText(today);
}

Status stageInstalledRecord(const StagingArea& area, const std::vector<UpdateEntry>& entries, int today)
{
    const std::string staged = area.stagedPath(kInstalledRecordName);
    ReplacementFile copy(staged);
    copy.write(currentRecord(joinPath(area.folder(), kInstalledRecordName)));
    if (!copy.commit())
        return updateFailure(UpdateFailure::CannotWrite);
    IniFile record(staged);
    for (const UpdateEntry& entry : entries)
        if (!record.writeString(installedSection(entry.name), "Date", installedDateText(entry, today)))
            return updateFailure(UpdateFailure::CannotWrite);
    return Status();
}

} // namespace quill
