// What the current GL offers the effects, asked once per rendering context.
#include "nembra/nembra.h"
#include "nembra/platform/win.h"
#include "nembra/window/internal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace nembra {
namespace {

bool HasExtension(const char* extensions, const char* name) {
    if (!extensions)
        return false;
    const std::size_t length = std::strlen(name);
    for (const char* p = extensions; (p = std::strstr(p, name)) != nullptr; p += length) {
        const bool startsWord = p == extensions || p[-1] == ' ';
        const bool endsWord = p[length] == ' ' || p[length] == '\0';
        if (startsWord && endsWord)
            return true;
    }
    return false;
}

// Refreshes the record when the current context is not the one it was made for.
GLCAPABILITIES& Current() {
    const HGLRC context = win::wglGetCurrentContext();
    if (GLCAPS.context != context || !GLCAPS.known) {
        GLCAPS.context = context;
        GLCAPS.known = true;
        GLCAPS.combine = OFFERSCOMBINE(reinterpret_cast<const char*>(glGetString(GL_VERSION)),
                                       reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)));
        GLfloat range[2] = {1.0f, 1.0f};
        glGetFloatv(GL_ALIASED_LINE_WIDTH_RANGE, range);
        GLCAPS.minLineWidth = range[0];
        GLCAPS.maxLineWidth = std::max(range[0], range[1]);
    }
    return GLCAPS;
}

} // namespace

GLCAPABILITIES GLCAPS;

bool OFFERSCOMBINE(const char* version, const char* extensions) {
    int major = 0;
    int minor = 0;
    // The version string starts "major.minor", whatever vendor text follows.
    if (version && std::sscanf(version, "%d.%d", &major, &minor) == 2 && (major > 1 || (major == 1 && minor >= 3)))
        return true;
    return HasExtension(extensions, "GL_ARB_texture_env_combine") ||
           HasExtension(extensions, "GL_EXT_texture_env_combine");
}

bool HAVECOMBINE() { return Current().combine; }

float CLAMPLINEWIDTH(float width) {
    const GLCAPABILITIES& caps = Current();
    if (!(width >= caps.minLineWidth)) // also a width that is not a number
        return caps.minLineWidth;
    return std::min(width, caps.maxLineWidth);
}

} // namespace nembra
