#include "platform/FontRendering.h"

#include <QtGlobal>

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#include <dlfcn.h>
#endif

namespace platform {

void DrawCffFontsPlainly()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // Looked up rather than linked: Qt's accessor to its library is exported but not in its public
    // headers, and a Qt built without FreeType has neither.
    using LibraryOfThisThread = void *(*)();
    using SetProperty = int (*)(void *library, const char *module, const char *property, const void *value);
    static const auto library = reinterpret_cast<LibraryOfThisThread>(dlsym(RTLD_DEFAULT, "_Z14qt_getFreetypev"));
    static const auto set = reinterpret_cast<SetProperty>(dlsym(RTLD_DEFAULT, "FT_Property_Set"));
    if (!library || !set)
        return;
    const unsigned char noStemDarkening = 1; // FT_Bool
    (void)set(library(), "cff", "no-stem-darkening", &noStemDarkening);
#endif
}

} // namespace platform
