#include "config/autodjconfigdialog.h"

#include "config/autodjconfig.h"

namespace ostravel {

CAutoDJConfigDialog::CAutoDJConfigDialog(wxWindow* parent, const DialogModel& model)
    : SettingsDialog(parent, AutoDJConfigLayout(), model, autodjdlg::kSave) {}

}  // namespace ostravel

bool RunAutoDJConfigDialog(wxWindow* parent, ostravel::DialogModel& model) {
    return ostravel::RunSettingsDialog<ostravel::CAutoDJConfigDialog>(parent, model);
}
