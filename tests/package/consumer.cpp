// A program that uses Nembra the way another project would: only the public header.
#include <nembra/nembra.h>

#include <cstdio>

int main() {
    // Nothing here needs a display: the state and the bound-checked tables are plain data.
    nembra::SETKEY[65] = nembra::LONGTRUE;
    std::printf("Nembra %s, SETKEY has %zu entries\n", nembra::NEMBRAVERSION.c_str(), nembra::SETKEY.size);
    return nembra::SETKEY[65] == -1 ? 0 : 1;
}
