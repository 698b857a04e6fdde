// Knowing when the station's state changes: an extension of our own. The tracker sees the
// state of each status report and each end of the session, and says once per change "notify now,
// with this state", and since when the current state holds. It decides; the desktop only shows.
//
// A session's first report sets the state without a notice (the user has just logged in and sees
// it); every later report whose state differs gives one notice, and so does the session ending by
// itself (the host closed it, "/bye", the 30-second rule) once it was logged in. Logging off is the
// user's own doing and gives none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "session/sessionview.h"

namespace ostravel {

class StatusTracker {
public:
    // The login was confirmed: a new session, no state known yet.
    void SessionStarted();
    // The last state (0 down, 1 up without a source, 2 up and public) of a report at `now`
    // (seconds since 1970). A notice when it differs from the state the session had.
    std::optional<StateNotice> OnState(int state, std::int64_t now);
    // The session ended without the user logging off. A notice once, for a session that was live.
    std::optional<StateNotice> OnSessionLost(std::int64_t now);
    // The user logged off: no notice, nothing known any more.
    void OnLoggedOff();

    // The current state, -1 while none is known.
    int State() const { return state_; }
    // Since when the current state holds; nothing while none is known.
    std::optional<std::int64_t> Since() const;

private:
    bool live_ = false;  // a session whose login was confirmed and that has not ended
    int state_ = -1;
    std::int64_t since_ = 0;
};

// "Server Down", "Server Up, Stream Down", "Server Up, Stream Up"; "Logged Off" for the session
// lost (state kStateSessionLost); empty for anything else.
std::string_view StateLabel(int state);
// What a notice says about the state, in a sentence.
std::string_view StateSentence(int state);
// The tray icon of a state (the application's own for the session lost).
int StateIcon(int state);

// The notice for `state` at `since`, its texts composed.
StateNotice MakeStateNotice(int state, std::int64_t since);

// The time of day as the user's locale writes it, without seconds ("14:32", "2:32 PM").
std::string TimeOfDay(std::int64_t secondsSince1970);
// The locale's time format (strftime, e.g. "%H:%M:%S", "%r", "%I:%M:%S %p") without its seconds.
std::string TimeOfDayFormat(std::string_view localeTimeFormat);
// "Server Up, Stream Up since 14:32".
std::string SinceText(int state, std::int64_t since);

}  // namespace ostravel
