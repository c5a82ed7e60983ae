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

// Opens the help file beside the splitter in Notepad, without waiting for it; a missing file
// or viewer is told in a message box.
void openHelp();
