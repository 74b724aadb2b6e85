// Benchmarks of the selector's hot work, each beside the least that the same
// work can cost, so that the ratio shows how close the code is to its limit.
#include <benchmark/benchmark.h>
#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "app.h"
#include "bench_folders.h"

namespace {

// Folders are made once per size and kept for the whole run.
BenchFolder& folderWith(int entries, int accepted) {
    static std::map<std::pair<int, int>, std::unique_ptr<BenchFolder>> folders;
    auto& folder = folders[{entries, accepted}];
    if (!folder) folder = std::make_unique<BenchFolder>(entries, accepted);
    return *folder;
}

void reportPerItem(benchmark::State& state, int items) {
    state.SetItemsProcessed(state.iterations() * items);
    state.counters["time_per_item"] = benchmark::Counter(
        items, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void scanOf(benchmark::State& state, int entries, int accepted) {
    std::filesystem::current_path(folderWith(entries, accepted).path);
    for (auto _ : state) {
        RomList list = scanRoms("roms/");
        benchmark::DoNotOptimize(list.romCount);
    }
    reportPerItem(state, entries);
}

void BM_Scan(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    scanOf(state, entries, entries / 2);
}
BENCHMARK(BM_Scan)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ScanNoneAccepted(benchmark::State& state) { scanOf(state, static_cast<int>(state.range(0)), 0); }
BENCHMARK(BM_ScanNoneAccepted)->Arg(100000)->Unit(benchmark::kMillisecond);

// The floor of a scan: a plain scandir whose filter does one open, read and
// close of the four-line settings file per entry and a bare suffix test.
int openReadCloseFilter(const struct dirent* entry) {
    char buffer[512];
    FILE* file = std::fopen("selector.cfg", "r");
    if (!file) return 0;
    benchmark::DoNotOptimize(std::fread(buffer, 1, sizeof buffer, file));
    std::fclose(file);
    const char* dot = std::strrchr(entry->d_name, '.');
    return dot && (std::strcmp(dot, ".rom") == 0 || std::strcmp(dot, ".bin") == 0);
}

void BM_ScanFloor(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    const int accepted = state.range(1) ? entries / 2 : 0;
    std::filesystem::current_path(folderWith(entries, accepted).path);
    for (auto _ : state) {
        struct dirent** list = nullptr;
        const int count = scandir("roms/", &list, openReadCloseFilter, alphasort);
        for (int i = 0; i < count; ++i) std::free(list[i]);
        std::free(list);
    }
    reportPerItem(state, entries);
}
BENCHMARK(BM_ScanFloor)
    ->Args({1000, 1})
    ->Args({10000, 1})
    ->Args({100000, 1})
    ->Args({100000, 0})
    ->Unit(benchmark::kMillisecond);

// A started selector on the shipped artwork, showing the first ten of twenty names.
SelectorContext& browsingSelector() {
    static BenchFolder folder(20, 20);
    static SelectorContext context;
    if (!context.screen) {
        for (const char* image :
             {platform::backgroundFile, platform::fontFile, platform::arrowFile, platform::splashFile})
            std::filesystem::copy_file(std::string(DATA_FOLDER) + "/" + image, folder.path + "/" + image,
                                       std::filesystem::copy_options::overwrite_existing);
        std::filesystem::current_path(folder.path);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        std::string problem;
        if (!startSelector(context, problem)) std::abort();
        context.state = SelectorState::Browse;
        browsePass(context);  // the scan
    }
    return context;
}

void BM_BrowsePass(benchmark::State& state) {
    SelectorContext& context = browsingSelector();
    for (auto _ : state) browsePass(context);
}
BENCHMARK(BM_BrowsePass);

// The blits of one pass, worked out beforehand and written out by hand.
struct Blit {
    SDL_Surface* source;
    SDL_Rect from, to;
    bool whole;
};

std::vector<Blit> blitsOfAPass(SelectorContext& context) {
    std::vector<Blit> blits;
    blits.push_back({context.background.get(), {}, {0, 0, 0, 0}, true});
    for (int row = 0; row < context.view.visibleRows; ++row) {
        const std::string name = uppercase(context.names[row].c_str());
        for (size_t i = 0; i < name.size() && i < maxTextLength; ++i) {
            const int cell = glyphCell(static_cast<unsigned char>(name[i]));
            if (cell < 0) continue;
            blits.push_back({context.font.get(),
                             {static_cast<Sint16>(8 * cell), 0, 8, 8},
                             {static_cast<Sint16>(nameX + 8 * i),
                              static_cast<Sint16>(firstNameY + rowHeight * row), 8, 8},
                             false});
        }
    }
    blits.push_back({context.arrow.get(), {}, {arrowX, firstArrowY, 0, 0}, true});
    return blits;
}

void BM_BrowsePassFloor(benchmark::State& state) {
    SelectorContext& context = browsingSelector();
    const std::vector<Blit> blits = blitsOfAPass(context);
    for (auto _ : state) {
        for (Blit blit : blits)
            SDL_BlitSurface(blit.source, blit.whole ? nullptr : &blit.from, context.screen, &blit.to);
        SDL_Flip(context.screen);
    }
    state.counters["blits"] = static_cast<double>(blits.size());
}
BENCHMARK(BM_BrowsePassFloor);

const char* const name34 = "DRAGON LANCE - THE RETURN (V1.1).B";

void BM_DrawText34(benchmark::State& state) {
    SelectorContext& context = browsingSelector();
    for (auto _ : state) drawText(context.font.get(), context.screen, nameX, firstNameY, name34, 0);
    reportPerItem(state, 34);
}
BENCHMARK(BM_DrawText34);

void BM_DrawText34Floor(benchmark::State& state) {
    SelectorContext& context = browsingSelector();
    std::vector<std::pair<SDL_Rect, SDL_Rect>> glyphs;
    for (int i = 0; i < 34; ++i) {
        const int cell = glyphCell(static_cast<unsigned char>(name34[i]));
        if (cell >= 0)
            glyphs.push_back({{static_cast<Sint16>(8 * cell), 0, 8, 8},
                              {static_cast<Sint16>(nameX + 8 * i), firstNameY, 8, 8}});
    }
    for (auto _ : state)
        for (auto [from, to] : glyphs) SDL_BlitSurface(context.font.get(), &from, context.screen, &to);
    reportPerItem(state, 34);
}
BENCHMARK(BM_DrawText34Floor);

}  // namespace

BENCHMARK_MAIN();
