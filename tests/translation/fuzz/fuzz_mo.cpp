// Any bytes as a message catalog: attached, then searched for every key it
// names and for keys it does not have. Nothing may be read outside the bytes.
#include "translation/uMoCatalog.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TMoCatalog catalog;
    if (!catalog.Attach(std::span<const std::uint8_t>(data, size)))
        return 0;
    std::string translation;
    for (const char* key : {"", "Volgende >", "Annuleer", "%d bestanden", "zzzz"})
        catalog.Lookup(key, translation);
    // Keys taken from the input itself reach entries the fixed ones miss.
    for (std::size_t at = 0; at + 1 < size && at < 4096; at += 97) {
        std::size_t length = data[at] % 32;
        if (at + 1 + length <= size)
            catalog.Lookup(std::string_view(reinterpret_cast<const char*>(data) + at + 1, length), translation);
    }
    const std::size_t half = size / 2;
    SameFormatConversions(std::string_view(reinterpret_cast<const char*>(data), half),
                          std::string_view(reinterpret_cast<const char*>(data) + half, size - half));
    return 0;
}
