// Daily archive: the per-place file, the download of missing days and the
// reader of the archive service's reply.
#include "history/ArchiveStore.h"

#include "history/PlaceFile.h"
#include "model/Dates.h"
#include "platform/Files.h"
#include "service/ServiceHosts.h"
#include "service/WeatherService.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <nlohmann/json.hpp>

namespace nbr {

namespace {

using json = nlohmann::json;

constexpr int kBackfillDays = 3650;
constexpr auto kEmptyRetry = std::chrono::seconds(300);

// A date text the store takes: exactly YYYY-MM-DD and a readable date.
bool isDate(const std::string& s) {
    int y, m, d;
    return s.size() == 10 && parseIsoDate(s, y, m, d);
}

bool finiteNumber(const json& v, double& out) {
    if (!v.is_number()) return false;
    out = v.get<double>();
    return std::isfinite(out);
}

// One file line as a day; false for a line of any other shape. A value that
// is present but not a finite number makes the line unreadable (a null would
// otherwise read as 0 and pass for an observation); a rain amount left out
// is unknown.
bool readLine(const char* begin, const char* end, ArchiveStore::Day& day) {
    const json j = json::parse(begin, end, nullptr, false);
    if (!j.is_object()) return false;
    const auto d = j.find("d");
    if (d == j.end() || !d->is_string()) return false;
    day = {};
    day.date = d->get<std::string>();
    day.precip = kUnknownAmount;
    const std::pair<const char*, double*> numbers[] = {{"x", &day.tmax}, {"n", &day.tmin}, {"p", &day.precip}};
    for (const auto& [key, out] : numbers) {
        const auto v = j.find(key);
        if (v == j.end() ? out != &day.precip : !finiteNumber(*v, *out)) return false;
    }
    return isDate(day.date);
}

void ensureDir(const std::string& dir) {
    platform::createPrivateDirectories(dir);  // a failure shows in the open
}

}  // namespace

std::string ArchiveStore::addDays(const std::string& date, int n) { return nbr::addDays(date, n); }

std::string ArchiveStore::pathFor(const std::string& key) const { return placeFilePath(dir, key); }

PlaceFileMove ArchiveStore::renamePlace(const std::string& oldKey, const std::string& newKey, bool keepOld) {
    if (dir.empty() || oldKey == newKey) return PlaceFileMove::Nothing;
    const PlaceFileMove moved = movePlaceFile(dir, oldKey, newKey, keepOld);
    entries.erase(newKey);
    if (!keepOld) entries.erase(oldKey);
    return moved;
}

std::string ArchiveStore::lineOf(const Day& day) {
    json j;
    j["d"] = day.date;
    j["x"] = day.tmax;
    j["n"] = day.tmin;
    if (knownAmount(day.precip)) j["p"] = day.precip;  // an unknown amount is left out
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

ArchiveStore::Entry& ArchiveStore::entryFor(const std::string& key) {
    Entry& entry = entries[key];
    if (entry.loaded || dir.empty()) return entry;
    entry.loaded = true;
    const auto text = platform::readFile(pathFor(key));
    if (!text) return entry;
    const char* p = text->data();
    const char* const end = p + text->size();
    bool damaged = false;  // an unreadable line since the last kept day
    while (p < end) {
        const char* eol = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        const char* next = eol ? eol + 1 : end;
        const char* lineEnd = eol ? eol : end;
        if (lineEnd > p && lineEnd[-1] == '\r') --lineEnd;
        if (lineEnd > p) {
            Day day;
            if (!readLine(p, lineEnd, day)) {
                damaged = true;
            } else if (entry.days.empty() || day.date > entry.days.back().date) {
                // Days lost to a damaged line are fetched again by the next
                // download; a torn last line is simply followed by its day.
                if (damaged && !entry.days.empty() && entry.repairFrom.empty()) {
                    const std::string expected = addDays(entry.days.back().date, 1);
                    if (day.date != expected) entry.repairFrom = expected;
                }
                damaged = false;
                entry.days.push_back(std::move(day));
            }
            // Duplicate and out-of-order lines are dropped.
        }
        p = next;
    }
    return entry;
}

std::vector<ArchiveStore::Day> ArchiveStore::parseArchive(const std::string& body) {
    std::vector<Day> days;
    const json root = json::parse(body, nullptr, false);
    if (!root.is_object()) return days;
    const auto error = root.find("error");
    if (error != root.end() && error->is_boolean() && error->get<bool>()) return days;
    const auto daily = root.find("daily");
    if (daily == root.end() || !daily->is_object()) return days;
    const auto time = daily->find("time");
    const auto highs = daily->find("temperature_2m_max");
    const auto lows = daily->find("temperature_2m_min");
    const auto rain = daily->find("precipitation_sum");
    if (time == daily->end() || !time->is_array()) return days;
    if (highs == daily->end() || !highs->is_array() || lows == daily->end() || !lows->is_array()) return days;
    const bool hasRain = rain != daily->end() && rain->is_array();
    days.reserve(time->size());
    for (size_t i = 0; i < time->size(); ++i) {
        const json& t = (*time)[i];
        if (!t.is_string() || i >= highs->size() || i >= lows->size()) continue;
        Day day;
        day.date = t.get<std::string>();
        // Days not yet available come as nulls; dates are taken only when
        // they read as dates.
        if (!isDate(day.date) || !finiteNumber((*highs)[i], day.tmax) || !finiteNumber((*lows)[i], day.tmin))
            continue;
        // A day without its rain amount keeps it unknown, never 0.
        if (!hasRain || i >= rain->size() || !finiteNumber((*rain)[i], day.precip) || !knownAmount(day.precip))
            day.precip = kUnknownAmount;
        days.push_back(std::move(day));
    }
    return days;
}

const std::vector<ArchiveStore::Day>* ArchiveStore::ensure(const std::string& key, double lat, double lon,
                                                           const std::string& lastDay, const Fetcher& fetcher) {
    if (dir.empty() || lastDay.size() != 10) return nullptr;
    Entry& entry = entryFor(key);
    std::vector<Day>& days = entry.days;

    std::string start = days.empty() ? addDays(lastDay, -kBackfillDays) : addDays(days.back().date, 1);
    if (!entry.repairFrom.empty() && !start.empty() && entry.repairFrom < start) start = entry.repairFrom;
    if (start.empty() || start > lastDay || entry.lastAttemptDay == lastDay) return &days;

    if (days.empty()) {
        const auto now = std::chrono::steady_clock::now();
        if (emptyAttemptMade && now - lastEmptyAttempt < kEmptyRetry) return &days;
        emptyAttemptMade = true;
        lastEmptyAttempt = now;
    }
    // Before the request, so a failure is not repeated until the day changes.
    entry.lastAttemptDay = lastDay;

    const std::string url = serviceBase(service::Archive) + "/v1/archive?latitude=" + formatFixed(lat, 6) +
                            "&longitude=" + formatFixed(lon, 6) + "&start_date=" + start +
                            "&end_date=" + lastDay +
                            "&daily=temperature_2m_max,temperature_2m_min,precipitation_sum&timezone=auto";
    const std::string body = fetcher ? fetcher(url) : std::string();
    if (body.empty()) return &days;
    std::vector<Day> fetched = parseArchive(body);

    std::vector<std::string> lines;
    bool filledGap = false;
    for (auto& day : fetched) {
        if (days.empty() || day.date > days.back().date) {
            lines.push_back(lineOf(day));
            days.push_back(std::move(day));
            continue;
        }
        // A day inside a stretch lost to a damaged line goes back in its place.
        if (entry.repairFrom.empty() || day.date < entry.repairFrom) continue;
        const auto at = std::lower_bound(days.begin(), days.end(), day.date,
                                         [](const Day& a, const std::string& d) { return a.date < d; });
        if (at != days.end() && at->date == day.date) continue;
        days.insert(at, std::move(day));
        filledGap = true;
    }
    if (!fetched.empty()) entry.repairFrom.clear();

    if (filledGap) {
        // Days in the middle: the file is written anew, in date order, so
        // the damaged line goes too.
        ensureDir(dir);
        platform::AtomicFileWriter out(pathFor(key));
        std::string text;
        text.reserve(days.size() * 56);
        for (const auto& day : days) {
            text += lineOf(day);
            text += '\n';
        }
        out.write(text);
        if (out.commit()) return &days;
        // The old file stays; at least the new days at the end reach it.
    }
    if (!lines.empty()) {
        ensureDir(dir);
        std::string text;
        for (const auto& l : lines) {
            text += l;
            text += '\n';
        }
        platform::appendLinesSynced(pathFor(key), text);
    }
    return &days;
}

}  // namespace nbr
