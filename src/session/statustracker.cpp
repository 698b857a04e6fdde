#include "session/statustracker.h"

#include <ctime>

#include "platform/translate.h"

#ifndef _WIN32
#include <langinfo.h>
#endif

#include "platform/clock.h"

namespace ostravel {

namespace {

bool IsKnownState(int state) { return state >= 0 && state <= 2; }

bool IsSeparator(char c) { return c == ':' || c == '.' || c == ',' || c == '-' || c == '\''; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

void StatusTracker::SessionStarted() {
    *this = StatusTracker();
    live_ = true;
}

std::optional<StateNotice> StatusTracker::OnState(int state, std::int64_t now) {
    if (!IsKnownState(state) || state == state_) return std::nullopt;
    const bool first = state_ < 0;
    state_ = state;
    since_ = now;
    // A report that comes without a confirmed login (no live session) is shown, never announced.
    if (first || !live_) return std::nullopt;
    return MakeStateNotice(state, now);
}

std::optional<StateNotice> StatusTracker::OnSessionLost(std::int64_t now) {
    const bool wasLive = live_;
    OnLoggedOff();
    if (!wasLive) return std::nullopt;
    return MakeStateNotice(kStateSessionLost, now);
}

void StatusTracker::OnLoggedOff() { *this = StatusTracker(); }

std::optional<std::int64_t> StatusTracker::Since() const {
    if (state_ < 0) return std::nullopt;
    return since_;
}

std::string_view StateLabel(int state) {
    switch (state) {
        case 0:
            return N_("Server Down");
        case 1:
            return N_("Server Up, Stream Down");
        case 2:
            return N_("Server Up, Stream Up");
        case kStateSessionLost:
            return N_("Logged Off");
        default:
            return {};
    }
}

std::string_view StateSentence(int state) {
    switch (state) {
        case 0:
            return N_("Your radio server is down.");
        case 1:
            return N_("Your radio server is up, but no source feeds the stream.");
        case 2:
            return N_("Your radio server is up and your stream is public.");
        case kStateSessionLost:
            return N_("Connection to the server ended. Please log in again.");
        default:
            return {};
    }
}

int StateIcon(int state) {
    switch (state) {
        case 0:
            return kIconServerDown;
        case 1:
            return kIconServerUpStreamDown;
        case 2:
            return kIconServerUpStreamUp;
        default:
            return kIconApplication;
    }
}

StateNotice MakeStateNotice(int state, std::int64_t since) {
    StateNotice notice;
    notice.state = state;
    notice.title = Translated(StateLabel(state).data());
    notice.text =
        FillIn(state == kStateSessionLost ? Translated(N_("{1} At {2}.")) : Translated(N_("{1} Since {2}.")),
               {Translated(StateSentence(state).data()), TimeOfDay(since)});
    notice.icon = StateIcon(state);
    notice.since = since;
    return notice;
}

std::string TimeOfDayFormat(std::string_view localeTimeFormat) {
    // The shorthands first: "%r" is "%I:%M:%S %p", "%T" is "%H:%M:%S".
    std::string format;
    for (std::size_t i = 0; i < localeTimeFormat.size(); ++i) {
        if (localeTimeFormat[i] == '%' && i + 1 < localeTimeFormat.size()) {
            const char conversion = localeTimeFormat[i + 1];
            if (conversion == 'r') {
                format += "%I:%M:%S %p";
                ++i;
                continue;
            }
            if (conversion == 'T') {
                format += "%H:%M:%S";
                ++i;
                continue;
            }
            format += localeTimeFormat.substr(i, 2);
            ++i;
            continue;
        }
        format += localeTimeFormat[i];
    }
    // Each seconds conversion goes with what belongs to it: the separator before it (":", "."), or
    // else the word after it ("%M分%S秒").
    for (;;) {
        std::size_t at = std::string::npos;
        std::size_t length = 0;
        for (std::size_t i = 0; i + 1 < format.size(); ++i) {
            if (format[i] != '%') continue;
            if (format[i + 1] == 'S') {
                at = i;
                length = 2;
                break;
            }
            if (format[i + 1] == 'O' && i + 2 < format.size() && format[i + 2] == 'S') {
                at = i;
                length = 3;
                break;
            }
            ++i;  // skips "%%" and any other conversion
        }
        if (at == std::string::npos) break;
        std::size_t begin = at;
        while (begin > 0 && IsSeparator(format[begin - 1]) && !(begin >= 2 && format[begin - 2] == '%'))
            --begin;
        std::size_t end = at + length;
        if (begin == at) {
            while (end < format.size() && format[end] != '%' && !IsBlank(format[end])) ++end;
        }
        format.erase(begin, end - begin);
    }
    // No blanks left hanging at either end.
    while (!format.empty() && IsBlank(format.back())) format.pop_back();
    while (!format.empty() && IsBlank(format.front())) format.erase(0, 1);
    return format.empty() ? std::string("%H:%M") : format;
}

std::string TimeOfDay(std::int64_t secondsSince1970) {
    const char* localeFormat = "%H:%M:%S";
#ifndef _WIN32
    if (const char* format = ::nl_langinfo(T_FMT); format != nullptr && *format != '\0')
        localeFormat = format;
#endif
    const std::string format = TimeOfDayFormat(localeFormat);
    const std::tm local = LocalCalendar(secondsSince1970);
    char text[64];
    const std::size_t written = std::strftime(text, sizeof text, format.c_str(), &local);
    return std::string(text, written);
}

std::string SinceText(int state, std::int64_t since) {
    return FillIn(Translated(N_("{1} since {2}")), {Translated(StateLabel(state).data()), TimeOfDay(since)});
}

}  // namespace ostravel
