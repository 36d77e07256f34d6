// Adds a certificate (PEM or DER) to the machine's "Root" store, so that
// the download client trusts servers it issued. The tests run it in their
// own Wine prefix; the host's trust is never touched.
//   trustca.exe CERT.pem [--remove]
#include "platform/uWinOwners.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

int Fail(const char* what)
{
    std::fprintf(stderr, "trustca: %s (error %lu)\n", what, static_cast<unsigned long>(::GetLastError()));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "--remove") != 0)) {
        std::fprintf(stderr, "usage: trustca.exe CERT.pem [--remove]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "trustca: cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<char> text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<BYTE> der;
    DWORD size = 0;
    // PEM is decoded by the system; anything else is taken as DER.
    if (::CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64HEADER, nullptr, &size,
                               nullptr, nullptr)) {
        der.resize(size);
        if (!::CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                                    &size, nullptr, nullptr))
            return Fail("the PEM text cannot be decoded");
        der.resize(size);
    } else {
        der.assign(text.begin(), text.end());
    }
    const platform::win::TCertStore store(
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root"));
    if (!store)
        return Fail("the machine's root store cannot be opened");
    platform::win::TCertContext added;
    if (!::CertAddEncodedCertificateToStore(store.Get(), X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                            CERT_STORE_ADD_REPLACE_EXISTING, added.Receive()))
        return Fail("the certificate cannot be added");
    int rc = 0;
    // The copy just (re)placed is the one to take out again; deleting it
    // frees the context too, whether it succeeds or not.
    if (argc == 3 && !::CertDeleteCertificateFromStore(added.Release()))
        rc = Fail("the certificate cannot be removed");
    return rc;
}
