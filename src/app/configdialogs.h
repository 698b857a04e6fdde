// The three settings dialogs. Their own headers come with the configuration work; until they are in
// the tree the edits are declined (Cancel), so the session simply keeps its settings.
#pragma once

#include <wx/window.h>

#include "config/dialogmodel.h"

#if __has_include("config/serverconfigdialog.h")
#include "config/serverconfigdialog.h"
#else
inline bool RunServerConfigDialog(wxWindow*, ostravel::DialogModel&) { return false; }
#endif

#if __has_include("config/autodjconfigdialog.h")
#include "config/autodjconfigdialog.h"
#else
inline bool RunAutoDJConfigDialog(wxWindow*, ostravel::DialogModel&) { return false; }
#endif

#if __has_include("config/configtvdialog.h")
#include "config/configtvdialog.h"
#else
inline bool RunAutoTVConfigDialog(wxWindow*, ostravel::DialogModel&) { return false; }
#endif
