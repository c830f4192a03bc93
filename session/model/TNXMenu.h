// The menu header that every dialog prints, above or below the analyses.
#ifndef TNXMENU_H
#define TNXMENU_H

// Prints a menu header on `out`: the title in 47 columns and the session name in 23, then the
// rule line. Returns the character count of its last print.
int Menu(const char* title);

#endif
