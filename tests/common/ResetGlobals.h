#pragma once

#include "catalogue/CatalogueFile.h"
#include "catalogue/cVbAnalyze.h"
#include "platform/IniStore.h"
#include "settings/Settings.h"
#include "tooling/mMain.h"

// The program's globals as a fresh start has them: no catalogue, the default settings, nothing
// kept of the INI files, no IDE command. What a test overrides for itself stays as it set it: the
// folders of TestFolders.h, SetProgramFolderForTesting, the scripted answers of cCommonDlg and
// cILink and the user interface in use (ScriptedUserInterface sets and clears it).
inline void ResetGlobals()
{
    catalogue::ResetState();
    catalogue::HoldChangeBeingWrittenForTesting(false);
    settings::ResetValues();
    platform::IniStore::Instance().Reset();
    mMain::VbIdePath.clear();
}
