// The cartoon effect: flat faces, a thick black outline from the back faces drawn as wide lines
// behind them, and for textured objects an additive pass that brightens the surface.
#include "nembra/nembra.h"
#include "nembra/window/internal.h"

namespace nembra {

void FX_CARTOON(float X, float Y, float Z, float SIZE, std::uint32_t OBJNAME, BYTEBOOL TEXTURE) {
    if (ACTIVETEXTURESHADER)
        EFFECTREALWATER();
    if (!TEXTURE)
        TEXTUREOFF();
    glPushMatrix();
    glTranslatef(X, Y, Z);
    SETGLFLAT();
    if (ACTIVETEXTURESHADER && TEXTURE)
        EFFECTREALWATEROFF();

    // Pass 1: the front faces.
    glPushMatrix();
    glCullFace(GL_BACK);
    glCallList(OBJNAME);
    glPopMatrix();

    // Pass 2: the back faces as black lines; only their part outside the silhouette survives the
    // depth test. A width beyond what the GL rasterises is clamped rather than left to the driver.
    glPushMatrix();
    glColor3f(0, 0, 0);
    SETGLLINE(CLAMPLINEWIDTH(SIZE + 6.0f));
    glCullFace(GL_FRONT);
    glDisable(GL_LIGHTING);
    glCallList(OBJNAME);
    glEnable(GL_LIGHTING);
    glPopMatrix();

    SETGLFILL();
    glColor3f(1, 1, 1);
    if (ACTIVETEXTURESHADER && TEXTURE)
        EFFECTREALWATER();
    glDisable(GL_CULL_FACE);
    glFlush();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_COLOR, GL_ONE);

    // Pass 3: every face added onto pass 1, source times source plus destination.
    glPushMatrix();
    if (TEXTURE) {
        if (ACTIVETEXTURESHADER)
            TEXTUREOFF();
        glCallList(OBJNAME);
        if (ACTIVETEXTURESHADER)
            TEXTUREON();
    }
    glPopMatrix();

    SETGLFILL();
    glLineWidth(2.0f);
    glDisable(GL_BLEND);
    glColor3f(9.5f, 9.5f, 9.5f); // what the effect has always left; lit drawing ignores it
    glEnable(GL_CULL_FACE);
    SETGLSMOOTH();
    glPopMatrix();
    glCullFace(GL_BACK);
    if (!TEXTURE)
        TEXTUREON();
    if (ACTIVETEXTURESHADER)
        EFFECTREALWATEROFF();
}

} // namespace nembra
