// Resource identifiers of the runtime program.
#pragma once

#define IDR_MAINFRAME 128  // program icon and accelerator table
#define IDI_TRAY 198       // tray icon
#define ID_HELP 0xE146     // the framework's Help command
