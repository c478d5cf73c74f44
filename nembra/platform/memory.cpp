// Movable global memory: blocks behind handles that can grow while keeping their contents.
#include "nembra/platform/x11.h"

#include <algorithm>
#include <stdexcept>

namespace win {

using namespace x11;

namespace {

GlobalBlock* FindBlock(HGLOBAL block) {
    auto it = P().globals.find(block);
    return it == P().globals.end() ? nullptr : &it->second;
}

void NoteSize(std::size_t bytes) { P().largestGlobal = std::max(P().largestGlobal, bytes); }

} // namespace

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes) {
    if (!(flags & GMEM_MOVEABLE))
        return 0; // a fixed block is a bare pointer on the desktop, which a 32-bit handle cannot hold
    GlobalBlock block;
    try {
        block.bytes.resize(bytes); // zeroed, GMEM_ZEROINIT or not
    } catch (const std::exception&) {
        return 0;
    }
    Platform& p = P();
    const HGLOBAL handle = p.newHandle();
    p.globals.emplace(handle, std::move(block));
    NoteSize(bytes);
    return handle;
}

void* GlobalLock(HGLOBAL block) {
    GlobalBlock* b = FindBlock(block);
    if (!b || b->bytes.empty())
        return nullptr;
    ++b->locks;
    return b->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL block) {
    GlobalBlock* b = FindBlock(block);
    if (!b || b->locks == 0)
        return 0;
    return --b->locks > 0;
}

HGLOBAL GlobalReAlloc(HGLOBAL block, std::size_t bytes, UINT flags) {
    GlobalBlock* b = FindBlock(block);
    // A locked block would move under the pointers handed out for it.
    if (!b || b->locks > 0 || !(flags & GMEM_MOVEABLE))
        return 0;
    try {
        b->bytes.resize(bytes); // new bytes are zero
    } catch (const std::exception&) {
        return 0; // the block keeps its size and contents
    }
    NoteSize(bytes);
    return block;
}

HGLOBAL GlobalFree(HGLOBAL block) { return P().globals.erase(block) ? 0 : block; }

std::size_t GlobalSize(HGLOBAL block) {
    const GlobalBlock* b = FindBlock(block);
    return b ? b->bytes.size() : 0;
}

GLOBALUSAGE GlobalUsage(bool reset) {
    Platform& p = P();
    const GLOBALUSAGE usage{p.globals.size(), p.largestGlobal};
    if (reset)
        p.largestGlobal = 0;
    return usage;
}

} // namespace win
