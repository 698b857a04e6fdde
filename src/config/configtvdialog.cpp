#include "config/configtvdialog.h"

#include "config/autotvconfig.h"

namespace ostravel {

CConfigTVDialog::CConfigTVDialog(wxWindow* parent, const DialogModel& model)
    : SettingsDialog(parent, AutoTVConfigLayout(), model, autotvdlg::kSave) {}

}  // namespace ostravel

bool RunAutoTVConfigDialog(wxWindow* parent, ostravel::DialogModel& model) {
    return ostravel::RunSettingsDialog<ostravel::CConfigTVDialog>(parent, model);
}
