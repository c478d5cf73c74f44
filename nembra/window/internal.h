// Library routines that are not part of the public interface; used across nembra/ and by its tests.
#pragma once

#include "nembra/nembra.h"

namespace nembra {

// Shows the message in a modal box captioned "Error", writes it to standard error and ends the
// program with exit code 1. Used for the fatal failures of window creation.
[[noreturn]] void THROWERROR(const char* PCERRORMESSAGE);

// The steps of CREATEOGLWINDOW.
BYTEBOOL WINDOWREGISTER();
HWND WINDOWCREATE(const char* PCAPPLICATIONNAME);
BYTEBOOL WINDOWINIT(HWND HPARENT);

// Registers the "IMAGEBUTTON" class into WINDOWCLASSEX unless it exists already; a failure is ignored.
void REGISTERHOVERBUTTON();

// The window procedure of the "GLWindow" class.
LRESULT GLWNDPROC(HWND WINDOW, UINT AMESSAGE, WPARAM WPARAM_, LPARAM LPARAM_);

// The keyboard and command messages of GLWNDPROC. ONKEYDOWN is true when it has answered the message
// (Escape), false when the message goes on to the default path.
bool ONKEYDOWN(WPARAM KEY);
void ONKEYUP(WPARAM KEY);
void ONCONTEXTMENU();
void ONCOMMAND(HWND WINDOW, UINT AMESSAGE, WPARAM WPARAM_, LPARAM LPARAM_);
// Screen saver and display power-down, which the GL window answers itself.
bool SUPPRESSEDSYSCOMMAND(WPARAM COMMAND);

// The mouse messages of GLWNDPROC: drags and free look update the navigation state.
void ONLBUTTONDOWN(LPARAM LPARAM_);
void ONLBUTTONUP();
void ONRBUTTONDOWN(LPARAM LPARAM_);
void ONRBUTTONUP();
void ONMOUSEMOVE(LPARAM LPARAM_);

// The BMP texture upload shared by the texture slots and the bump-map slots: loads the file, gives SLOT
// a new texture name, binds it with linear filters and repeat wrap, and uploads level 0 as GL_RGB.
// SETUNPACK also sets the pixel-store unpack state the bitmap rows need. A file that cannot be loaded
// leaves SLOT and the GL untouched and returns false (the loader has said why on standard error).
bool LOADBMPTEXTURE(const char* BMPFILE, std::uint32_t& SLOT, bool SETUNPACK);

// What the current GL offers the effects, asked once per rendering context (a new context asks again).
struct GLCAPABILITIES {
    HGLRC context = 0;
    bool known = false;
    bool combine = false; // the combine texture environment (OpenGL 1.3 or its extension)
    float minLineWidth = 1.0f;
    float maxLineWidth = 1.0f; // GL_ALIASED_LINE_WIDTH_RANGE
};
extern GLCAPABILITIES GLCAPS;

// Whether a GL with this version and extension string offers the combine texture environment.
bool OFFERSCOMBINE(const char* version, const char* extensions);
// The same for the current context.
bool HAVECOMBINE();
// WIDTH brought into the range of line widths the current GL rasterises.
float CLAMPLINEWIDTH(float width);

// The fatal messages of window creation (Latin-1).
inline constexpr const char* MSG_REGISTER_FAILED = "Errore di registro per la rispettiva applicazione!";
inline constexpr const char* MSG_WINDOW_FAILED = "Impossibile creare la finestra per la rispettiva applicazione!";
inline constexpr const char* MSG_INIT_FAILED = "la rispettiva applicazione non \xE8 stata inizilizata!";

} // namespace nembra
