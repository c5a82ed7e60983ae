// The splitter's main window: process-wide handles and the operations its parts share.
// main_window.cpp: entry, class, loop, dispatch, command line, shutdown.
// form.cpp: the controls, the toolbar, the file-dialog record, the settings file.
// commands.cpp: WM_COMMAND, the checks before a split, the wait timer.
// volume_size.cpp: the size box, the source size and the file count.
// split_window.cpp: the split engine's Win32 messages and progress disc.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include "splitter/engine/split_plan.h"
#include "splitter/form/splitter_state.h"

// Handles of the form's controls; the labels are not kept.
struct FormControls {
    HWND toolbar;
    HWND sourceEdit;
    HWND archiveEdit;
    HWND sizeValue;
    HWND volumeSizeBox;
    HWND countValue;
    HWND splitButton;
};

extern SplitterState gState;
extern HINSTANCE gInstance;
extern HWND gMainWindow;
extern HBRUSH gWhiteBrush;
extern int gWindowHeight;  // caption + menu + kClientHeight
extern FormControls gForm;
extern OPENFILENAMEA gFileDialog;  // shared by both browse buttons

constexpr int kWindowWidth = 630;
// The client area's height below the menu.
constexpr int kClientHeight = 236;
constexpr UINT_PTR kWaitTimerId = 1;
// The caption of the form's refusals (with the error icon).
inline constexpr char kCaptionRefusal[] = "!!!";
constexpr UINT kWaitTimerPeriod = 500;

// form.cpp
// Builds the whole form on WM_CREATE; false when the toolbar could not be created.
bool buildForm(HWND window, const CREATESTRUCTA* create);
// Reads dravnik.ini into gState and the size box.
void loadFormSettings();
// Writes dravnik.ini from them; false when it could not be written, with the file's path (or
// its name, when no path could be had) in path (pathSize bytes).
bool saveFormSettings(char* path, size_t pathSize);

// commands.cpp
void onCommand(int id, int code, HWND control);
void onTimer(UINT_PTR id);
void suggestArchiveName();
// Stops waiting for a busy source and clears the blinking count field.
void stopWaitTimer();
// Stops the wait timer only (the count field is about to be set anew).
void killWaitTimer();

// volume_size.cpp
// Normalises `text` (writable, kSizeTextSize bytes), enforces the minimum size and moves the
// text to the top of the size list. A text below the minimum or of 4 GiB and more is replaced
// by the first list entry (after a message when `loud`); returns false then.
bool applyVolumeSizeText(char* text, bool loud);
// Applies what the size box's edit field holds now. False when it was no usable size.
bool applyVolumeSizeBox(bool loud);
// Opens the source, sets gState.sourceSize (any size), sourceSizeKnown, sourceStatus and the
// size field; true when it could be opened and its size read.
bool refreshSourceSize();
// Sets gState.volumeCount and the count field from the source size and the volume size.
void refreshVolumeCount();
// The box's list entries into list (missing or over-long ones keep the defaults), and back
// (the first entry selected).
struct SizeList;
void readSizeList(SizeList* list);
void writeSizeList(const SizeList& list);
// The box's current edit text into out (kSizeTextSize bytes).
void readVolumeSizeBox(char* out);

// split_window.cpp
// Runs a split that request asks for as plan lays it out, with the window's messages and disc;
// a plan that refuses it is told with ":-(". ownPath is the program's own file, which carries
// the unpacker image. After a finished split, closes the window when the settings ask for it.
// True for a finished archive.
bool runSplitEngine(SplitRequest request, const SplitPlan& plan, const char* ownPath);
// True while the split engine runs (its questions and end messages included).
bool splitRunning();
// WM_PAINT while a split runs: paints the disc as far as it is drawn and returns true; false
// when no split runs (the default painting applies).
bool paintDuringSplit(HWND window);
// WM_CLOSE while a split runs: asks whether to stop it and returns true (the window stays;
// a stopped split ends as a failed one). False when no split runs.
bool closeDuringSplit();
// The disc's bounding rectangle in client coordinates.
RECT pieRect();
