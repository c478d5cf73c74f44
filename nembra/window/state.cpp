// The library's process-wide state: every variable with its initial value.
#include "nembra/nembra.h"

namespace nembra {

HWND HWINDOW = 0;
HDC DCWINDOW = 0;
HGLRC RCWINDOW = 0;
std::int32_t WIDTH = 0;
std::int32_t HEIGHT = 0;
std::int32_t BITS = 0;
BYTEBOOL FULLSCREEN = false;
BYTEBOOL ACTIVE = false;
std::int32_t SETTYPECURSOR = 0;
std::int32_t SETTYPEICON = 0;
const char* CURSORFILE = nullptr;
const char* ICONFILE = nullptr;
MSG MSG_;
WNDCLASSEXA WINDOWCLASSEX;

BYTEBOOL SHOWMENUBAR = false;
void (*CREATEMENUBAR)() = nullptr;
void (*CREATEMOUSEMENU)() = nullptr;
WNDPROC GETINPUTCOMMAND = nullptr;
BYTEBOOL SHOWSTATUSBAR = false;
HWND HSTATUS = 0;
HWND AWND = 0;
TFILENAME FILENAME = {};
BoundedTable<std::int32_t, 1, 20, "STATUSITEM"> STATUSITEM;
BoundedTable<std::int32_t, 1, 20, "EDGES"> EDGES;
std::int32_t MAXSTATUSITEM = 0;

BoundedTable<LONGBOOL, 0, 500, "SETKEY"> SETKEY;
BYTEBOOL LEFTMOUSEDOWN = false;
BYTEBOOL RIGHTMOUSEDOWN = false;
BYTEBOOL LEFTMOUSEDOWN2 = false;
BYTEBOOL RIGHTMOUSEDOWN2 = false;
BYTEBOOL MOUSEFREE = false;
float XROT = 0;
float YROT = 0;
float DEPTH = 0;
float XROT2 = 0;
float YROT2 = 0;
float DEPTH2 = 0;
std::int32_t XCOORD = 0;
std::int32_t YCOORD = 0;
std::int32_t ZCOORD = 0;
std::int32_t SETMX = 0;
std::int32_t SETMY = 0;
std::int32_t SETOMX = 0;
std::int32_t SETOMY = 0;
POINT MPOS;
std::int32_t MSPEED = 0;
TGLVERTEX MY;
std::uint32_t START = 0;

float AMBIENTLIGHT[4] = {0.5f, 0.5f, 0.5f, 1.0f};
float DIFFUSELIGHT[4] = {1.0f, 1.0f, 1.0f, 1.0f};
float SPECULARLIGHT[4] = {1.0f, 1.0f, 1.0f, 1.0f};
float LIGHTPOSITION[4] = {};
float FOGCOLOR[4] = {};
BYTEBOOL FOGONOFF = false;
float OFFX = 0;
float OFFY = 0;
std::uint32_t OBJNULL = 0;
BoundedTable<double, 1, 3, "FNORMAL"> FNORMAL;
BYTEBOOL ACTIVETEXTURESHADER = false;

BoundedTable<std::uint32_t, 0, 500, "TEXTUREID2"> TEXTUREID2;
BoundedTable<std::uint32_t, 0, 500, "TEXTUREBUMPMAP"> TEXTUREBUMPMAP;
BoundedTable<std::uint32_t, 0, 500, "TEXTUREBUMPMAP2"> TEXTUREBUMPMAP2;
BoundedTable<std::uint32_t, 0, 100, "TORUS"> TORUS;
std::uint32_t BASE = 0;
BoundedTable<GLYPHMETRICSFLOAT, 0, 255, "GMF"> GMF;

std::string NEMBRAVERSION = "1.0";
std::string BMPTYPE;

} // namespace nembra
