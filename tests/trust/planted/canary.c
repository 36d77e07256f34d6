/* Imports bcrypt the ordinary way: the proof that a planted copy beside a
 * program is picked up where the loader is asked to look there, so that the
 * absence of markers beside the real programs means something. */
#include <windows.h>
#include <bcrypt.h>

int main(void)
{
    BCRYPT_ALG_HANDLE algorithm = NULL;
    return BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, NULL, 0) == 0 ? 0 : 1;
}
