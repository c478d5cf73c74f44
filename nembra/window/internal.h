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

// The window procedure of the "GLWindow" class.
LRESULT GLWNDPROC(HWND WINDOW, UINT AMESSAGE, WPARAM WPARAM_, LPARAM LPARAM_);

// The fatal messages of window creation (Latin-1).
inline constexpr const char* MSG_REGISTER_FAILED = "Errore di registro per la rispettiva applicazione!";
inline constexpr const char* MSG_WINDOW_FAILED = "Impossibile creare la finestra per la rispettiva applicazione!";
inline constexpr const char* MSG_INIT_FAILED = "la rispettiva applicazione non \xE8 stata inizilizata!";

} // namespace nembra
