// Numbers of the splitter's controls, commands and resources. Numbers only; shared by the C++
// code and the resource scripts.
#pragma once

// Main form controls.
#define ID_SOURCE_LABEL 300
#define ID_SOURCE_EDIT 301
#define ID_SOURCE_BROWSE 302
#define ID_ARCHIVE_LABEL 304
#define ID_ARCHIVE_EDIT 305
#define ID_ARCHIVE_BROWSE 306
#define ID_SIZE_LABEL 307
#define ID_SIZE_VALUE 308
#define ID_VOLSIZE_LABEL 309
#define ID_VOLSIZE_BOX 310
#define ID_COUNT_LABEL 312
#define ID_COUNT_VALUE 313
#define ID_SPLIT 314

// Toolbar, its bitmap, and the menu and toolbar commands.
#define ID_TOOLBAR 350
#define IDB_TOOLBAR 351
#define ID_SETTINGS 352
#define ID_HELP 353
#define ID_ABOUT 354
#define ID_EXIT 355

// About dialog.
#define ID_ABOUT_LINE1 400
#define ID_ABOUT_LINE2 401
#define ID_ABOUT_NOTE 402
#define ID_ABOUT_URL 403
#define ID_ABOUT_URL_GO 404
#define ID_ABOUT_MAIL 405
#define ID_ABOUT_MAIL_GO 406

// Settings dialog.
#define ID_SET_GROUP 452
#define ID_SET_BESIDE_PREVIOUS 453
#define ID_SET_BESIDE_SOURCE 454
#define ID_SET_CLOSE_AFTER 455
#define ID_SET_APPLY 456

// Private window messages of the main window.
#define WM_COMMAND_LINE (WM_USER + 5)
