// The splitter's auxiliary dialogs and help. Each opens modally without an owner window and
// returns when the dialog ends.
#pragma once

#include <windows.h>

#include "splitter/form/splitter_state.h"

// The settings dialog (DIALOG_SETTINGS): edits state->archiveDirMode and
// state->closeAfterFinish in memory. Returns 1 after OK, 2 after Cancel.
INT_PTR openSettingsDialog(HINSTANCE instance, SplitterState* state);

// The About dialog (DIALOG_ABOUT). Returns 1 after OK, 2 after Esc or the close box.
INT_PTR openAboutDialog(HINSTANCE instance);

// Starts the help viewer on DRAVNIK.HLP beside the splitter; does not wait, reports nothing.
void openHelp();
