#include "ctl/watch.h"

#include <optional>

#include "ctl/changecommand.h"
#include "ctl/ctl.h"
#include "ctl/ctloutput.h"
#include "ctl/watchloop.h"
#include "history/historyrecorder.h"
#include "history/historystore.h"
#include "history/timeline.h"
#include "session/nullview.h"
#include "session/receiver.h"
#include "session/sessioncontrol.h"
#include "session/sessiondocument.h"
#include "session/sessionkeeper.h"

namespace ostravel::ctl {

namespace {

// What the watch does on its loop's thread.
class WatchHandler {
public:
    virtual ~WatchHandler() = default;
    virtual void Said(const std::string& line) = 0;
    virtual void Changed(int state, std::int64_t since) = 0;
    virtual void SessionEventCame(SessionEvent event) = 0;
};

// The session's view: every call comes from a session thread and moves over to the loop, in order.
class WatchView final : public NullView {
public:
    WatchView(WatchLoop& loop, WatchHandler& handler) : loop_(loop), handler_(handler) {}

    void InsertMessage(const std::string& line) override {
        loop_.Post([this, line] { handler_.Said(line); });
    }
    void OnStateChanged(int state, std::int64_t since) override {
        loop_.Post([this, state, since] { handler_.Changed(state, since); });
    }
    void OnSessionEvent(SessionEvent event) override {
        loop_.Post([this, event] { handler_.SessionEventCame(event); });
    }

    // No status box, no tray, no windows: a status report's state reaches OnStateChanged.
    bool HasMainWindow() const override { return false; }

private:
    WatchLoop& loop_;
    WatchHandler& handler_;
};

class Watch final : public WatchHandler {
public:
    Watch(const WatchRequest& request, WatchLoop& loop, std::ostream& out, std::ostream& err);
    WatchResult Run();

    void Said(const std::string& line) override;
    void Changed(int state, std::int64_t since) override;
    void SessionEventCame(SessionEvent event) override;

private:
    void Tell(const std::string& line) { err_ << kProgram << ": " << OneLine(line) << std::endl; }
    void Finish(int status, const std::string& reason);
    // The reconnection stopped: nothing more will come.
    void CheckGivenUp();
    void RunCommand(int state, std::int64_t since);
    // Collects the command's ended runs and starts the next.
    void PumpCommand();

    const WatchRequest& request_;
    WatchLoop& loop_;
    std::ostream& out_;
    std::ostream& err_;
    const std::string account_;
    ChangeCommand command_;
    std::optional<int> previous_;
    std::string lastMessage_;
    std::optional<WatchResult> result_;
    // Each outlives whatever is declared after it: the session's threads use the view and the
    // recorder until the session is gone.
    HistoryRecorder recorder_;
    WatchView view_;
    SessionDocument doc_;
    SessionControl session_;
    SessionKeeper keeper_;
};

Watch::Watch(const WatchRequest& request, WatchLoop& loop, std::ostream& out, std::ostream& err)
    : request_(request),
      loop_(loop),
      out_(out),
      err_(err),
      account_(HistoryStore::AccountKey(FormatHostAddress(request.endpoint), request.userName)),
      command_(request.onChange),
      recorder_(HistoryFile(),
                [&loop, this](const std::string& notice) { loop.Post([this, notice] { Tell(notice); }); }),
      view_(loop, *this),
      session_(doc_, request.endpoint, [](SessionDocument& d) { return std::make_unique<Receiver>(d); }),
      keeper_(doc_, session_, loop, [this](std::function<void()> task) {
          loop_.Post([this, task = std::move(task)] {
              task();
              CheckGivenUp();
          });
      }) {
    doc_.SetView(&view_);
    doc_.SetHistory(&recorder_);
    doc_.SetReconnect(true);
    doc_.SetAutoRefresh(true);
    doc_.SetRefreshSeconds(request.intervalSeconds);
    session_.SetConnectSeconds(request.connectSeconds);
}

WatchResult Watch::Run() {
    keeper_.SetRefusedHandler([this] { Finish(kExitLogin, Translated(kLoginRefused) + lastMessage_); });
    loop_.SetDue([this] {
        keeper_.Due();
        CheckGivenUp();
    });
    loop_.SetChildWork([this] { PumpCommand(); });
    keeper_.LoginAutomatically(request_.userName, request_.password);
    loop_.Run();
    // Whichever way it ends, the host hears the log-off notice and the history's span is closed.
    keeper_.UserActed();
    session_.Shutdown();
    return result_.value_or(WatchResult{});
}

void Watch::Finish(int status, const std::string& reason) {
    if (!result_) result_ = WatchResult{status, OneLine(reason)};
    loop_.Quit();
}

void Watch::CheckGivenUp() {
    const Reconnection& reconnection = keeper_.State();
    if (reconnection.CurrentState() != Reconnection::State::Stopped) return;
    const bool refused = reconnection.StopReason() == kReconnectRefusedMessage;
    Finish(refused ? kExitLogin : kExitEnded, reconnection.StopReason());
}

void Watch::Said(const std::string& line) {
    lastMessage_ = line;
    err_ << OneLine(line) << std::endl;
}

void Watch::SessionEventCame(SessionEvent event) {
    keeper_.OnEvent(event);
    CheckGivenUp();
}

void Watch::Changed(int state, std::int64_t since) {
    out_ << IsoLocalTime(since) << ' ' << HistoryStateLabel(state) << std::endl;
    if (!command_.Empty()) RunCommand(state, since);
    previous_ = state;
}

void Watch::RunCommand(int state, std::int64_t since) {
    Variables variables = {
        {"OSTRAVEL_STATE", std::string(HistoryStateWord(state))},
        {"OSTRAVEL_PREVIOUS", previous_ ? std::string(HistoryStateWord(*previous_)) : std::string()},
        {"OSTRAVEL_SINCE", IsoLocalTime(since)},
        {"OSTRAVEL_ACCOUNT", account_},
    };
    command_.Queue(std::move(variables));
    PumpCommand();
}

void Watch::PumpCommand() {
    for (const std::string& failure : command_.Pump(ChangeCommand::Clock::now())) Tell(failure);
    loop_.WakeAt(command_.NextPump());
}

}  // namespace

WatchResult RunWatch(const WatchRequest& request, std::ostream& out, std::ostream& err) {
    // Before any thread starts, so that each inherits the blocked signals.
    WatchLoop loop;
    if (std::string error; !loop.Ready(error)) return {kExitLocal, error};
    Watch watch(request, loop, out, err);
    return watch.Run();
}

}  // namespace ostravel::ctl
