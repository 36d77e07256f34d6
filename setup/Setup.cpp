// Entry point of Setup.exe: a GUI program that takes no command line.
#include "setup/ufrmMain.h"

#include "platform/uLibrary.h"

extern "C" int WinMain(struct HINSTANCE__*, struct HINSTANCE__*, char*, int)
{
    // Before anything loads a library: no DLL planted beside the download
    // or in the current folder is ever taken for a system one.
    platform::RestrictDllSearch();
    try {
        Application->Initialize();
        Application->SetTitle("Korvant Setup");
        RegisterTranslationIgnores();
        Application->CreateForm(frmMain);
        Application->Run();
    } catch (const std::exception& e) {
        // Only start-up itself can get here; handlers report their own.
        Application->HandleException(nullptr, e);
        return 1;
    }
    return 0;
}
