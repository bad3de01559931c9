// A temporary folder that stands in for the user's home: HOME, the settings folder and the other
// XDG folders point into it, so nothing a test or fuzz target runs touches the real home.
#pragma once

#include <QString>

class QTemporaryDir;

namespace PrivateHome {
// Creates the folder (its name begins with prefix) with "home" and "config" inside and points
// the environment at them; must run before the application object exists. The caller owns it.
QTemporaryDir* prepare(const QString& prefix);
}
