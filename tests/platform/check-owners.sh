#!/usr/bin/env bash
# Every handle the programs take is held by an owner (platform/uOwner.h with
# the traits of platform/uWinOwners.h and the platform's kinds): a release
# written by hand is where a leak or a double close hides on the way out of
# an error. The release calls appear only in a traits type's Close and in the
# few owners listed below.
set -u
root="${1:?source folder}"
cd "$root" || exit 2
releases='CloseHandle|RegCloseKey|FindClose|FreeLibrary|LocalFree|GlobalFree|CertFreeCertificateContext|CertFreeCertificateChain|CertCloseStore|DeleteObject|DeleteDC|ReleaseDC|DestroyIcon|CoTaskMemFree|UnmapViewOfFile|closesocket|FreeCredentialsHandle|DeleteSecurityContext|CoUninitialize|inflateEnd'
# Owners whose release spans lines or reports its own result:
#   the registry key's traits skip the predefined roots; the COM apartment
#   ends what it began; an extracted file's Close reports the close's error,
#   where the last write's failure shows; the inflater ends its stream.
allowed='^(platform/uWinOwners\.h|platform/uRegistryApi\.cpp|platform/uCom\.cpp|engine/uEngine\.cpp|engine/core/uEntryChain\.cpp):'
found=$(grep -rnE "\b($releases)\(|->Release\(\)" --include='*.cpp' --include='*.h' --include='*.c' \
          setup trust engine zip ziprecords http ui platform translation runtime tools bench demo |
        grep -vE "void [A-Za-z_:<>]*Close\(|KORVANT_SYSTEM_IMPORT|TCloseWith<" | grep -vE "$allowed")
if [ -n "$found" ]; then
  echo "FAIL: released by hand, not by an owner:"
  echo "$found"
  exit 1
fi
echo "owners: ok"
