// Texts and choices of the status bar, the alert toasts, the mini strip and
// the notification centre.
#pragma once

#include "foundation/Config.h"
#include "model/WeatherTypes.h"
#include "ui/PanelText.h"

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace nbr::panel {

// Host name of the project's web site, named in the newer-release notice.
inline constexpr const char* kProjectSiteHost = "nimbrel.app";

// Left text of the status bar: refresh state, or the age of the shown data
// at `now` (Unix seconds) on the wall clock ("Updated 2 days ago"), with the
// last error after it; with no place saved, what a first start shows,
// whatever is left of a place that is gone. A wall clock set back before the
// fetch reads "just now".
Line statusText(bool hasPlace, bool refreshing, const std::string& status,
                std::chrono::system_clock::time_point fetchedAt, int64_t now);
// Whole seconds until the age in that text reads differently.
long long statusChangesIn(std::chrono::system_clock::time_point fetchedAt, int64_t now);

// "Couldn't save your settings: <reason>" while the last save failed; empty
// otherwise.
std::string saveFailureText(const Config& c);
// What the person must know about the settings file, in the error tone: a
// save that failed, else what the start could not read and why, or where the
// file is kept (for the rest of the run); empty text when neither.
Line settingsNotice(const Config& c);

// " -  v1.2.0 is out (host)"; empty when no newer version is known.
std::string newerVersionText(const std::string& version);

// The toast stack's window, for toasts each `heights` tall (their spacing
// below included) between the window's `padding` above and below: all of
// them where they fit in 60% of the viewport; else as many as fit whole, at
// least the first, the rest reached by scrolling. A scrolling window shows
// its content down to half its padding from its foot, so it ends with the
// last whole toast's spacing and hides the next one's top.
struct ToastWindow {
    float height = 0;
    bool scrolls = false;
};
ToastWindow toastWindow(std::span<const float> heights, float viewportHeight, float padding, float spacing);

// Label line above an official alert's text ("NWS - Severe" for a place in
// the US, "Official" elsewhere); empty for other alerts.
std::string toastLabel(const WeatherAlert& a, const std::string& placeCountry);
// How an alert is worded at `now` (Unix seconds): on its place's date, in
// the settings' units, naming its place by its title (as the places bar
// shows it) where another saved place goes by the same name.
AlertWording alertWording(const WeatherAlert& a, const std::vector<SavedLocation>& places, const WeatherData& shown,
                          const Config& c, int64_t now);
// A toast's texts: `place`, the title the wording names the place by (empty
// for none), has a line of its own that is never shortened; `text` is
// "Title: message", worded so but naming the place by its name, and may be.
struct Toast {
    std::string place;
    std::string text;
};
Toast toastText(const WeatherAlert& a, AlertWording w);
// A desktop notice's text: the message worded so, with the place's title
// (where the wording names one) in front of it, where cutting a long notice
// cannot take it.
std::string noticeText(const WeatherAlert& a, AlertWording w);

// The mini strip's lines at `now` (Unix seconds); `stat.text` is empty when
// no stat line is shown. Once the conditions are old the stat line says when
// they held.
struct MiniStrip {
    std::string top;  // temperature and short condition; "No data" without a record
    Line stat;
    std::string place;     // named among the saved places (see placeName)
    std::string updating;  // after the place, never cut: "  (updating...)" while a refresh runs
};
MiniStrip miniStrip(const WeatherData& data, const std::vector<SavedLocation>& places, const Config& cfg,
                    bool refreshing, int64_t now);

// "12/07 2:05 PM": when a notification was filed, on the clock of its place
// (of the shown place for one of no place known), in the clock setting's form.
std::string notificationTime(const Notification& n, const std::vector<SavedLocation>& places, const WeatherData& shown,
                             bool use24);
Tone notificationTimeTone(const Notification& n);
Tone notificationTextTone(const Notification& n);

}  // namespace nbr::panel
