// A cover fetched as the synchronisation fetches it, waited for here: true when it is in the
// cache (at once when it already was).
#pragma once

#include "packages/cachedimage.h"

#include <QSignalSpy>

inline bool fetchedCover(CachedImage& cover)
{
    if (cover.present)
        return true;
    QSignalSpy ended(&cover, &CachedImage::finished);
    cover.start();
    return (!ended.isEmpty() || ended.wait(CachedImage::deadlineMilliseconds + 5000)) && !cover.error;
}
