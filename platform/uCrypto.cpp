#include "uCrypto.h"

#include <windows.h>
#include <bcrypt.h>

#include <stdexcept>
#include <vector>

namespace platform {

namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

// One provider per algorithm for the life of the program: opening one is the
// expensive part of CNG, and the handles are safe to share between threads.
BCRYPT_ALG_HANDLE Provider(LPCWSTR algorithm)
{
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!Succeeded(::BCryptOpenAlgorithmProvider(&handle, algorithm, nullptr, 0)))
        throw std::runtime_error("the system offers no cryptographic provider for the download checks");
    return handle;
}

BCRYPT_ALG_HANDLE Sha256Provider()
{
    static BCRYPT_ALG_HANDLE handle = Provider(BCRYPT_SHA256_ALGORITHM);
    return handle;
}

BCRYPT_ALG_HANDLE EcdsaP256Provider()
{
    static BCRYPT_ALG_HANDLE handle = Provider(BCRYPT_ECDSA_P256_ALGORITHM);
    return handle;
}

} // namespace

struct TSha256::TImpl {
    BCRYPT_HASH_HANDLE Hash = nullptr;
    TImpl() { Open(); }
    ~TImpl() { Close(); }
    void Open()
    {
        if (!Succeeded(::BCryptCreateHash(Sha256Provider(), &Hash, nullptr, 0, nullptr, 0, 0)))
            throw std::runtime_error("cannot start a SHA-256 hash");
    }
    void Close()
    {
        if (Hash)
            ::BCryptDestroyHash(Hash);
        Hash = nullptr;
    }
};

TSha256::TSha256() : F(std::make_unique<TImpl>()) {}
TSha256::~TSha256() = default;
TSha256::TSha256(TSha256&&) noexcept = default;
TSha256& TSha256::operator=(TSha256&&) noexcept = default;

void TSha256::Update(const void* data, std::size_t count)
{
    auto* p = static_cast<PUCHAR>(const_cast<void*>(data));
    while (count > 0) {
        ULONG piece = count > 0x40000000 ? 0x40000000 : static_cast<ULONG>(count);
        if (!Succeeded(::BCryptHashData(F->Hash, p, piece, 0)))
            throw std::runtime_error("cannot hash");
        p += piece;
        count -= piece;
    }
}

TSha256Digest TSha256::Final()
{
    TSha256Digest digest{};
    if (!Succeeded(::BCryptFinishHash(F->Hash, digest.data(), static_cast<ULONG>(digest.size()), 0)))
        throw std::runtime_error("cannot finish a hash");
    Reset();
    return digest;
}

void TSha256::Reset()
{
    F->Close();
    F->Open();
}

TSha256Digest Sha256(std::span<const std::uint8_t> bytes)
{
    TSha256 hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.Final();
}

bool VerifyEcdsaP256(std::span<const std::uint8_t> publicPoint, const TSha256Digest& digest,
                     std::span<const std::uint8_t> signature)
{
    constexpr std::size_t kCoordinate = 32;
    if (publicPoint.size() != 1 + 2 * kCoordinate || publicPoint[0] != 0x04 || signature.size() != 2 * kCoordinate)
        return false;
    std::vector<std::uint8_t> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinate);
    auto* header = reinterpret_cast<BCRYPT_ECCKEY_BLOB*>(blob.data());
    header->dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header->cbKey = kCoordinate;
    std::copy(publicPoint.begin() + 1, publicPoint.end(), blob.begin() + sizeof(BCRYPT_ECCKEY_BLOB));

    BCRYPT_KEY_HANDLE key = nullptr;
    if (!Succeeded(::BCryptImportKeyPair(EcdsaP256Provider(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &key, blob.data(),
                                         static_cast<ULONG>(blob.size()), 0)))
        return false;
    NTSTATUS status = ::BCryptVerifySignature(key, nullptr, const_cast<PUCHAR>(digest.data()),
                                              static_cast<ULONG>(digest.size()),
                                              const_cast<PUCHAR>(signature.data()),
                                              static_cast<ULONG>(signature.size()), 0);
    ::BCryptDestroyKey(key);
    return Succeeded(status);
}

} // namespace platform
