#pragma once
// One picture per wizard page, so a person can look at the wizard without
// starting it; Abort is shown as the wizard leaves it (Finish on top).
#include "setup/ufrmMain.h"
#include "tests/ui/uUiTestKit.h"

#include <gtest/gtest.h>

#include <string>

// The program registers its translation ignores once at start-up; so does
// the test program, whichever test first needs them (a second one fails).
inline void EnsureTranslationIgnores()
{
    static const bool registered = [] {
        RegisterTranslationIgnores();
        return true;
    }();
    (void)registered;
}

// The button bar as the user sees it on each page: Next greyed while the
// program and the data install, Finish on top once the data is in, and on
// Abort Finish alone. The form is left as it was.
inline void PictureEveryPage(TfrmMain& form, const std::string& suffix)
{
    const char* const names[] = {"SelectTaal", "Start", "Locatie", "ProxySettings", "InstallMain",
                                 "Data", "InstallData", "Einde", "Abort"};
    const std::string folder = ScreenshotFolder();
    for (int i = 0; i < 9; ++i) {
        form.Notebook1->SetPageIndex(i);
        form.btNEXT->SetEnabled(i != 4 && i != 6);
        if (i >= 7)
            form.btFINISH->BringToFront();
        else
            form.btNEXT->BringToFront();
        form.btCANCEL->SetVisible(i != 8);
        const std::string path = folder + "/page-" + std::to_string(i) + "-" + names[i] + suffix + ".png";
        EXPECT_TRUE(SaveWindowPng(form.Handle(), path)) << path;
    }
    form.btNEXT->SetEnabled(true);
    form.btNEXT->BringToFront();
    form.btCANCEL->Show();
}
