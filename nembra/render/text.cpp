// Outline-font display lists.
#include "nembra/nembra.h"

namespace nembra {

void DELETEGLTEXT() {
    // With no font built, BASE is 0 and the names 0..255 belong to somebody else.
    if (BASE != 0)
        glDeleteLists(BASE, 256);
}

} // namespace nembra
