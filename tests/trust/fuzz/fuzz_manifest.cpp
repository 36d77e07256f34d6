// Any bytes as the component list (with or without its serial line), and
// as its signature.
#include "trust/uManifest.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string error;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto manifest = TManifest::Parse(text, error)) {
        manifest->Find("main.zip");
        ListSerialAcceptable(manifest->Serial(), 3, 7);
    }
    EcdsaSignatureFromDer(std::span<const std::uint8_t>(data, size));
    return 0;
}
