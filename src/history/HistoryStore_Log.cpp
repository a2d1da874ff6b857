// History log: record lines, the per-place file and the in-memory cache.
#include "history/HistoryStore.h"

#include "history/PlaceFile.h"
#include "model/Dates.h"
#include "model/WeatherTypes.h"
#include "platform/Files.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

namespace nbr {

namespace {

using json = nlohmann::json;

// Caps of the lists: a list longer than `limit` keeps its newest `kept`.
constexpr size_t kObsLimit = 8000, kObsKept = 6000;
constexpr size_t kFcstLimit = 4000, kFcstKept = 3000;
constexpr size_t kMFcstLimit = 3000, kMFcstKept = 2200;
constexpr size_t kHfLimit = 4000, kHfKept = 3000;
constexpr size_t kTruthLimit = 450, kTruthKept = 366;

std::string dump(const json& j) {
    // Outside text (place names, source labels) may hold invalid UTF-8.
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

// The top-level members of one line, read through the JSON library's event
// interface without building a document: a log file holds tens of thousands
// of small flat objects.
struct Member {
    enum Kind { Null, Boolean, Integer, Unsigned, Float, Text, Compound };
    explicit Member(Kind k = Null) : kind(k) {}
    Kind kind;
    int64_t i = 0;
    uint64_t u = 0;
    double f = 0;
    std::string s;
};

class FlatObject : public nlohmann::json_sax<json> {
public:
    // Reads [begin, end) as one complete JSON object; false for anything else.
    bool read(const char* begin, const char* end) {
        members_.clear();
        depth_ = 0;
        isObject_ = false;
        return json::sax_parse(begin, end, this) && isObject_;
    }

    const Member* find(const char* key) const {
        for (const auto& [k, v] : members_)
            if (k == key) return &v;
        return nullptr;
    }

    bool null() override { return add(Member()); }
    bool boolean(bool) override { return add(Member(Member::Boolean)); }
    bool number_integer(number_integer_t v) override {
        Member m(Member::Integer);
        m.i = v;
        return add(std::move(m));
    }
    bool number_unsigned(number_unsigned_t v) override {
        Member m(Member::Unsigned);
        m.u = v;
        return add(std::move(m));
    }
    bool number_float(number_float_t v, const string_t&) override {
        Member m(Member::Float);
        m.f = v;
        return add(std::move(m));
    }
    bool string(string_t& v) override {
        Member m(Member::Text);
        m.s = std::move(v);
        return add(std::move(m));
    }
    bool binary(binary_t&) override { return add(Member(Member::Compound)); }
    bool start_object(std::size_t) override {
        if (depth_ == 0) isObject_ = true;
        else if (depth_ == 1) add(Member(Member::Compound));
        ++depth_;
        return true;
    }
    bool end_object() override {
        --depth_;
        return true;
    }
    bool start_array(std::size_t) override {
        if (depth_ == 0) return false;  // a line must be an object
        if (depth_ == 1) add(Member(Member::Compound));
        ++depth_;
        return true;
    }
    bool end_array() override {
        --depth_;
        return true;
    }
    bool key(string_t& k) override {
        if (depth_ == 1) key_ = std::move(k);
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

private:
    // Values inside nested members are skipped; a repeated key keeps its last value.
    bool add(Member m) {
        if (depth_ == 0) return false;  // a bare value is no object
        if (depth_ > 1) return true;
        for (auto& [k, v] : members_)
            if (k == key_) {
                v = std::move(m);
                return true;
            }
        members_.emplace_back(key_, std::move(m));
        return true;
    }

    std::vector<std::pair<std::string, Member>> members_;
    std::string key_;
    int depth_ = 0;
    bool isObject_ = false;
};

// Readers of one key: a missing key leaves the default, a value of the wrong
// type makes the whole line unreadable.
bool readText(const FlatObject& o, const char* key, std::string& out) {
    const Member* m = o.find(key);
    if (!m) return true;
    if (m->kind != Member::Text) return false;
    out = m->s;
    return true;
}

bool readNumber(const FlatObject& o, const char* key, double& out) {
    const Member* m = o.find(key);
    if (!m) return true;
    switch (m->kind) {
        case Member::Integer: out = static_cast<double>(m->i); return true;
        case Member::Unsigned: out = static_cast<double>(m->u); return true;
        case Member::Float: out = m->f; return true;
        default: return false;
    }
}

bool readInt(const FlatObject& o, const char* key, int& out) {
    const Member* m = o.find(key);
    if (!m) return true;
    switch (m->kind) {
        case Member::Integer:
            if (m->i < INT_MIN || m->i > INT_MAX) return false;
            out = static_cast<int>(m->i);
            return true;
        case Member::Unsigned:
            if (m->u > static_cast<uint64_t>(INT_MAX)) return false;
            out = static_cast<int>(m->u);
            return true;
        case Member::Float:
            // Another writer may have stored a whole number as 7.0.
            if (!std::isfinite(m->f) || m->f != std::trunc(m->f) || m->f < INT_MIN || m->f > INT_MAX) return false;
            out = static_cast<int>(m->f);
            return true;
        default: return false;
    }
}

void loadLine(HistoryStore::Log& log, FlatObject& o, const char* begin, const char* end) {
    if (!o.read(begin, end)) return;
    std::string kind;
    if (!readText(o, "t", kind)) return;
    // A value a line leaves out is not known.
    if (kind == "obs") {
        HistoryStore::ObsRecord r;
        r.temp = kUnknownTemperature;
        r.hum = r.pres = r.wind = r.precip = kUnknownAmount;
        r.code = kUnknownCode;
        if (!(readText(o, "time", r.time) && readNumber(o, "temp", r.temp) &&
              readNumber(o, "hum", r.hum) && readNumber(o, "pres", r.pres) &&
              readNumber(o, "wind", r.wind) && readNumber(o, "precip", r.precip) &&
              readInt(o, "code", r.code)))
            return;
        if (r.time.empty()) return;
        log.lastObsTime = r.time;
        log.obs.push_back(std::move(r));
    } else if (kind == "fcst") {
        HistoryStore::FcstRecord r;
        r.tmax = r.tmin = kUnknownTemperature;
        r.pop = kUnknownAmount;
        r.code = kUnknownCode;
        if (!(readText(o, "made", r.made) && readText(o, "date", r.date) &&
              readInt(o, "lead", r.lead) && readNumber(o, "tmax", r.tmax) &&
              readNumber(o, "tmin", r.tmin) && readNumber(o, "pop", r.pop) &&
              readNumber(o, "precip", r.precip) && readInt(o, "code", r.code)))
            return;
        if (r.made.empty() || r.date.empty()) return;
        log.fcstKeys.insert(HistoryStore::keyOf(r));
        log.fcst.push_back(std::move(r));
    } else if (kind == "truth") {
        HistoryStore::TruthRecord r;
        r.tmax = r.tmin = kUnknownTemperature;
        std::string src;
        if (!(readText(o, "date", r.date) && readNumber(o, "tmax", r.tmax) &&
              readNumber(o, "tmin", r.tmin) && readNumber(o, "precip", r.precip) &&
              readText(o, "src", src)))
            return;
        r.fromArchive = src == "arc";
        // The first line of a date wins.
        if (r.date.empty() || !log.truthDates.insert(r.date).second) return;
        log.truth.push_back(std::move(r));
    } else if (kind == "mfcst") {
        HistoryStore::MFcstRecord r;
        r.tmax = r.tmin = kUnknownTemperature;
        if (!(readText(o, "made", r.made) && readText(o, "date", r.date) &&
              readText(o, "model", r.model) && readNumber(o, "tmax", r.tmax) &&
              readNumber(o, "tmin", r.tmin) && readNumber(o, "pop", r.pop)))
            return;
        if (r.made.empty() || r.date.empty() || r.model.empty()) return;
        log.mfcstKeys.insert(HistoryStore::keyOf(r));
        log.mfcst.push_back(std::move(r));
    } else if (kind == "hf") {
        HistoryStore::HFcstRecord r;
        r.temp = kUnknownTemperature;
        if (!(readText(o, "d", r.date) && readInt(o, "h", r.hour) && readNumber(o, "c", r.temp)))
            return;
        if (r.date.empty() || r.hour < 0 || r.hour > 23) return;
        log.hfKeys.insert(HistoryStore::keyOf(r));
        log.hf.push_back(std::move(r));
    }
}

template <class T>
bool keepNewest(std::vector<T>& list, size_t limit, size_t kept) {
    if (list.size() <= limit) return false;
    list.erase(list.begin(), list.end() - static_cast<std::ptrdiff_t>(kept));
    return true;
}

void ensureDir(const std::string& dir) {
    platform::createPrivateDirectories(dir);  // a failure shows in the open
}

}  // namespace

std::string HistoryStore::pathFor(const std::string& key) const { return placeFilePath(dir, key); }

HistoryStore::Log& HistoryStore::logFor(const std::string& key) {
    Log& log = logs[key];
    // Without a folder there is no file yet; it is read once one is set.
    if (log.loaded || dir.empty()) return log;
    log.loaded = true;
    std::ifstream in(pathFor(key), std::ios::binary);
    if (!in) return log;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const char* p = text.data();
    const char* const end = p + text.size();
    FlatObject line;
    while (p < end) {
        const char* eol = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        const char* next = eol ? eol + 1 : end;
        const char* lineEnd = eol ? eol : end;
        if (lineEnd > p && lineEnd[-1] == '\r') --lineEnd;
        if (lineEnd > p) loadLine(log, line, p, lineEnd);
        p = next;
    }
    return log;
}

bool HistoryStore::appendLines(const std::string& key, const std::vector<std::string>& lines) {
    if (lines.empty()) return true;
    if (dir.empty()) return false;  // never write beside the file system's root
    ensureDir(dir);
    std::string text;
    size_t size = 0;
    for (const auto& l : lines) size += l.size() + 1;
    text.reserve(size);
    for (const auto& l : lines) {
        text += l;
        text += '\n';
    }
    return platform::appendLinesSynced(pathFor(key), text);
}

bool HistoryStore::rewrite(const std::string& key, const Log& log) {
    if (dir.empty()) return false;
    ensureDir(dir);
    platform::AtomicFileWriter out(pathFor(key));
    if (!out.ok()) return false;
    // Written in pieces as the lines are made, so the whole text is never
    // held twice.
    constexpr size_t kChunk = 64 * 1024;
    std::string chunk;
    chunk.reserve(kChunk + 512);
    auto add = [&](const std::string& line) {
        chunk += line;
        chunk += '\n';
        if (chunk.size() >= kChunk) {
            out.write(chunk);
            chunk.clear();
        }
    };
    for (const auto& r : log.truth) add(lineOf(r));
    for (const auto& r : log.fcst) add(lineOf(r));
    for (const auto& r : log.mfcst) add(lineOf(r));
    for (const auto& r : log.hf) add(lineOf(r));
    for (const auto& r : log.obs) add(lineOf(r));
    out.write(chunk);
    return out.commit();
}

void HistoryStore::pruneAndFlush(const std::string& key, Log& log, std::vector<std::string>& lines) {
    bool trimmed = false;
    trimmed |= keepNewest(log.obs, kObsLimit, kObsKept);
    trimmed |= keepNewest(log.fcst, kFcstLimit, kFcstKept);
    trimmed |= keepNewest(log.mfcst, kMFcstLimit, kMFcstKept);
    trimmed |= keepNewest(log.hf, kHfLimit, kHfKept);
    trimmed |= keepNewest(log.truth, kTruthLimit, kTruthKept);
    if (trimmed) {
        log.truthDates.clear();
        log.fcstKeys.clear();
        log.mfcstKeys.clear();
        log.hfKeys.clear();
        for (const auto& r : log.truth) log.truthDates.insert(r.date);
        for (const auto& r : log.fcst) log.fcstKeys.insert(keyOf(r));
        for (const auto& r : log.mfcst) log.mfcstKeys.insert(keyOf(r));
        for (const auto& r : log.hf) log.hfKeys.insert(keyOf(r));
        if (rewrite(key, log)) return;
        // The old file is still in place: keep the new records on disk at least.
    }
    if (!lines.empty()) appendLines(key, lines);
}

PlaceFileMove HistoryStore::renamePlace(const std::string& oldKey, const std::string& newKey, bool keepOld) {
    if (dir.empty() || oldKey == newKey) return PlaceFileMove::Nothing;
    const PlaceFileMove moved = movePlaceFile(dir, oldKey, newKey, keepOld);
    logs.erase(newKey);
    if (!keepOld) logs.erase(oldKey);
    return moved;
}

std::string HistoryStore::previousDate(const std::string& date) {
    return addDays(date, -1);
}

int64_t HistoryStore::isoToMinutes(const std::string& time) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    if (std::sscanf(time.c_str(), "%d-%d-%dT%d:%d", &y, &mo, &d, &h, &mi) != 5) return -1;
    int64_t days = 0;
    if (!daysSinceEpoch(y, mo, d, days)) return -1;
    return days * 1440 + int64_t{h} * 60 + mi;
}

bool HistoryStore::readHour(const std::string& time, int& hour) {
    if (time.size() <= 12) return false;
    const char* first = time.data() + 11;
    const char* last = time.data() + time.size();
    int value = 0;
    const auto res = std::from_chars(first, last, value);
    if (res.ec != std::errc() || res.ptr == first) return false;
    hour = value;
    return true;
}

std::string HistoryStore::keyOf(const FcstRecord& r) { return r.made + "|" + r.date; }

std::string HistoryStore::keyOf(const MFcstRecord& r) {
    return r.made + "|" + r.date + "|" + r.model;
}

std::string HistoryStore::keyOf(const HFcstRecord& r) {
    return r.date + "|" + std::to_string(r.hour);
}

// Doubles are stored as JSON floats so they always carry a fraction or an
// exponent; the library writes a non-finite value as null. A value that is
// not known is left out of its line (read back as not known), never written
// as a number.
namespace {

void putAmount(json& j, const char* key, double value) {
    if (std::isfinite(value) && knownAmount(value)) j[key] = value;
}

void putCode(json& j, const char* key, int code) {
    if (knownCode(code)) j[key] = code;
}

json obsJson(const HistoryStore::ObsRecord& r) {
    json j;
    j["t"] = "obs";
    j["time"] = r.time;
    if (std::isfinite(r.temp) && knownTemperature(r.temp)) j["temp"] = r.temp;
    putAmount(j, "hum", r.hum);
    putAmount(j, "pres", r.pres);
    putAmount(j, "wind", r.wind);
    putAmount(j, "precip", r.precip);
    putCode(j, "code", r.code);
    return j;
}

}  // namespace

std::string HistoryStore::lineOf(const ObsRecord& r) { return dump(obsJson(r)); }

std::string HistoryStore::stationLineOf(const ObsRecord& r) {
    json j = obsJson(r);
    j["src"] = "stn";
    return dump(j);
}

std::string HistoryStore::lineOf(const FcstRecord& r) {
    json j;
    j["t"] = "fcst";
    j["made"] = r.made;
    j["date"] = r.date;
    j["lead"] = r.lead;
    j["tmax"] = r.tmax;
    j["tmin"] = r.tmin;
    putAmount(j, "pop", r.pop);
    putAmount(j, "precip", r.precip);
    putCode(j, "code", r.code);
    return dump(j);
}

std::string HistoryStore::lineOf(const TruthRecord& r) {
    json j;
    j["t"] = "truth";
    j["date"] = r.date;
    j["tmax"] = r.tmax;
    j["tmin"] = r.tmin;
    putAmount(j, "precip", r.precip);
    if (r.fromArchive) j["src"] = "arc";
    return dump(j);
}

std::string HistoryStore::lineOf(const MFcstRecord& r) {
    json j;
    j["t"] = "mfcst";
    j["made"] = r.made;
    j["date"] = r.date;
    j["model"] = r.model;
    j["tmax"] = r.tmax;
    j["tmin"] = r.tmin;
    putAmount(j, "pop", r.pop);
    return dump(j);
}

std::string HistoryStore::lineOf(const HFcstRecord& r) {
    json j;
    j["t"] = "hf";
    j["d"] = r.date;
    j["h"] = r.hour;
    j["c"] = r.temp;
    return dump(j);
}

}  // namespace nbr
