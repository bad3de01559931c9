#include "packages/blockcachedfile.h"

#include <cstring>

BlockCachedFile::BlockCachedFile(const QString& path, QObject* parent)
    : QIODevice(parent)
    , file(path)
{
}

bool BlockCachedFile::open(OpenMode mode)
{
    if ((mode & ReadWrite) != ReadOnly)
        return false;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    fileSize = file.size();
    // This device buffers by blocks itself; a second buffer in QIODevice would only copy.
    return QIODevice::open(mode | Unbuffered);
}

void BlockCachedFile::close()
{
    QIODevice::close();
    file.close();
    for (Block& block : blocks)
        block = Block();
}

qint64 BlockCachedFile::size() const
{
    return fileSize;
}

const BlockCachedFile::Block* BlockCachedFile::blockAt(qint64 offset)
{
    const qint64 start = offset - offset % BlockSize;
    Block* oldest = &blocks.front();
    for (Block& block : blocks) {
        if (block.start == start) {
            block.lastUse = ++uses;
            return &block;
        }
        if (block.lastUse < oldest->lastUse)
            oldest = &block;
    }
    oldest->start = -1;
    oldest->bytes.resize(int(qMin(BlockSize, fileSize - start)));
    if (!file.seek(start) || file.read(oldest->bytes.data(), oldest->bytes.size()) != oldest->bytes.size())
        return nullptr;
    oldest->start = start;
    oldest->lastUse = ++uses;
    return oldest;
}

qint64 BlockCachedFile::readData(char* data, qint64 maxSize)
{
    qint64 done = 0;
    qint64 at = pos();
    while (done < maxSize && at < fileSize) {
        const Block* block = blockAt(at);
        if (!block)
            return done > 0 ? done : -1;
        const qint64 inBlock = at - block->start;
        const qint64 n = qMin(maxSize - done, qint64(block->bytes.size()) - inBlock);
        std::memcpy(data + done, block->bytes.constData() + inBlock, size_t(n));
        done += n;
        at += n;
    }
    return done;
}

qint64 BlockCachedFile::writeData(const char*, qint64)
{
    return -1;
}
