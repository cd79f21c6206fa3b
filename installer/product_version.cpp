#include "installer/product_version.h"

namespace {

// The four fields, missing ones 0. Anything past a field's digits ends the
// version: the pointer then stays on it, so the fields after stay 0.
void ParseVersion(LPCWSTR psz, unsigned long (&fields)[4])
{
    for (unsigned long& field : fields) {
        field = 0;
        while (*psz >= L'0' && *psz <= L'9')
            field = field * 10 + (*psz++ - L'0');
        if (*psz == L'.')
            ++psz;
    }
}

} // namespace

int CompareVersions(LPCWSTR pszA, LPCWSTR pszB)
{
    unsigned long x[4], y[4];
    ParseVersion(pszA, x);
    ParseVersion(pszB, y);
    for (int i = 0; i < 4; ++i) {
        if (x[i] != y[i])
            return x[i] < y[i] ? -1 : 1;
    }
    return 0;
}
