#include "desktop/uithreadview.h"

#include <future>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include <wx/app.h>
#include <wx/thread.h>

#include "platform/stopwait.h"

namespace ostravel {

// A settings dialog the receiver waits for: finished once, by whichever comes first, the user
// closing it, the stop token, or the queue closing.
struct UiThreadView::DialogWait {
    std::mutex mutex;
    bool done = false;
    bool saved = false;
    // The dialog edits a copy of its own: the receiver's model is only written back after the wait,
    // so a session that ends meanwhile leaves it untouched.
    DialogModel model;
    std::promise<void> closed;

    bool Finish(bool accepted, DialogModel* edited = nullptr) {
        std::lock_guard lock(mutex);
        if (done) return false;
        done = true;
        saved = accepted;
        if (edited != nullptr) model = std::move(*edited);
        closed.set_value();
        return true;
    }
    // What the dialog is to show; nothing when the wait was given up before it could open.
    std::optional<DialogModel> ModelToShow() {
        std::lock_guard lock(mutex);
        if (done) return std::nullopt;
        return model;
    }
};

struct UiThreadView::Queue : std::enable_shared_from_this<Queue> {
    std::mutex mutex;
    bool open = true;
    std::vector<std::weak_ptr<DialogWait>> waits;  // released when the queue closes

    // False when the queue is closed: the task is dropped.
    bool Post(std::function<void()> task, const std::shared_ptr<DialogWait>& wait = nullptr) {
        std::lock_guard lock(mutex);
        if (!open || wxTheApp == nullptr) return false;
        if (wait) {
            std::erase_if(waits, [](const std::weak_ptr<DialogWait>& w) { return w.expired(); });
            waits.push_back(wait);
        }
        // The application runs what it is handed in the order it came, whichever thread handed it.
        // The lock keeps the order of two threads' posts the order in which they got here.
        wxTheApp->CallAfter([queue = shared_from_this(), task = std::move(task)] {
            if (queue->IsOpen()) task();
        });
        return true;
    }
    bool IsOpen() {
        std::lock_guard lock(mutex);
        return open;
    }
    void Close() {
        std::vector<std::weak_ptr<DialogWait>> released;
        {
            std::lock_guard lock(mutex);
            open = false;
            released.swap(waits);
        }
        for (const std::weak_ptr<DialogWait>& w : released) {
            if (const std::shared_ptr<DialogWait> wait = w.lock()) wait->Finish(false);
        }
    }
};

UiThreadView::UiThreadView(SessionView& view)
    : view_(view), hasMainWindow_(view.HasMainWindow()), queue_(std::make_shared<Queue>()) {}

// Tasks run on the UI thread, where this goes too: none is half-way through when the queue closes.
UiThreadView::~UiThreadView() { queue_->Close(); }

void UiThreadView::Post(std::function<void()> task) { queue_->Post(std::move(task)); }

TaskPoster UiThreadView::Poster() const {
    return [queue = queue_](std::function<void()> task) { queue->Post(std::move(task)); };
}

void UiThreadView::InsertMessage(const std::string& line) {
    Post([view = &view_, line] { view->InsertMessage(line); });
}

void UiThreadView::ClearMessages() {
    Post([view = &view_] { view->ClearMessages(); });
}

void UiThreadView::SetStatusText(const std::string& text) {
    Post([view = &view_, text] { view->SetStatusText(text); });
}

void UiThreadView::SetTrayIcon(TrayOperation operation, const std::string& tip, int iconId) {
    Post([view = &view_, operation, tip, iconId] { view->SetTrayIcon(operation, tip, iconId); });
}

void UiThreadView::NotifyStateChange(const StateNotice& notice) {
    Post([view = &view_, notice] { view->NotifyStateChange(notice); });
}

void UiThreadView::OnSessionEvent(SessionEvent event) {
    Post([view = &view_, event] { view->OnSessionEvent(event); });
}

// The viewers open beside the main window and return at once: the receiver goes on reading.
void UiThreadView::ShowDjLogs(const std::string& text) {
    Post([view = &view_, text] { view->ShowDjLogs(text); });
}

void UiThreadView::ShowTvLogs(const std::string& text) {
    Post([view = &view_, text] { view->ShowTvLogs(text); });
}

void UiThreadView::ShowAccountSummary(const std::string& text) {
    Post([view = &view_, text] { view->ShowAccountSummary(text); });
}

bool UiThreadView::EditServerConfig(DialogModel& model, std::stop_token stop) {
    return EditConfig(&SessionView::EditServerConfig, model, std::move(stop));
}

bool UiThreadView::EditAutoDJConfig(DialogModel& model, std::stop_token stop) {
    return EditConfig(&SessionView::EditAutoDJConfig, model, std::move(stop));
}

bool UiThreadView::EditAutoTVConfig(DialogModel& model, std::stop_token stop) {
    return EditConfig(&SessionView::EditAutoTVConfig, model, std::move(stop));
}

bool UiThreadView::EditConfig(EditCall edit, DialogModel& model, std::stop_token stop) {
    if (stop.stop_requested()) return false;
    // Asked on the UI thread itself: the view runs the dialog there and then.
    if (wxIsMainThread()) return (view_.*edit)(model, stop);
    auto wait = std::make_shared<DialogWait>();
    wait->model = model;
    std::future<void> closed = wait->closed.get_future();
    const bool queued = queue_->Post(
        [view = &view_, edit, wait, stop] {
            std::optional<DialogModel> edited = wait->ModelToShow();
            if (!edited) return;
            const bool saved = (view->*edit)(*edited, stop);
            wait->Finish(saved, &*edited);
        },
        wait);
    if (!queued) return false;
    WaitReadyUnlessStopped(closed, stop, [wait] { wait->Finish(false); });
    std::lock_guard lock(wait->mutex);
    if (!wait->saved) return false;
    model = wait->model;
    return true;
}

}  // namespace ostravel
