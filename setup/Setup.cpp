// Entry point of Setup.exe: a GUI program that takes no command line.
#include "setup/ufrmMain.h"
#include "translation/uTranslator.h"
#include "ui/uActnList.h"

namespace {
// What form translation must never touch: names, fonts, the page list, the
// request settings, the archive component's language and the variant codes.
void RegisterTranslationIgnores()
{
    GlobalIgnoreClassProperty(&TAction::ClassInfo(), "Category");
    GlobalIgnoreClassProperty(&TControl::ClassInfo(), "HelpKeyword");
    GlobalIgnoreClassProperty(&TNotebook::ClassInfo(), "Pages");
    GlobalIgnoreClassProperty(&TControl::ClassInfo(), "ImeName");
    GlobalIgnoreWholeClass(&TFont::ClassInfo());
    GlobalIgnoreClassProperty(&TNetHTTP::ClassInfo(), "Request");
    GlobalIgnoreClassProperty(&TZipArchive::ClassInfo(), "Language");
    GlobalIgnoreClassProperty(&AdComboBox::ClassInfo(), "Values");
}
} // namespace

extern "C" int WinMain(struct HINSTANCE__*, struct HINSTANCE__*, char*, int)
{
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
