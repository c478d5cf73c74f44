// Reading a region's rectangles back through GetRegionData, for the suites of regions and bitmaps.
#pragma once

#include "nembra/platform/win.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <vector>

namespace testsupport {

struct Box {
    int left, top, right, bottom;
    friend bool operator==(const Box&, const Box&) = default;
};

inline std::ostream& operator<<(std::ostream& os, const Box& b) {
    return os << "(" << b.left << "," << b.top << "," << b.right << "," << b.bottom << ")";
}

// The region's rectangles, top band first; a region whose data cannot be read is a test failure.
inline std::vector<Box> RectsOf(win::HRGN region) {
    const win::DWORD size = win::GetRegionData(region, 0, nullptr);
    std::vector<std::uint8_t> bytes(size);
    auto* data = reinterpret_cast<win::RGNDATA*>(bytes.data());
    if (size == 0 || win::GetRegionData(region, size, data) != size) {
        ADD_FAILURE() << "GetRegionData failed for region " << region;
        return {};
    }
    std::vector<Box> boxes(data->rdh.nCount);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        win::RECT r;
        std::memcpy(&r, data->Buffer + i * sizeof r, sizeof r);
        boxes[i] = {r.left, r.top, r.right, r.bottom};
    }
    return boxes;
}

} // namespace testsupport
