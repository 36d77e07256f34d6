// Starts the translation before the program's entry point runs, so the
// entry point's first statement can already register ignore entries and the
// runtime's texts pass the translator from the start. Linked into programs as
// an object file: a static library member that nothing references would be
// dropped by the linker.
#include "translation/uTranslator.h"

namespace {

struct TTranslationStartup {
    TTranslationStartup()
    {
        try {
            InitializeTranslation();
        } catch (...) {
            // Nothing is shown this early; the first translation call retries
            // and reports the failure where the program can handle it.
        }
    }
    ~TTranslationStartup() { FinalizeTranslation(); }
};

TTranslationStartup GStartup;

} // namespace
