#include "uMoFile.h"

#include "uTranslationErrors.h"

#include "runtime/uSysUtils.h"

namespace {
// The system's text for an error code, as long as the report allows.
AnsiString OSErrorText(unsigned code)
{
    AnsiString text = SysErrorMessage(code);
    if (text.size() > 2000)
        text.resize(2000);
    return text;
}
} // namespace

TMoFile::TMoFile(const AnsiString& fileName, std::int64_t offset, std::int64_t size)
{
    using TStage = platform::TMappedFile::TStage;
    TStage stage;
    unsigned osError;
    FMapping = platform::TMappedFile::Open(fileName, stage, osError);
    switch (stage) {
    case TStage::Open:
        throw ETranslationIOError("Cannot open file " + fileName);
    case TStage::Mapping:
        throw ETranslationIOError("Cannot create memory map on file " + fileName);
    case TStage::View:
        throw ETranslationIOError("Cannot map file " + fileName + " into memory. Reason: " + OSErrorText(osError));
    case TStage::None:
        break;
    }
    // A catalog said to start beyond the end of the file has no valid header either.
    bool inside = offset >= 0 && std::uint64_t(offset) <= FMapping.Size();
    if (!inside || !FCatalog.Attach({FMapping.Data() + offset, FMapping.Size() - std::uint64_t(offset)}))
        throw ETranslationIOError("This file is not a valid GNU gettext mo file: " + fileName);
}

AnsiString TMoFile::Lookup(std::string_view msgid, bool& found) const
{
    AnsiString translation;
    found = FCatalog.Lookup(msgid, translation);
    return translation;
}
