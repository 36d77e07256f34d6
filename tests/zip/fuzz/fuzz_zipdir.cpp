// The archive component's directory reader over bytes in memory: end record,
// central directory, names; and the message-table lookup over the same bytes.
#include "zip/uZipDir.h"
#include "zip/uZipMsg.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TMemoryStream s;
    s.Write(data, static_cast<std::int64_t>(size));
    TEndRecord end = FindEndRecord(s, s.Size());
    if (end.Found) {
        for (bool dirOnly : {false, true}) {
            TCentralDirectory dir;
            TCentralReadEvents events;
            events.NewName = [](int, const ZipDirEntry& e) { (void)e.FileName.size(); };
            try {
                ReadCentralDirectory(s, end, dirOnly ? TZipCodePage::cpOEM : TZipCodePage::cpAuto, dirOnly, events, dir);
            } catch (const EZipArchive&) {
            }
        }
    }
    std::vector<std::uint8_t> table(data, data + size);
    WideString text;
    zipmsg::FindInTable(table, 10080, text);
    zipmsg::FindInTable(table, 11036, text);
    return 0;
}
