#include "host/class_list.h"

#include "host/com/com_bridge.h"
#include "host/com/script_host.h"
#include "host/crypto/encryption.h"
#include "host/data_file/data_file.h"
#include "host/dll/dll_class.h"
#include "host/files/folder.h"
#include "host/mail/mail.h"
#include "host/net/net.h"
#include "host/flash/flash_player.h"
#include "host/registry/registry.h"
#include "host/shell/shell.h"
#include "host/streams/file_stream.h"
#include "host/streams/string_stream.h"
#include "stdlib/builtins.h"
#include "stdlib/date.h"
#include "stdlib/globals.h"
#include "stdlib/portable_classes.h"
#include "stdlib/struct_class.h"

namespace vorlo {

namespace {

using Registration = void (*)(ScriptVM* vm);

// The registration order is fixed; a later binding of the same name would win. Each host class takes
// its place here when it is written (stdlib/portable_classes.cpp keeps the same order without them):
//   1. global constants and functions (NaN, Infinity, parseInt ... trace)
//   2. Date; Folder, File; Drive; Stream, FileStream; StringStream; Math; RegExp; Array; Boolean;
//      Function; Number; String; Object; ActiveXObject, Enumerator; RegKey, RegValue, Ini; Dialogs,
//      FontObject; Shell, Shortcut, URLShortcut; MCI; createControl, FlashPlayer, MovieClip
//   3. the projector's global functions (getMainWnd ... _call) and the URI functions
//   4. Window; Mail, SendMail, RecvMail; Inet, IPConfig; SysInfo; Socket; Menu; Application;
//      SplashWnd, Splash2; Image; Printer; PConn; DirectX; DllParam, Dll; Sound; Encryption;
//      DiskInfo; DesktopToy; DataFile; Form; Struct, StructArray; ScriptHost
constexpr Registration kRegistrations[] = {
    registerGlobals,
    registerDate,
    registerFolder,           // Folder, File
    registerDrive,
    registerFileStream,       // Stream, FileStream
    registerStringStream,
    registerLanguageClasses,  // Math to Object
    registerActiveX,          // ActiveXObject, Enumerator
    registerRegistry,         // RegKey, RegValue
    registerIni,
    registerShell,            // Dialogs and FontObject come before it
    registerShortcuts,        // Shortcut, URLShortcut
    registerFlashPlayer,      // FlashPlayer, MovieClip: after MCI, createControl
    registerUriFunctions,
    registerMail,             // Mail, SendMail, RecvMail: after Window
    registerInet,             // Inet
    registerSysInfo,          // after Window ... IPConfig
    registerDll,              // DllParam, Dll: after DirectX
    registerEncryption,       // after Sound
    registerDataFile,         // after DiskInfo, DesktopToy
    registerStruct,           // Struct, StructArray: after DataFile, Form
    registerScriptHost,
};

}  // namespace

void registerAllClasses(ScriptVM* vm) {
  for (Registration r : kRegistrations) r(vm);
}

Engine* createFullEngine(const VMOptions* options) { return createEngine(options, registerAllClasses); }

}  // namespace vorlo
