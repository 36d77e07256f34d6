#include "uListSerial.h"

#include "platform/uRegistryApi.h"

#include <cstring>

namespace listserial {

std::uint64_t Remembered()
{
    platform::TRegKey key;
    if (platform::OpenRegKey(platform::RootKeyHandle(platform::RegCurrentUser), RegistryKey, platform::RegKeyRead,
                             key) != platform::RegErrorSuccess)
        return 0;
    unsigned type = 0;
    std::vector<std::uint8_t> data;
    if (platform::QueryRegValue(key.Get(), RegistryValue, type, data) != platform::RegErrorSuccess ||
        type != platform::RegQword || data.size() != sizeof(std::uint64_t))
        return 0;
    std::uint64_t serial = 0;
    std::memcpy(&serial, data.data(), sizeof serial);
    return serial;
}

void Remember(std::uint64_t serial)
{
    if (serial <= Remembered())
        return;
    platform::TRegKey key;
    if (platform::CreateRegKey(platform::RootKeyHandle(platform::RegCurrentUser), RegistryKey, platform::RegKeyWrite,
                               key) != platform::RegErrorSuccess)
        return;
    platform::SetRegValue(key.Get(), RegistryValue, platform::RegQword, &serial, sizeof serial);
}

bool Accept(const TManifest& list, std::uint64_t minimum)
{
    if (!ListSerialAcceptable(list.Serial(), minimum, Remembered()))
        return false;
    if (list.Serial())
        Remember(*list.Serial());
    return true;
}

} // namespace listserial
