#include "ctl/captureview.h"

namespace ostravel::ctl {

void CaptureView::Add(ViewEvent::Kind kind, const std::string& text, int trayIcon, const DialogModel* model) {
    ViewEvent event;
    event.kind = kind;
    event.text = text;
    event.trayIcon = trayIcon;
    if (model != nullptr) event.model = *model;
    {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    changed_.notify_all();
}

void CaptureView::InsertMessage(const std::string& line) { Add(ViewEvent::Kind::Message, line); }

void CaptureView::SetStatusText(const std::string& text) {
    // The receiver sets the tray for each state a report names and then its status text, on the
    // same thread: the icon seen since the last text belongs to this report.
    int icon = 0;
    {
        std::lock_guard lock(mutex_);
        icon = reportIcon_;
        reportIcon_ = 0;
    }
    Add(ViewEvent::Kind::Status, text, icon);
}

void CaptureView::SetTrayIcon(TrayOperation, const std::string&, int iconId) {
    std::lock_guard lock(mutex_);
    if (iconId == kIconServerDown || iconId == kIconServerUpStreamDown || iconId == kIconServerUpStreamUp) {
        reportIcon_ = iconId;
    }
}

bool CaptureView::EditServerConfig(DialogModel& model, std::stop_token) {
    Add(ViewEvent::Kind::ServerSettings, {}, 0, &model);
    return false;
}

bool CaptureView::EditAutoDJConfig(DialogModel& model, std::stop_token) {
    Add(ViewEvent::Kind::DjSettings, {}, 0, &model);
    return false;
}

bool CaptureView::EditAutoTVConfig(DialogModel& model, std::stop_token) {
    Add(ViewEvent::Kind::TvSettings, {}, 0, &model);
    return false;
}

std::size_t CaptureView::Count() const {
    std::lock_guard lock(mutex_);
    return events_.size();
}

std::optional<ViewEvent> CaptureView::WaitFor(std::size_t from, const Match& match,
                                              Clock::time_point deadline, std::size_t* index) const {
    std::unique_lock lock(mutex_);
    std::size_t next = from;
    std::optional<ViewEvent> found;
    changed_.wait_until(lock, deadline, [&] {
        for (; next < events_.size(); ++next) {
            if (match(events_[next], next)) {
                found = events_[next];
                if (index != nullptr) *index = next;
                return true;
            }
        }
        return false;
    });
    return found;
}

}  // namespace ostravel::ctl
