// The terminal library, with its wide-character calls and without its
// function-like macros (erase(), clear() ... would clash with the library's
// containers).
#pragma once

#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#ifndef NCURSES_NOMACROS
#define NCURSES_NOMACROS 1
#endif
#include <curses.h>
