// The updater's heavy steps against baselines in the same run: the manifest analysis of 1,000 and
// 10,000 sections against reading the file and cutting it into lines, the unpacking of a 100 MB
// package against `unzip -o` of the same file, and the check of the package (the manifest's
// signature and the package's SHA-256) against `sha256sum` of it.

#include "platform/CodePage.h"
#include "update/UnpackPackage.h"
#include "update/UpdateManifest.h"
#include "update/UpdateSignature.h"

#include <benchmark/benchmark.h>
#include <zip.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path& scratch()
{
    static const fs::path folder = [] {
        fs::path path = fs::temp_directory_path() / ("quillmark-update-bench-" + std::to_string(getpid()));
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

void writeText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// A manifest of `sections` files, half of them named in the installed record.
const std::pair<std::string, std::string>& manifestFiles(int sections)
{
    static std::map<int, std::pair<std::string, std::string>> made;
    auto& files = made[sections];
    if (!files.first.empty())
        return files;
    std::string manifest, installed;
    const std::string note = quill::gbk("修正统计页的蜘蛛名称");
    for (int i = 0; i < sections; ++i) {
        const std::string name = "file" + std::to_string(i) + ".zip";
        manifest += "[s" + std::to_string(i) + "]\r\nName=" + name + "\r\nDate=2010-" + std::to_string(i % 12 + 1) +
                    "-1\r\nSize=" + std::to_string(i) + " KB\r\nnote=" + note + "\r\nURL=http://127.0.0.1/u/" + name +
                    "\r\n";
        if (i % 2 == 0)
            installed += "[file" + std::to_string(i) + "_zip]\r\nDate=2010-6-1\r\n";
    }
    files.first = (scratch() / ("tmp" + std::to_string(sections) + ".ini")).string();
    files.second = (scratch() / ("update" + std::to_string(sections) + ".ini")).string();
    writeText(files.first, manifest);
    writeText(files.second, installed);
    return files;
}

void BM_ManifestAnalysis(benchmark::State& state)
{
    const auto& [manifest, installed] = manifestFiles(static_cast<int>(state.range(0)));
    const int today = quill::dayNumber(2010, 6, 15);
    for (auto _ : state)
        benchmark::DoNotOptimize(quill::newerEntries(manifest, installed, today));
}

// The least any analysis does: both files read and cut into lines.
void BM_ReadAndCutLines(benchmark::State& state)
{
    const auto& [manifest, installed] = manifestFiles(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        size_t lines = 0;
        for (const std::string& path : {manifest, installed}) {
            std::ifstream in(path, std::ios::binary);
            std::string line;
            while (std::getline(in, line))
                ++lines;
        }
        benchmark::DoNotOptimize(lines);
    }
}

// 100 MB in 20 files of words, deflated as packages are.
const std::string& package()
{
    static const std::string path = [] {
        const std::string zipPath = (scratch() / "package.zip").string();
        std::mt19937 random(7);
        const char* words[] = {"update ", "crawler ", "spider ", "log ", "index ", "keyword ", "site ", "\r\n",
                               "quill ", "mark ", "box ", "0x1F ", "GET ", "200 ", "/news/1.html "};
        std::vector<std::string> contents(20);
        for (std::string& content : contents) {
            content.reserve(5u << 20);
            while (content.size() < (5u << 20))
                content += words[random() % std::size(words)];
        }
        int error = 0;
        zip_t* archive = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        for (size_t i = 0; i < contents.size(); ++i) {
            zip_source_t* source = zip_source_buffer(archive, contents[i].data(), contents[i].size(), 0);
            zip_file_add(archive, ("data" + std::to_string(i) + ".txt").c_str(), source, 0);
        }
        if (!archive || zip_close(archive) != 0)
            throw std::runtime_error("cannot write the package");
        return zipPath;
    }();
    return path;
}

void BM_UnpackPackage(benchmark::State& state)
{
    const fs::path folder = scratch() / "ours";
    fs::create_directories(folder);
    fs::copy_file(package(), folder / "package.zip", fs::copy_options::overwrite_existing);
    for (auto _ : state)
        if (quill::unpackPackage(folder.string(), "package.zip") != quill::UnpackResult::Unpacked)
            state.SkipWithError("the package did not unpack");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (100 << 20));
}

// What the updater checks of a downloaded package: the signature of a 10,000-section manifest
// (1.2 MB) and the package's SHA-256. The signature is a stand-in made with a throw-away key, so
// its check fails, but it does all the work of one that passes.
void BM_CheckPackage(benchmark::State& state)
{
    const std::string manifest = [] {
        std::ifstream in(manifestFiles(10000).first, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }();
    const std::string signature(86, 'A');
    const quill::PublicKey key = quill::releasePublicKey();
    for (auto _ : state) {
        benchmark::DoNotOptimize(quill::verifySignature(manifest, signature + "==", key));
        if (!quill::fileSha256(package()))
            state.SkipWithError("the package could not be read");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(fs::file_size(package())));
}

void BM_Sha256sumCommand(benchmark::State& state)
{
    const std::string command = "sha256sum '" + package() + "' > /dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("sha256sum failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(fs::file_size(package())));
}

void BM_UnzipCommand(benchmark::State& state)
{
    const fs::path folder = scratch() / "unzip";
    fs::create_directories(folder);
    const std::string command = "unzip -o -q '" + package() + "' -d '" + folder.string() + "'";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("unzip failed (scripts/setup.sh --bench installs it)");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (100 << 20));
}

} // namespace

BENCHMARK(BM_ManifestAnalysis)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAndCutLines)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnpackPackage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Repetitions(3);
BENCHMARK(BM_UnzipCommand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Repetitions(3);
BENCHMARK(BM_CheckPackage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Repetitions(3);
BENCHMARK(BM_Sha256sumCommand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Repetitions(3);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(scratch());
}
