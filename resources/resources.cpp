#include "resources/resources.h"

#include <QtGlobal>

static void registerVocalumeResources()
{
    // The resources live in a static library: reference them so the linker keeps them.
    Q_INIT_RESOURCE(vocalume);
}

namespace VocalumeResources {
void init()
{
    static bool done = false;
    if (!done) {
        done = true;
        registerVocalumeResources();
    }
}
}
