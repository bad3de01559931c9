// Registration of the resources compiled into the program (engine, templates, images).
#pragma once

namespace VocalumeResources {
// Registers the embedded resources once; safe to call again.
void init();
}
