// The "Configure AutoDJ" dialog: one group box around two columns of settings.
#pragma once

#include "desktop/serverconfigdialog.h"

namespace ostravel {

class AutoDJConfigDialog : public SettingsDialog {
public:
    AutoDJConfigDialog(wxWindow* parent, const DialogModel& model);
};

}  // namespace ostravel

// Called by the main view on the UI thread: true after Save, with model holding what the controls
// showed; false after Cancel, Escape or the close box, with model untouched.
bool RunAutoDJConfigDialog(wxWindow* parent, ostravel::DialogModel& model);
