// The menu header: title, the open session's short name, and the rule line.
#include "session/model/TNXMenu.h"

#include <cstdio>
#include <cstring>

#include "foundation/iflibG.h"
#include "session/model/TNXGLOB.h"

int Menu(const char* title) {
    ClearLine();
    std::fprintf(out, "\n\n");
    std::fprintf(out, "%-47s", title);
    if (std::strcmp(sessionName, "NULL") != 0) std::fprintf(out, "%23s", sessionShortName);
    std::fprintf(out, "\n");
    return std::fprintf(out, "%s\n", lineL);
}
