// Shared test helpers: a private data folder per test, and file reading.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace nbr::test {

// A fresh temporary folder, removed again when the object dies.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "nimbrel-test-XXXXXX").string();
        path_ = mkdtemp(tmpl.data()) ? tmpl : std::string();
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Points APPDATA at a temporary folder for the test's lifetime, so the data
// folder is <tmp>/Nimbrel.
class DataDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("APPDATA");
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        setenv("APPDATA", tmp_.path().c_str(), 1);
    }
    void TearDown() override {
        if (hadOld_) setenv("APPDATA", old_.c_str(), 1);
        else unsetenv("APPDATA");
    }
    std::string dataDir() const { return tmp_.path() + "/Nimbrel"; }

    TempDir tmp_;

private:
    bool hadOld_ = false;
    std::string old_;
};

// The temporary folder the test program uses as HOME; XDG_DATA_HOME and
// XDG_CONFIG_HOME are its "data" and "config" folders (TestHome.cpp).
const std::string& privateHome();

// Sets an environment variable (or removes it, for nullptr) for the life of
// the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (old) old_ = old;
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
    ~ScopedEnv() {
        if (had_) setenv(name_, old_.c_str(), 1);
        else unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Unix seconds of a UTC calendar time.
inline int64_t utcSeconds(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    return static_cast<int64_t>(timegm(&tm));
}

// A cache stamp `seconds` old: the service's caches age by their stamps.
inline std::chrono::steady_clock::time_point secondsAgo(int seconds) {
    return std::chrono::steady_clock::now() - std::chrono::seconds(seconds);
}

// The folder of real service replies: $NIMBREL_FIXTURES_REAL when set (a
// checkout that does not sit beside the shared folder), else the build's.
inline std::string realFixturesDir() {
    const char* env = std::getenv("NIMBREL_FIXTURES_REAL");
    if (env && *env) return env;
#ifdef NIMBREL_FIXTURES_REAL
    return NIMBREL_FIXTURES_REAL;
#else
    return {};
#endif
}

inline void writeFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Sets TZ for the scope's lifetime.
class TimeZone {
public:
    explicit TimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) saved_ = old, had_ = true;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~TimeZone() {
        if (had_) setenv("TZ", saved_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

private:
    std::string saved_;
    bool had_ = false;
};

}  // namespace nbr::test
