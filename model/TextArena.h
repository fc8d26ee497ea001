#pragma once

#include <QString>
#include <QStringView>
#include <algorithm>
#include <cstring>

namespace modMain::detail {

// Keeps the texts of many records in a few large blocks. Each text handed out is an ordinary QString
// that shares its block (reference-counted), so it stays valid however long it is kept and detaches
// on the first change like any shared string; a block is freed with its last text. Every text is
// followed by a zero in the block, so utf16() stays zero-terminated without a copy.
class TextArena {
public:
    QString append(QStringView text)
    {
        if (text.isEmpty())
            return QString();
        const qsizetype need = text.size() + 1;
        if (used_ + need > capacity_) {
            // Blocks grow from small to kBlockSize, so that a short log does not take a whole block.
            nextBlock_ = std::min(kBlockSize, std::max(kFirstBlockSize, 2 * nextBlock_));
            startBlock(std::max(need, nextBlock_));
        }
        char16_t *at = base_ + used_;
        std::memcpy(at, text.utf16(), text.size() * sizeof(char16_t));
        at[text.size()] = u'\0';
        used_ += need;
        QString::DataPointer slice(block_.data_ptr()); // shares the block
        slice.ptr = at;
        slice.size = text.size();
        return QString(std::move(slice));
    }

private:
    static constexpr qsizetype kBlockSize = qsizetype(1) << 20; // characters
    static constexpr qsizetype kFirstBlockSize = qsizetype(1) << 12;

    void startBlock(qsizetype capacity)
    {
        block_ = QString();
        block_.reserve(capacity);
        // Written through this pointer only; the block's own size stays 0. A text handed out can grow
        // in place only once it holds the block alone, when no neighbour is left to overwrite.
        base_ = block_.data_ptr().data();
        capacity_ = block_.capacity();
        used_ = 0;
    }

    QString block_;
    char16_t *base_ = nullptr;
    qsizetype used_ = 0;
    qsizetype capacity_ = 0;
    qsizetype nextBlock_ = 0;
};

} // namespace modMain::detail
