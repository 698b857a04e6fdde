// A SessionView that records every call, safe to use from the receiver and the test thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "platform/stopwait.h"
#include "session/sessionview.h"

namespace ostravel::testing {

struct TrayCall {
    TrayOperation operation;
    std::string tip;
    int iconId;
};

class RecordingView : public SessionView {
public:
    void InsertMessage(const std::string& line) override {
        Change([&] { lines_.insert(lines_.begin(), line); });
    }
    void ClearMessages() override {
        Change([&] {
            lines_.clear();
            ++clears_;
        });
    }
    void SetStatusText(const std::string& text) override {
        Change([&] {
            status_ = text;
            ++statusSets_;
        });
    }
    bool HasMainWindow() const override {
        std::function<void()> once;
        {
            std::lock_guard lock(mutex_);
            once.swap(onHasMainWindow_);
        }
        if (once) once();
        std::lock_guard lock(mutex_);
        return hasMainWindow_;
    }
    // Runs `action` (once) the next time someone asks for the main window, on that caller's thread:
    // a way to put the user's click in the middle of a reply's handling.
    void OnNextHasMainWindow(std::function<void()> action) {
        std::lock_guard lock(mutex_);
        onHasMainWindow_ = std::move(action);
    }
    void SetTrayIcon(TrayOperation operation, const std::string& tip, int iconId) override {
        Change([&] { tray_.push_back({operation, tip, iconId}); });
    }

    // The viewer never holds the caller.
    void ShowDjLogs(const std::string& text) override { Show("dj", text, {}, false); }
    void ShowTvLogs(const std::string& text) override { Show("tv", text, {}, false); }
    void ShowAccountSummary(const std::string& text) override { Show("summary", text, {}, false); }

    bool EditServerConfig(DialogModel& model, std::stop_token stop) override {
        return Edit("server", model, stop);
    }
    bool EditAutoDJConfig(DialogModel& model, std::stop_token stop) override {
        return Edit("autodj", model, stop);
    }
    bool EditAutoTVConfig(DialogModel& model, std::stop_token stop) override {
        return Edit("autotv", model, stop);
    }
    // What the user does in a settings dialog: edit the model and return true for Save. Without an
    // editor every dialog is cancelled.
    using Editor = std::function<bool(const std::string& kind, DialogModel& model)>;
    void SetEditor(Editor editor) {
        std::lock_guard lock(mutex_);
        editor_ = std::move(editor);
    }
    // The model each settings dialog opened with.
    std::vector<DialogModel> Opened() const {
        std::lock_guard lock(mutex_);
        return opened_;
    }

    // While held, a window that opens stays open until Release() or the session's stop.
    void HoldWindows(bool hold) {
        Change([&] { holdWindows_ = hold; });
    }
    void Release() {
        Change([&] { ++released_; });
    }
    // Each window shown: its kind ("dj", "tv", "summary", ...) and text.
    std::vector<std::pair<std::string, std::string>> Shown() const {
        std::lock_guard lock(mutex_);
        return shown_;
    }
    bool WaitForShown(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return shown_.size() >= count; });
    }
    int OpenWindows() const {
        std::lock_guard lock(mutex_);
        return openWindows_;
    }
    bool WaitForOpenWindows(int count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return openWindows_ == count; });
    }

    // Every change of state announced, in order.
    void NotifyStateChange(const StateNotice& notice) override {
        Change([&] { notices_.push_back(notice); });
    }
    std::vector<StateNotice> Notices() const {
        std::lock_guard lock(mutex_);
        return notices_;
    }
    bool WaitForNotices(std::size_t count,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return notices_.size() >= count; });
    }

    // What becomes of the session goes to `sink`, on the thread that reports it.
    void OnSessionEvent(SessionEvent event) override {
        std::function<void(SessionEvent)> sink;
        {
            std::lock_guard lock(mutex_);
            sink = eventSink_;
        }
        if (sink) sink(event);
    }
    void SetEventSink(std::function<void(SessionEvent)> sink) {
        std::lock_guard lock(mutex_);
        eventSink_ = std::move(sink);
    }

    // Drops what was recorded so far (a long run keeps only what it still checks).
    void ForgetHistory() {
        Change([&] {
            notices_.clear();
            lines_.clear();
            tray_.clear();
            shown_.clear();
            opened_.clear();
        });
    }

    void SetHasMainWindow(bool value) {
        std::lock_guard lock(mutex_);
        hasMainWindow_ = value;
    }
    // Newest first, as the list shows them.
    std::vector<std::string> Lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    std::string Status() const {
        std::lock_guard lock(mutex_);
        return status_;
    }
    std::vector<TrayCall> Tray() const {
        std::lock_guard lock(mutex_);
        return tray_;
    }
    // How often the status box was set (the same text again counts too).
    std::size_t StatusSets() const {
        std::lock_guard lock(mutex_);
        return statusSets_;
    }
    bool WaitForStatusSets(std::size_t count,
                           std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return statusSets_ >= count; });
    }
    int Clears() const {
        std::lock_guard lock(mutex_);
        return clears_;
    }
    // Waits until `done(lines)` holds, or the deadline passes; returns whether it held.
    bool WaitForLines(const std::function<bool(const std::vector<std::string>&)>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return done(lines_); });
    }
    bool WaitForLineCount(std::size_t count,
                          std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        return WaitForLines([count](const auto& lines) { return lines.size() >= count; }, timeout);
    }
    bool WaitForStatus(const std::function<bool(const std::string&)>& done,
                       std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return done(status_); });
    }

protected:
    bool Edit(const std::string& kind, DialogModel& model, std::stop_token stop) {
        Editor editor;
        {
            std::lock_guard lock(mutex_);
            opened_.push_back(model);
            editor = editor_;
        }
        Show(kind, "", stop);
        if (stop.stop_requested() || !editor) return false;
        DialogModel edited = model;
        if (!editor(kind, edited)) return false;
        model = std::move(edited);
        return true;
    }

    // Records the window and, while windows are held, waits for Release() or the stop request.
    void Show(const std::string& kind, const std::string& text, std::stop_token stop, bool holds = true) {
        std::unique_lock lock(mutex_);
        shown_.emplace_back(kind, text);
        ++openWindows_;
        changed_.notify_all();
        if (holds && holdWindows_) {
            const int ticket = released_;
            WaitUnlessStopped(changed_, lock, stop, [&] { return released_ > ticket; });
        }
        --openWindows_;
        changed_.notify_all();
    }

    template <class F>
    void Change(F&& change) {
        {
            std::lock_guard lock(mutex_);
            change();
        }
        changed_.notify_all();
    }

    mutable std::mutex mutex_;
    mutable std::condition_variable_any changed_;
    std::vector<std::string> lines_;
    std::string status_;
    std::size_t statusSets_ = 0;
    std::vector<TrayCall> tray_;
    int clears_ = 0;
    bool hasMainWindow_ = true;
    mutable std::function<void()> onHasMainWindow_;
    std::vector<std::pair<std::string, std::string>> shown_;
    bool holdWindows_ = false;
    int released_ = 0;
    int openWindows_ = 0;
    Editor editor_;
    std::vector<DialogModel> opened_;
    std::vector<StateNotice> notices_;
    std::function<void(SessionEvent)> eventSink_;
};

}  // namespace ostravel::testing
