#include "desktop/autodjconfigdialog.h"

#include "config/autodjconfig.h"

namespace ostravel {

AutoDJConfigDialog::AutoDJConfigDialog(wxWindow* parent, const DialogModel& model)
    : SettingsDialog(parent, AutoDJConfigLayout(), model, autodjdlg::kSave) {}

}  // namespace ostravel

bool RunAutoDJConfigDialog(wxWindow* parent, ostravel::DialogModel& model) {
    return ostravel::RunSettingsDialog<ostravel::AutoDJConfigDialog>(parent, model);
}
