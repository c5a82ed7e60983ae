/* The unpacker's import table, written out instead of taken from the import libraries.

   An import library gives every function two 8-byte slots: the address table (which the
   loader fills in) and a lookup table holding the same name references. The loader reads the
   names from the address table itself when a library's lookup table is absent
   (OriginalFirstThunk 0), so this table has none: 8 bytes less per function, which the
   unpacker's fixed image size needs. The linker script places these sections and names the
   import directory.

   Every Win32 function the unpacker calls is listed here; a function missing here is an
   undefined reference to __imp_<name> when linking. The unpacker calls no C runtime: its files
   are Win32 handles, and the one runtime function the compiler's code calls (strlen) is its
   own (main.cpp). */

        .macro library name, file
        .section .idata$2, "dr"
        .long 0                         /* no lookup table */
        .long 0                         /* not bound */
        .long 0                         /* no forwarders */
        .rva \name\()_file
        .rva \name\()_slots
        .section .idata$7, "dr"
\name\()_file:
        .asciz "\file"
        .section .idata$5, "dr"
        .balign 8
\name\()_slots:
        .endm

        .macro import function
        .section .idata$6, "dr"
        .balign 2
\function\()_name:
        .short 0                        /* no hint: the loader looks the name up */
        .asciz "\function"
        .section .idata$5, "dr"
        .globl __imp_\function
__imp_\function:
        .rva \function\()_name
        .long 0
        .endm

        .macro end_library
        .section .idata$5, "dr"
        .quad 0
        .endm

        library comctl32, "COMCTL32.dll"
        import InitCommonControls
        end_library

        library comdlg32, "comdlg32.dll"
        import CommDlgExtendedError
        import GetOpenFileNameA
        end_library

        library kernel32, "KERNEL32.dll"
        import CloseHandle
        import CreateFileA
        import CreateProcessA
        import DeleteFileA
        import ExitProcess
        import FlushFileBuffers
        import GetCommandLineA
        import GetFileAttributesA
        import GetFileInformationByHandle
        import GetFileSizeEx
        import GetFileType
        import GetFullPathNameA
        import GetLastError
        import GetModuleFileNameA
        import GetTempFileNameA
        import GetTempPathA
        import GetTickCount
        import MoveFileExA
        import ReadFile
        import SetFileInformationByHandle
        import SetFilePointerEx
        import WriteFile
        end_library

        library shell32, "SHELL32.dll"
        import SHBrowseForFolderA
        import SHGetPathFromIDListA
        end_library

        library user32, "USER32.dll"
        import CreateWindowExA
        import DefWindowProcA
        import DispatchMessageA
        import GetClientRect
        import GetMessageA
        import LoadCursorA
        import MessageBeep
        import MessageBoxA
        import PostMessageA
        import PostQuitMessage
        import RegisterClassExA
        import SendMessageA
        import SetWindowTextA
        import TranslateMessage
        end_library
