// Marks of the start-up's moments, for the start-up benchmark: with VOCALUME_STARTUP_TRACE naming a
// file, each mark appends a line "<what> <microseconds of the system's monotonic clock>", which the
// benchmark sets beside the moment it launched the program. Without the variable nothing is
// written and a mark costs one look at a cached flag.
#pragma once

class QWidget;

namespace StartupTrace {

void mark(const char* what);

// Marks "page" at the first paint of `view` after its first page finished loading.
void markFirstPagePainted(QWidget* view);
}
