#include "scene.h"

#include "images.h"

#include <string>

namespace demo {

std::uint32_t BASE = 0;
std::uint32_t CAPITELLO = 0;
std::uint32_t COLONNA = 0;

namespace {

using namespace nembra;

void OPENGL_TEXTURE() {
    // Each colour image is loaded twice, as a texture slot and as the colour half of a bump slot; it is
    // looked for once.
    const std::string stoneblocks = FINDIMAGE(STONEBLOCKS_BMP), pietre = FINDIMAGE(PIETRE_BMP),
                      gray11 = FINDIMAGE(GRAY11_BMP);
    TEXTURELOADID(stoneblocks.c_str(), T_BASE);
    TEXTURELOADID(pietre.c_str(), T_CAPITELLO);
    TEXTURELOADID(gray11.c_str(), T_COLONNA);
    INITFX_TEXTUREBUMPMAP(FINDIMAGE(STONEBLOCKS_BMAP_BMP).c_str(), stoneblocks.c_str(), T_BASE);
    INITFX_TEXTUREBUMPMAP(FINDIMAGE(PIETRE_BMAP_BMP).c_str(), pietre.c_str(), T_CAPITELLO);
    INITFX_TEXTUREBUMPMAP(FINDIMAGE(GRAY11_BMAP_BMP).c_str(), gray11.c_str(), T_COLONNA);
}

// Every part halves its texture coordinates, so each image covers twice the surface before it repeats.
void BeginHalvedTexture() {
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glScalef(0.5f, 0.5f, 0.5f);
}

void EndHalvedTexture() {
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

std::uint32_t NewList() {
    const std::uint32_t list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    return list;
}

// Column 1: each part's list with its texture slot bound, placed by successive translations.
void PlainColumn() {
    TEXTURESELECTID(T_BASE);
    glCallList(BASE);
    glTranslatef(0, 0, 1.2f);
    TEXTURESELECTID(T_CAPITELLO);
    glCallList(CAPITELLO);
    TEXTURESELECTID(T_COLONNA);
    glCallList(COLONNA);
    glRotatef(180, 1, 0, 0);
    glPushMatrix();
    glTranslatef(0, 0, -20);
    TEXTURESELECTID(T_CAPITELLO);
    glCallList(CAPITELLO);
    glTranslatef(0, 0, -1.2f);
    TEXTURESELECTID(T_BASE);
    glCallList(BASE);
    glPopMatrix();
}

// Columns 2 to 4: every part placed by the drawing call's own translation.
struct Part {
    const std::uint32_t* list;
    std::int32_t slot;
    float z;
};
constexpr Part kLowerParts[] = {{&BASE, T_BASE, 0}, {&CAPITELLO, T_CAPITELLO, 1.2f}, {&COLONNA, T_COLONNA, 0}};
constexpr Part kUpperParts[] = {{&CAPITELLO, T_CAPITELLO, -21}, {&BASE, T_BASE, -22.2f}};

template <typename DrawPart>
void EffectColumn(DrawPart draw) {
    for (const Part& part : kLowerParts)
        draw(part);
    glRotatef(180, 1, 0, 0);
    glPushMatrix();
    for (const Part& part : kUpperParts)
        draw(part);
    glPopMatrix();
}

} // namespace

void OPENGL_CREATELIST() {
    OPENGL_TEXTURE();
    INITTEXT(0.0f, 0, 0, 0);

    BASE = NewList();
    glPushMatrix();
    glRotatef(90, 1, 0, 0);
    BeginHalvedTexture();
    CUBO(0, 0, 0, 2.2f, 1, 2.2f);
    EndHalvedTexture();
    glPopMatrix();
    glEndList();

    // The capital records the torus lists' names, so they must exist first.
    TOROIDEPROP(0, 0.4f, 1.75f, 20, 20);
    TOROIDEPROP(1, 0.4f, 1.25f, 20, 20);
    CAPITELLO = NewList();
    BeginHalvedTexture();
    CONOTRONCO(0, 0, 0, 20, 1.5f, 2.0f, 2.0f);
    EndHalvedTexture();
    TOROIDE(0, true);
    glPushMatrix();
    glTranslatef(0, 0, 2);
    TOROIDE(1, true);
    glPopMatrix();
    glEndList();

    COLONNA = NewList();
    BeginHalvedTexture();
    TUBO(0, 0, 0, 32, 1.5f, 20);
    EndHalvedTexture();
    glEndList();
}

void OPENGL_DRAW2D() {
    OPENGL_I2D(0.0, 0.0, 0.0, 0.0);
    PUTGLPOINTLIGHT(GL_LIGHT0, static_cast<float>(WIDTH) / 2, 0.0f, -400.0f, static_cast<float>(HEIGHT) / 2, 0.1f);
    OPENGL_INIT(1000.0, 0.0, 0.0, 0.0, 0.0);
}

void OPENGL_MOUSE2D() {}

void OPENGL_KEYBOARD() {}

void OPENGL_DRAW() { DRAWFRAME(EFFECTS); }

void DRAWFRAME(const PARTDRAWERS& DRAWERS) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    OPENGL_DRAW2D();
    OPENGL_MOUSE2D();
    OPENGL_KEYBOARD();

    // The scene's z axis turned upright, its origin 40 ahead of the eye and 12 below its line of sight.
    glTranslatef(0, -12, -40);
    glRotatef(90, -1, 0, 0);
    SETGLMOUSEMOVE(GL_MX, 2);
    PUTGLPOINTLIGHT(GL_LIGHT0, 2, 0, -15, 22, 0);
    SETGLFOG(0.01f, 0.65f, 0.65f, 0.65f, 0);

    TEXTUREOFF();
    CUBO(0, 0, -5, 40, 20, 0.1f);  // floor
    CUBO(0, 20, 15, 40, 0.1f, 20); // back wall
    TEXTUREON();

    glPushMatrix();
    glTranslatef(-15, 0, 0);
    PlainColumn();
    glPopMatrix();

    glPushMatrix();
    glTranslatef(-5, 0, 0);
    EffectColumn([&](const Part& part) { DRAWERS.bump(0, 0, part.z, *part.list, part.slot); });
    glPopMatrix();

    glPushMatrix();
    glTranslatef(5, 0, 0);
    EffectColumn([&](const Part& part) {
        TEXTURESELECTID(part.slot);
        DRAWERS.cartoon(0, 0, part.z, 1, *part.list, true);
    });
    glPopMatrix();

    glPushMatrix();
    glTranslatef(15, 0, 0);
    EffectColumn([&](const Part& part) { DRAWERS.cartoon(0, 0, part.z, 1, *part.list, false); });
    glPopMatrix();
}

} // namespace demo
