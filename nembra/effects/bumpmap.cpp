// The bump-map effect: a display list drawn twice over itself, first with the bump image, then with
// the colour image combined with the lit colour and multiplied onto the first pass.
#include "nembra/nembra.h"
#include "nembra/window/internal.h"

namespace nembra {

void INITFX_TEXTUREBUMPMAP(const char* BMPBUMP, const char* BMPFILE, std::int32_t NUM) {
    // Both slots are checked before either file is read.
    std::uint32_t& bumpSlot = TEXTUREBUMPMAP[NUM];
    std::uint32_t& colourSlot = TEXTUREBUMPMAP2[NUM];
    // The unpack state is left as it stands: the GL's initial one and the one TEXTURELOADID leaves
    // both suit the bitmap rows.
    auto TEXTUREBUMP = [&](const char* file) { LOADBMPTEXTURE(file, bumpSlot, false); };
    auto TEXTURE = [&](const char* file) { LOADBMPTEXTURE(file, colourSlot, false); };
    TEXTUREBUMP(BMPBUMP);
    TEXTURE(BMPFILE);
}

void FX_TEXTUREBUMPMAP(float X, float Y, float Z, std::uint32_t OBJNAME, std::int32_t NUM) {
    const std::uint32_t bump = TEXTUREBUMPMAP[NUM];
    const std::uint32_t colour = TEXTUREBUMPMAP2[NUM];

    // Pass 1: the bump image, with the caller's blending, lighting and environment.
    glBindTexture(GL_TEXTURE_2D, bump);
    glPushMatrix();
    glTranslatef(X, Y, Z);
    glCallList(OBJNAME);
    glPopMatrix();

    // Pass 2: (1 - lit colour) + (1 - colour texel) - 0.5, doubled onto pass 1 by the blend. Without
    // the combine environment the GL would refuse these settings, so they are not sent and the colour
    // image is drawn as it is.
    glBindTexture(GL_TEXTURE_2D, colour);
    glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR);
    glEnable(GL_BLEND);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    if (HAVECOMBINE()) {
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_ADD_SIGNED);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_PRIMARY_COLOR);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_TEXTURE);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_ONE_MINUS_SRC_COLOR);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, GL_ONE_MINUS_SRC_COLOR);
    }
    glPushMatrix();
    glTranslatef(X, Y, Z);
    glCallList(OBJNAME);
    glDisable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glPopMatrix();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

} // namespace nembra
