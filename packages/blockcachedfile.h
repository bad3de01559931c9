// A read-only file device that keeps the last few blocks it read. A zip reader alternates
// between the archive's central directory at its end and each entry's header and data; with
// both regions cached, that costs memory copies instead of a seek and a read system call each.
#pragma once

#include <QFile>
#include <QIODevice>
#include <array>

class BlockCachedFile : public QIODevice
{
    Q_OBJECT
public:
    static constexpr qint64 BlockSize = 64 * 1024;
    static constexpr int Blocks = 4;

    explicit BlockCachedFile(const QString& path, QObject* parent = nullptr);

    // Opens for reading only; any other mode fails.
    bool open(OpenMode mode) override;
    void close() override;
    qint64 size() const override;
    bool isSequential() const override { return false; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    struct Block {
        qint64 start = -1;
        QByteArray bytes;
        quint64 lastUse = 0;
    };
    // The cached block holding `offset`, reading it when missing; null on a read error.
    const Block* blockAt(qint64 offset);

    QFile file;
    qint64 fileSize = 0;
    std::array<Block, Blocks> blocks;
    quint64 uses = 0;
};
