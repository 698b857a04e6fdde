#include "desktop/autotvconfigdialog.h"

#include "config/autotvconfig.h"

namespace ostravel {

AutoTVConfigDialog::AutoTVConfigDialog(wxWindow* parent, const DialogModel& model)
    : SettingsDialog(parent, AutoTVConfigLayout(), model, autotvdlg::kSave) {}

}  // namespace ostravel

bool RunAutoTVConfigDialog(wxWindow* parent, ostravel::DialogModel& model) {
    return ostravel::RunSettingsDialog<ostravel::AutoTVConfigDialog>(parent, model);
}
