// Costs of a place's daily archive: the ten-year back-fill (reading the
// archive reply and appending its days to a new file), reading the file back
// cold at the next start, and every analytic a refresh derives from it. The
// whole of it together is meant to stay under 50 ms.
#include "history/ArchiveStore.h"
#include "model/Dates.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

using nbr::ArchiveStore;

namespace {

const std::string kKey = "Bench@59.9139,10.7522";
const std::string kLastDay = "2024-05-10";

// An archive reply of 3651 days as the service sends it: values with one
// decimal, a seasonal swing and rain on about a third of the days.
std::string tenYearReply() {
    std::string time, highs, lows, rain;
    const std::string first = ArchiveStore::addDays(kLastDay, -3650);
    char buf[64];
    for (int i = 0; i <= 3650; ++i) {
        const char* sep = i ? "," : "";
        const double season = -11 * std::cos(2 * M_PI * (nbr::dayOfYear(ArchiveStore::addDays(first, i)) - 20) / 365.25);
        const double high = std::round((12 + season + (i * 37 % 17) * 0.5 - 4) * 10) / 10;
        std::snprintf(buf, sizeof buf, "%s%.1f", sep, high);
        highs += buf;
        std::snprintf(buf, sizeof buf, "%s%.1f", sep, high - 3 - (i * 13 % 11) * 0.4);
        lows += buf;
        std::snprintf(buf, sizeof buf, "%s%.1f", sep, i % 3 ? 0.0 : (i * 7 % 23) * 0.6);
        rain += buf;
        time += std::string(sep) + "\"" + ArchiveStore::addDays(first, i) + "\"";
    }
    return "{\"latitude\":59.92,\"longitude\":10.75,\"generationtime_ms\":41.2,\"utc_offset_seconds\":7200,"
           "\"timezone\":\"Europe/Oslo\",\"timezone_abbreviation\":\"CEST\",\"elevation\":12.0,"
           "\"daily_units\":{\"time\":\"iso8601\",\"temperature_2m_max\":\"°C\",\"temperature_2m_min\":\"°C\","
           "\"precipitation_sum\":\"mm\"},\"daily\":{\"time\":[" +
           time + "],\"temperature_2m_max\":[" + highs + "],\"temperature_2m_min\":[" + lows +
           "],\"precipitation_sum\":[" + rain + "]}}";
}

struct Folder {
    std::string path;
    Folder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "nimbrel-bench-XXXXXX").string();
        path = mkdtemp(tmpl.data()) ? tmpl : std::string(".");
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

// A new place: the whole reply read and appended to a new file.
const std::vector<ArchiveStore::Day>* backfill(const std::string& folder, ArchiveStore& store, const std::string& body) {
    std::filesystem::remove(store.pathFor(kKey));
    store.dir = folder;
    return store.ensure(kKey, 59.9139, 10.7522, kLastDay, [&](const std::string&) { return body; });
}

// The seasonal outlook of a refresh: about six months of daily highs.
struct Outlook {
    std::vector<std::string> dates;
    std::vector<double> highs;
    Outlook() {
        for (int i = 0; i < 183; ++i) {
            dates.push_back(ArchiveStore::addDays("2024-05-12", i));
            highs.push_back(14 + (i % 9) * 0.7);
        }
    }
};

void analytics(const std::vector<ArchiveStore::Day>& days, const Outlook& outlook) {
    benchmark::DoNotOptimize(ArchiveStore::normalsFor(days, "05-11"));
    benchmark::DoNotOptimize(ArchiveStore::computeInsights(days, "2024-05-11"));
    benchmark::DoNotOptimize(ArchiveStore::computeSeasonalAnomaly(days, outlook.dates, outlook.highs));
    benchmark::DoNotOptimize(ArchiveStore::computeAnalogs(days, {14.2, 15.8, 17.1}, kLastDay));
}

void BM_BackfillParseAndAppend(benchmark::State& state) {
    Folder folder;
    const std::string body = tenYearReply();
    state.counters["replyBytes"] = double(body.size());
    for (auto _ : state) {
        ArchiveStore store;
        benchmark::DoNotOptimize(backfill(folder.path, store, body));
    }
}
BENCHMARK(BM_BackfillParseAndAppend)->Unit(benchmark::kMillisecond);

void BM_ColdReload(benchmark::State& state) {
    Folder folder;
    ArchiveStore first;
    backfill(folder.path, first, tenYearReply());
    state.counters["fileBytes"] = double(std::filesystem::file_size(first.pathFor(kKey)));
    for (auto _ : state) {
        ArchiveStore store;
        store.dir = folder.path;
        benchmark::DoNotOptimize(store.entryFor(kKey).days.size());
    }
}
BENCHMARK(BM_ColdReload)->Unit(benchmark::kMillisecond);

void BM_AllAnalytics(benchmark::State& state) {
    Folder folder;
    ArchiveStore store;
    const auto* days = backfill(folder.path, store, tenYearReply());
    const Outlook outlook;
    for (auto _ : state) analytics(*days, outlook);
}
BENCHMARK(BM_AllAnalytics)->Unit(benchmark::kMillisecond);

// The three together, as one new place's first refresh and a later start.
void BM_BackfillReloadAndAnalytics(benchmark::State& state) {
    Folder folder;
    const std::string body = tenYearReply();
    const Outlook outlook;
    for (auto _ : state) {
        ArchiveStore first;
        backfill(folder.path, first, body);
        ArchiveStore again;
        again.dir = folder.path;
        analytics(again.entryFor(kKey).days, outlook);
    }
}
BENCHMARK(BM_BackfillReloadAndAnalytics)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
