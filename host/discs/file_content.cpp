#include <algorithm>
#include <memory>

#include "host/discs/disc_source.h"

namespace wertowik {

namespace {

// Bytes in a buffer of the heap that is not cleared first: every byte of it is read into.
class BufferContent final : public FileContent {
public:
    explicit BufferContent(std::size_t room) : buffer_(new char[std::max<std::size_t>(room, 1)]), room_(room) {}
    std::string_view bytes() const override { return std::string_view(buffer_.get(), size_); }

    // Reads the file to its end; a file longer than the room it was given grows the buffer.
    void Fill(SourceFile& file) {
        for (;;) {
            if (size_ == room_) {
                if (!Grow(file)) {
                    return;
                }
                continue;
            }
            const std::size_t got = file.Read(buffer_.get() + size_, room_ - size_);
            if (got == 0) {
                return;
            }
            size_ += got;
        }
    }

private:
    // Probes for bytes beyond the room before making more of it, so that the usual file, which
    // ends where its size said, costs its size and no more. False at the file's end.
    bool Grow(SourceFile& file) {
        char probe[4096];
        const std::size_t got = file.Read(probe, sizeof probe);
        if (got == 0) {
            return false;
        }
        const std::size_t room = std::max(room_ * 2, room_ + got);
        std::unique_ptr<char[]> larger(new char[room]);
        std::copy_n(buffer_.get(), size_, larger.get());
        std::copy_n(probe, got, larger.get() + size_);
        buffer_ = std::move(larger);
        room_ = room;
        size_ += got;
        return true;
    }

    std::unique_ptr<char[]> buffer_;
    std::size_t room_;
    std::size_t size_ = 0;
};

}  // namespace

std::unique_ptr<FileContent> SourceFile::ReadAll() {
    const int64_t size = Size();
    auto content = std::make_unique<BufferContent>(size > 0 ? static_cast<std::size_t>(size) : 0);
    content->Fill(*this);
    return content;
}

}  // namespace wertowik
