// The product's constants: its name, the files the installer points at, and the space it needs.
// Portable: no <windows.h>, so the core, the tools and the native tests share one spelling.
#pragma once

// The product's display name: the default folder name, registry key names and values, the
// program group's name and the word of the success message.
#define PRODUCT_NAME "Quillary"
// The publisher the system's list of installed programs shows.
#define PRODUCT_PUBLISHER PRODUCT_NAME
// The caption of every message box the installer shows with its own title, and the backdrop's
// title.
#define SETUP_TITLE PRODUCT_NAME " - Setup"

// Files below installDir that the registry entries and the shortcuts point at.
#define PRODUCT_PROGRAM "Quillary.exe"
#define PRODUCT_UNINSTALLER "uninstall.exe"
#define PRODUCT_README "Readme.wri"

// The shortcut files the installer makes in the program group (and, for the program, on the
// desktop), which the uninstaller removes again.
#define PROGRAM_LINK PRODUCT_NAME ".lnk"
#define UNINSTALL_LINK "Uninstall.lnk"
#define README_LINK "Readme.lnk"

// The product's program shows its window in this class; an installer or uninstaller that finds
// the program running asks the windows of this class to close.
#define PRODUCT_WINDOW_CLASS "QuillaryViewer"
// Named mutexes in the global namespace, so every session sees them. The program holds the
// first while it runs; the installer and the uninstaller hold the second, so only one of them
// runs at a time.
#define PRODUCT_RUNNING_MUTEX "Global\\Quillary-Running"
#define SETUP_RUNNING_MUTEX "Global\\Quillary-Setup-Running"

// The sample-pictures folder: created empty below installDir, not carried in the payload.
#define SAMPLE_FOLDER_NAME "Gallerix"

// The product's version is not spelled here: it lives in VERSION at the root, and the build
// writes it into product_version.h for the version resource.

// The free space the installation needs is not spelled here either: the pack run writes it
// beside the payload (common/required_space.h).
