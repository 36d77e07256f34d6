// A library with the engine's name that must be refused: too old, or
// missing an entry point.
#include "zip/uZipContract.h"

extern "C" {
__declspec(dllexport) std::int32_t ZE_CALL ZE_UnzExec(zipeng::TCommandBlock*) { return 0; }
__declspec(dllexport) std::int32_t ZE_CALL ZE_ZipExec(void*) { return 0; }
__declspec(dllexport) std::int32_t ZE_CALL ZE_Version() { return FAKE_VERSION; }
__declspec(dllexport) std::int32_t ZE_CALL ZE_PrivVersion() { return 1; }
#ifndef FAKE_NO_ABORT
__declspec(dllexport) void ZE_CALL ZE_Abort(std::int32_t) {}
#endif
__declspec(dllexport) const char* ZE_CALL ZE_Path() { return "fake ZipEng179.dll"; }
}
