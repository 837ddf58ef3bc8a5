// quillmark-loggen: writes the bundled sample folder, one large benchmark log, or months of a
// site's daily logs for the crawl ledger (with the site's sitemap, "sitemap.txt").
//   quillmark-loggen samples FOLDER
//   quillmark-loggen iis7 FILE BYTES [SEED]
//   quillmark-loggen site FOLDER [DAYS [BYTES_PER_DAY]]

#include "LogGenerator.h"
#include "SiteLogGenerator.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace quill::bench;

namespace {

int writeSamples(const std::string& folder)
{
    const std::string base = folder + "/";
    GeneratorOptions iis6{FieldSet::Iis6, 11, 60'000, "2026-11-30", false};
    GeneratorOptions iis7{FieldSet::Iis7, 12, 90'000, "2026-12-01", false};
    GeneratorOptions restart{FieldSet::Iis7, 13, 80'000, "2026-12-02", true};
    bool ok = writeIisLog(base + "ex261130.log", iis6) && writeIisLog(base + "ex261201.log", iis7)
              && writeIisLog(base + "ex261202.log", restart)
              && writeLogParserExport(base + "logparser_261201.log", 14, 40'000);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "samples" && argc == 3)
        return writeSamples(argv[2]);
    if (mode == "iis7" && (argc == 4 || argc == 5)) {
        GeneratorOptions options;
        options.targetBytes = std::strtoull(argv[3], nullptr, 10);
        options.seed = argc == 5 ? std::strtoull(argv[4], nullptr, 10) : 1;
        return writeIisLog(argv[2], options) ? 0 : 1;
    }
    if (mode == "site" && argc >= 3 && argc <= 5) {
        SiteOptions options;
        if (argc >= 4)
            options.days = std::atoi(argv[3]);
        if (argc == 5)
            options.bytesPerDay = std::strtoull(argv[4], nullptr, 10);
        const std::string folder = argv[2];
        return writeSiteLogs(folder, options) && writeSiteSitemap(folder + "/sitemap.txt", options) ? 0 : 1;
    }
    std::fputs("usage: quillmark-loggen samples FOLDER | iis7 FILE BYTES [SEED] | site FOLDER [DAYS [BYTES_PER_DAY]]\n",
               stderr);
    return 2;
}
