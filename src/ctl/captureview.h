// The session's view for a program without windows: it keeps, in order, everything the session
// would have shown, and lets the main thread wait for what it is after.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "config/dialogmodel.h"
#include "session/sessionview.h"

namespace ostravel::ctl {

struct ViewEvent {
    enum class Kind {
        Message,
        Status,
        DjLogs,
        TvLogs,
        AccountSummary,
        ServerSettings,
        DjSettings,
        TvSettings
    };
    Kind kind = Kind::Message;
    std::string text;   // the message line, status text or viewer text
    int trayIcon = 0;   // Status: the icon the same report set, 0 when it named no state
    DialogModel model;  // the settings dialogs: what they would have opened with
};

class CaptureView : public SessionView {
public:
    using Clock = std::chrono::steady_clock;

    void InsertMessage(const std::string& line) override;
    void ClearMessages() override {}
    void SetStatusText(const std::string& text) override;
    // Yes: the tray state is how a status report tells the server's state.
    bool HasMainWindow() const override { return true; }
    void SetTrayIcon(TrayOperation operation, const std::string& tip, int iconId) override;

    void ShowDjLogs(const std::string& text) override { Add(ViewEvent::Kind::DjLogs, text); }
    void ShowTvLogs(const std::string& text) override { Add(ViewEvent::Kind::TvLogs, text); }
    void ShowAccountSummary(const std::string& text) override { Add(ViewEvent::Kind::AccountSummary, text); }

    // Nobody edits here: each dialog is noted and cancelled, so no set request ever goes out.
    bool EditServerConfig(DialogModel& model, std::stop_token) override;
    bool EditAutoDJConfig(DialogModel& model, std::stop_token) override;
    bool EditAutoTVConfig(DialogModel& model, std::stop_token) override;

    std::size_t Count() const;
    // The first event at index `from` or later that `match` accepts (given the event and its
    // index), waiting for it until `deadline`; its index goes to `index`. Nothing when the
    // deadline passed first.
    using Match = std::function<bool(const ViewEvent&, std::size_t index)>;
    std::optional<ViewEvent> WaitFor(std::size_t from, const Match& match, Clock::time_point deadline,
                                     std::size_t* index = nullptr) const;

private:
    void Add(ViewEvent::Kind kind, const std::string& text, int trayIcon = 0,
             const DialogModel* model = nullptr);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<ViewEvent> events_;
    int reportIcon_ = 0;  // set by a status report's state, taken by its status text
};

}  // namespace ostravel::ctl
