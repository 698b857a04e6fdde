// The session's view as the other threads see it: the one place where work crosses over to the UI
// thread.
#pragma once

#include <functional>
#include <memory>
#include <stop_token>
#include <string>

#include "platform/openurl.h"
#include "session/sessionview.h"

namespace ostravel {

// Which thread calls what:
//  - the receiver thread calls the SessionView functions (the UI thread does too, e.g. when a send
//    fails); each call is queued and runs on the UI thread against the main view, in the order the
//    calls were made, the UI thread's own among them;
//  - the login thread and the web opener's watcher hand their results over with Post (or a
//    Poster they keep);
//  - the UI thread makes and destroys this, and posts with Post what must wait until the event at
//    hand is over.
// A queued call that comes due once this is gone does not run: nothing touches a window that has
// gone. The text viewers never hold the caller. A settings dialog holds the receiver until the user
// closes it, its stop token is signalled, or this goes (which releases every such wait).
class UiThreadView final : public SessionView {
public:
    // `view` is only ever called on the UI thread, and must outlive this.
    explicit UiThreadView(SessionView& view);
    ~UiThreadView() override;
    UiThreadView(const UiThreadView&) = delete;
    UiThreadView& operator=(const UiThreadView&) = delete;

    // Runs `task` on the UI thread after everything queued before it. From any thread.
    void Post(std::function<void()> task);
    // The same as a function object, for threads that may outlive this: once this is gone, what it
    // is given is dropped.
    TaskPoster Poster() const;

    // SessionView, from any thread.
    void InsertMessage(const std::string& line) override;
    void ClearMessages() override;
    void SetStatusText(const std::string& text) override;
    bool HasMainWindow() const override { return hasMainWindow_; }
    void SetTrayIcon(TrayOperation operation, const std::string& tip, int iconId) override;
    void ShowDjLogs(const std::string& text) override;
    void ShowTvLogs(const std::string& text) override;
    void ShowAccountSummary(const std::string& text) override;
    bool EditServerConfig(DialogModel& model, std::stop_token stop) override;
    bool EditAutoDJConfig(DialogModel& model, std::stop_token stop) override;
    bool EditAutoTVConfig(DialogModel& model, std::stop_token stop) override;
    void NotifyStateChange(const StateNotice& notice) override;
    void OnSessionEvent(SessionEvent event) override;

private:
    struct Queue;
    struct DialogWait;
    using EditCall = bool (SessionView::*)(DialogModel&, std::stop_token);
    bool EditConfig(EditCall edit, DialogModel& model, std::stop_token stop);

    SessionView& view_;
    const bool hasMainWindow_;
    std::shared_ptr<Queue> queue_;  // shared with the tasks in flight and the posters handed out
};

}  // namespace ostravel
